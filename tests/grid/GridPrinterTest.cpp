// Printing the grid: what a PDF of it says when read back, page by page.

#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardItemModel>
#include <QTest>
#include <map>

#include "grid/GridPrinter.h"
#include "grid/GridView.h"
#include "grid/MultiKeySortProxy.h"
#include "tests/common/TestSupport.h"
#include "tests/grid/PrintTestSupport.h"

namespace almanex::test {
namespace {

class GridPrinterTest : public ::testing::Test {
 protected:
  void Show(int rows, int columnWidth) {
    FillEventColumns(model_, rows);
    grid_.setModel(&model_);
    grid_.SetPrintTitle(QStringLiteral("Created by Almanex"));
    for (int column = 0; column < model_.columnCount(); ++column) {
      grid_.SetColumnWidth(column, columnWidth);
    }
    // The last column does not stretch with the view: give "Seconds" the room a user would.
    grid_.SetColumnWidth(model_.columnCount() - 1, std::max(columnWidth, 70));
  }

  QString PdfPath(const char* name = "grid.pdf") const { return QString::fromStdString(folder_.File(name)); }

  /// Prints to a PDF and reads it back.
  QStringList Print() {
    const PrintResult result = PrintGridToPdf(grid_, PdfPath(), PrintMoment());
    EXPECT_EQ(result.status, PrintStatus::Printed) << result.message.toStdString();
    const QStringList pages = PdfPages(PdfPath());
    EXPECT_EQ(pages.size(), result.pages);
    return pages;
  }

