#pragma once
// What the print tests share: the event list's twelve columns with one distinct word per cell, a grid
// that shows it, and the text of a printed PDF read back with pdftotext, page by page.

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>

#include "grid/GridView.h"
#include "tests/common/QtPrinting.h"

namespace almanex::test {

inline const QStringList kEventColumnTitles = {"No",     "Title", "Date", "Time",  "Type",    "Years",
                                               "Months", "Weeks", "Days", "Hours", "Minutes", "Seconds"};

/// The moment every print test prints at: 5 March 2024, 13:45:07.
inline QDateTime PrintMoment() { return QDateTime(QDate(2024, 3, 5), QTime(13, 45, 7)); }

/// Row r (from 1) holds "Event<r>" in column 0 and "R<r>C<c>" in every other column c, so that each word
/// names its cell.
inline void FillEventColumns(QStandardItemModel& model, int rows) {
  model.clear();
  model.setColumnCount(static_cast<int>(kEventColumnTitles.size()));
  model.setHorizontalHeaderLabels(kEventColumnTitles);
  for (int r = 1; r <= rows; ++r) {
    QList<QStandardItem*> items{new QStandardItem(QStringLiteral("Event%1").arg(r))};
    for (int c = 1; c < kEventColumnTitles.size(); ++c) {
      items << new QStandardItem(QStringLiteral("R%1C%2").arg(r).arg(c));
    }
    model.appendRow(items);
  }
}

/// The pages of a PDF as pdftotext reads them (layout kept); empty when the file cannot be read.
inline QStringList PdfPages(const QString& path) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    return {};
  }
  QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(u'\f');
  if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
    pages.removeLast();  // pdftotext ends the last page with a form feed too
  }
  return pages;
}

/// The words of a page, for exact look-ups ("R1C1" is not found in "R1C10").
inline QSet<QString> Words(const QString& page) {
  const QStringList words = page.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  return QSet<QString>(words.begin(), words.end());
}

/// The lines of a page with their blanks simplified, empty lines left out.
inline QStringList Lines(const QString& page) {
  QStringList lines;
  for (const QString& line : page.split(u'\n')) {
    if (!line.trimmed().isEmpty()) {
      lines << line.simplified();
    }
  }
  return lines;
}

}  // namespace almanex::test