  TempDir folder_;
  QStandardItemModel model_;
  GridView grid_;
};

TEST_F(GridPrinterTest, OnePageHasTitleRowsAndFooter) {
  Show(4, 50);
  const QStringList pages = Print();
  ASSERT_EQ(pages.size(), 1);
  const QStringList lines = Lines(pages.first());
  ASSERT_GE(lines.size(), 7);
  EXPECT_EQ(lines.first(), "Created by Almanex");
  EXPECT_EQ(lines.at(1), kEventColumnTitles.join(u' '));
  for (int r = 1; r <= 4; ++r) {
    QStringList row{QStringLiteral("Event%1").arg(r)};
    for (int c = 1; c < 12; ++c) {
      row << QStringLiteral("R%1C%2").arg(r).arg(c);
    }
    EXPECT_EQ(lines.at(1 + r), row.join(u' '));
  }
  EXPECT_EQ(lines.last(), "05/03/2024 13:45:07 Page 1/1");
}

TEST_F(GridPrinterTest, RowsArePrintedInTheOrderShown) {
  Show(5, 50);
  grid_.SortProxy()->SetSortKeys({SortKey{0, Qt::DescendingOrder}});
  const QStringList lines = Lines(Print().value(0));
  QStringList firstWords;
  for (const QString& line : lines.mid(2, 5)) {
    firstWords << line.section(u' ', 0, 0);
  }
  EXPECT_EQ(firstWords, QStringList({"Event5", "Event4", "Event3", "Event2", "Event1"}));
}

struct SplitCase {
  const char* name;
  bool repeatFixedColumn;
};

void PrintTo(const SplitCase& value, std::ostream* out) { *out << value.name; }

class GridPrinterSplitTest : public GridPrinterTest, public ::testing::WithParamInterface<SplitCase> {};

// 150 rows of twelve 160-pixel columns: several pages down and several across. Every cell is printed on
// exactly one page; the column titles on every page; column 0 with every page of its rows when it repeats,
// else once.
TEST_P(GridPrinterSplitTest, EveryCellOnceFixedColumnOnEveryPageOfItsRows) {
  constexpr int kRows = 150;
  Show(kRows, 160);
  GridPrintSettings settings = grid_.PrintSettings();
  settings.repeatFixedColumn = GetParam().repeatFixedColumn;
  grid_.SetPrintSettings(settings);
  const QStringList pages = Print();
  ASSERT_GE(pages.size(), 4);

  std::map<QString, int> cellPages;     // "R<r>C<c>" -> pages it is on
  std::map<int, QSet<int>> rowPages;    // row -> pages that print one of its cells
  std::map<int, QSet<int>> fixedPages;  // row -> pages that print its column 0
  for (qsizetype p = 0; p < pages.size(); ++p) {
    const QSet<QString> words = Words(pages.at(p));
    EXPECT_TRUE(words.contains("Created")) << "page " << p + 1;
    EXPECT_TRUE(words.contains(QStringLiteral("%1/%2").arg(p + 1).arg(pages.size()))) << "page " << p + 1;
    EXPECT_TRUE(words.contains("05/03/2024") && words.contains("13:45:07")) << "page " << p + 1;
    for (int r = 1; r <= kRows; ++r) {
      if (words.contains(QStringLiteral("Event%1").arg(r))) {
        fixedPages[r].insert(static_cast<int>(p));
      }
      for (int c = 1; c < 12; ++c) {
        const QString cell = QStringLiteral("R%1C%2").arg(r).arg(c);
        if (words.contains(cell)) {
          ++cellPages[cell];
          rowPages[r].insert(static_cast<int>(p));
          EXPECT_TRUE(words.contains(kEventColumnTitles.at(c))) << "title of column " << c << " on page " << p + 1;
        }
      }
    }
  }
  EXPECT_EQ(cellPages.size(), std::size_t{kRows * 11});
  for (const auto& [cell, count] : cellPages) {
    EXPECT_EQ(count, 1) << cell.toStdString();
  }
  for (int r = 1; r <= kRows; ++r) {
    ASSERT_GE(rowPages[r].size(), 2) << "the columns of row " << r << " need more than one page";
    if (GetParam().repeatFixedColumn) {
      EXPECT_EQ(fixedPages[r], rowPages[r]) << "row " << r;
    } else {
      EXPECT_EQ(fixedPages[r].size(), 1) << "row " << r;
    }
  }
}

const SplitCase kSplitCases[] = {{"FixedColumnRepeats", true}, {"FixedColumnOnce", false}};
INSTANTIATE_TEST_SUITE_P(Split, GridPrinterSplitTest, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FooterCase {
  const char* name;
  void (*change)(GridPrintSettings&);
  const char* footer;  // the last line of the page
};

void PrintTo(const FooterCase& value, std::ostream* out) { *out << value.name; }

class GridPrinterFooterTest : public GridPrinterTest, public ::testing::WithParamInterface<FooterCase> {};

TEST_P(GridPrinterFooterTest, FooterFollowsTheSettings) {
  Show(2, 50);
  GridPrintSettings settings = grid_.PrintSettings();
  GetParam().change(settings);
  grid_.SetPrintSettings(settings);
  const QStringList lines = Lines(Print().value(0));
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.last(), GetParam().footer);
}

const FooterCase kFooterCases[] = {
    {"Defaults", [](GridPrintSettings&) {}, "05/03/2024 13:45:07 Page 1/1"},
    {"OwnFormatsAndWording",
     [](GridPrintSettings& s) {
       s.dateFormat = "yyyy-MM-dd";
       s.timeFormat = "hh:mm AP";
       s.pageNumberPrefix = "Sheet";
       s.pageNumberSeparator = " of ";
     },
     "2024-03-05 01:45 PM Sheet 1 of 1"},
    {"NoPageNumbers", [](GridPrintSettings& s) { s.printPageNumbers = false; }, "05/03/2024 13:45:07"},
    {"DateOnlyNoPrefix",
     [](GridPrintSettings& s) {
       s.printTime = false;
       s.pageNumberPrefix.clear();
     },
     "05/03/2024 1/1"},
};
INSTANTIATE_TEST_SUITE_P(Footer, GridPrinterFooterTest, ::testing::ValuesIn(kFooterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridPrinterTest, NoTitleWhenSwitchedOff) {
  Show(1, 50);
  GridPrintSettings settings = grid_.PrintSettings();
  settings.printTitle = false;
  grid_.SetPrintSettings(settings);
  EXPECT_FALSE(Print().value(0).contains("Created by Almanex"));
}

TEST_F(GridPrinterTest, AnEmptyListPrintsTheTitleRowOnOnePage) {
  Show(0, 50);
  const QStringList lines = Lines(Print().value(0));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines.at(1), kEventColumnTitles.join(u' '));
  EXPECT_EQ(lines.at(2), "05/03/2024 13:45:07 Page 1/1");
}

/// Renders the first page of the PDF at 30 dpi.
QImage RenderFirstPage(const QString& pdf, const QString& prefix) {
  QProcess process;
  process.start("pdftoppm", {"-r", "30", "-f", "1", "-l", "1", "-png", "-singlefile", pdf, prefix});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    return {};
  }
  return QImage(prefix + ".png");
}

int CountPixels(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) {
        ++count;
      }
    }
  }
  return count;
}

TEST_F(GridPrinterTest, BandsArePrintedInTheGridsColoursWhenAsked) {
  Show(20, 50);
  QPalette palette = grid_.palette();
  const QColor band(0, 200, 0);
  palette.setColor(QPalette::AlternateBase, band);
  grid_.setPalette(palette);
  ASSERT_EQ(PrintGridToPdf(grid_, PdfPath("banded.pdf"), PrintMoment()).status, PrintStatus::Printed);
  const QImage banded = RenderFirstPage(PdfPath("banded.pdf"), PdfPath("banded"));
  ASSERT_FALSE(banded.isNull());
  EXPECT_GT(CountPixels(banded, band), 100);

  GridPrintSettings settings = grid_.PrintSettings();
  settings.printBands = false;
  grid_.SetPrintSettings(settings);
  ASSERT_EQ(PrintGridToPdf(grid_, PdfPath("plain.pdf"), PrintMoment()).status, PrintStatus::Printed);
  const QImage plain = RenderFirstPage(PdfPath("plain.pdf"), PdfPath("plain"));
  ASSERT_FALSE(plain.isNull());
  EXPECT_EQ(CountPixels(plain, band), 0);
}

TEST_F(GridPrinterTest, WithoutAPrinterThePrintGoesToThePdfFileChosen) {
  Show(3, 50);
  QStringList asked;
  const PrintResult result = PrintGrid(
      grid_, PrintMoment(), nullptr,
      [&](QWidget*, const QString& text) {
        asked << text;
        return PdfPath("chosen.pdf");
      },
      QPrinterInfo());
  EXPECT_EQ(asked, QStringList{kNoPrinterText});
  EXPECT_EQ(result.status, PrintStatus::Printed);
  EXPECT_TRUE(Words(PdfPages(PdfPath("chosen.pdf")).value(0)).contains("Event3"));
}

TEST_F(GridPrinterTest, WithoutAPrinterAndNoFileChosenNothingIsWritten) {
  Show(3, 50);
  const PrintResult result = PrintGrid(
      grid_, PrintMoment(), nullptr, [](QWidget*, const QString&) { return QString(); }, QPrinterInfo());
  EXPECT_EQ(result.status, PrintStatus::NoPrinter);
  EXPECT_EQ(result.message, kNoPrinterText);
  EXPECT_TRUE(QDir(QString::fromStdString(folder_.Path())).entryList(QDir::Files).isEmpty());
}

TEST_F(GridPrinterTest, AFileThatCannotBeWrittenFailsWithItsName) {
  Show(3, 50);
  const QString path = PdfPath("missing-folder/grid.pdf");
  const PrintResult result = PrintGridToPdf(grid_, path, PrintMoment());
  EXPECT_EQ(result.status, PrintStatus::Failed);
  EXPECT_TRUE(result.message.contains(path)) << result.message.toStdString();
}

}  // namespace
}  // namespace almanex::test
