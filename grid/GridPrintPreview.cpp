#include "grid/GridPrintPreview.h"

#include <QAction>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>
#include <utility>

#include "grid/GridView.h"

namespace almanex {

namespace {

/// Qt's own action of the preview window with this (untranslated) text; nullptr when Qt has none.
QAction* FindAction(const QPrintPreviewDialog& dialog, const QString& text) {
  for (QAction* action : dialog.findChildren<QAction*>()) {
    if (action->text() == text) {
      return action;
    }
  }
  return nullptr;
}

void ShowCaption(QToolBar* toolbar, QAction* action) {
  if (toolbar == nullptr || action == nullptr) {
    return;
  }
  if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action))) {
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  }
}

std::unique_ptr<QPrinter> MakePrinter(const QPrinterInfo& info) {
  if (info.isNull()) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    return printer;
  }
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

}  // namespace

GridPrintPreview::GridPrintPreview(const GridView& grid, const GridPrintSettings& settings, PrintClock now,
                                   QWidget* parent, const QPrinterInfo& printer, PdfFileAsker askPdf)
    : grid_(grid),
      settings_(settings),
      now_(std::move(now)),
      printerInfo_(printer),
      askPdf_(std::move(askPdf)),
      printer_(MakePrinter(printer)) {
  printer_->setDocName(QStringLiteral("Almanex"));
  ApplyPageSettings(settings_, *printer_);
  dialog_ = std::make_unique<QPrintPreviewDialog>(printer_.get(), parent);
  dialog_->setWindowTitle(QStringLiteral("Preview"));
  dialog_->setWindowState(dialog_->windowState() | Qt::WindowMaximized);
  QObject::connect(dialog_.get(), &QPrintPreviewDialog::paintRequested, dialog_.get(),
                   [this](QPrinter* target) { Paint(target); });

  previous_ = FindAction(*dialog_, QStringLiteral("Previous page"));
  next_ = FindAction(*dialog_, QStringLiteral("Next page"));
  print_ = FindAction(*dialog_, QStringLiteral("Print"));
  if (previous_ != nullptr) {
    previous_->setText(QStringLiteral("Previous"));
  }
  if (next_ != nullptr) {
    next_->setText(QStringLiteral("Next"));
  }
  if (print_ != nullptr) {
    // Qt's own Print closes the window afterwards; this one keeps it open, and knows the case of no printer.
    QObject::disconnect(print_, nullptr, dialog_.get(), nullptr);
    QObject::connect(print_, &QAction::triggered, dialog_.get(), [this] { Print(); });
  }
  QToolBar* toolbar = dialog_->findChild<QToolBar*>();
  close_ = new QAction(QStringLiteral("Close"), dialog_.get());
  QObject::connect(close_, &QAction::triggered, dialog_.get(), &QDialog::reject);
  if (toolbar != nullptr) {
    toolbar->addSeparator();
    toolbar->addAction(close_);
  }
  for (QAction* action : {previous_, next_, print_, close_}) {
    ShowCaption(toolbar, action);
  }
}

GridPrintPreview::~GridPrintPreview() = default;

QPrintPreviewWidget* GridPrintPreview::PreviewWidget() const { return dialog_->findChild<QPrintPreviewWidget*>(); }

void GridPrintPreview::Exec() { dialog_->exec(); }

void GridPrintPreview::Paint(QPrinter* printer) {
  PaintGrid(PrintSourceOf(grid_), settings_, *printer, now_ ? now_() : QDateTime::currentDateTime());
}

void GridPrintPreview::Print() {
  const QDateTime printedAt = now_ ? now_() : QDateTime::currentDateTime();
  if (printerInfo_.isNull()) {
    const QString path = askPdf_ ? askPdf_(dialog_.get(), kNoPrinterText) : QString();
    if (path.isEmpty()) {
      lastPrint_ = {PrintStatus::NoPrinter, 0, kNoPrinterText};
      return;
    }
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    pdf.setDocName(QStringLiteral("Almanex"));
    pdf.setPageLayout(printer_->pageLayout());
    const int pages = PaintGrid(PrintSourceOf(grid_), settings_, pdf, printedAt);
    lastPrint_ = pages > 0 ? PrintResult{PrintStatus::Printed, pages, {}}
                           : PrintResult{PrintStatus::Failed, 0,
                                         QStringLiteral("The list could not be printed to \"%1\".").arg(path)};
    ReportFailure();
    return;
  }
  QPrintDialog printDialog(printer_.get(), dialog_.get());
  if (printDialog.exec() != QDialog::Accepted) {
    return;
  }
  const int pages = PaintGrid(PrintSourceOf(grid_), settings_, *printer_, printedAt);
  lastPrint_ = pages > 0 ? PrintResult{PrintStatus::Printed, pages, {}}
                         : PrintResult{PrintStatus::Failed, 0, QStringLiteral("The list could not be printed.")};
  ReportFailure();
}

void GridPrintPreview::ReportFailure() {
  if (lastPrint_.status == PrintStatus::Failed) {
    QMessageBox::warning(dialog_.get(), QStringLiteral("Print"), lastPrint_.message);
  }
}

void ShowPrintPreview(const GridView& grid, PrintClock now, QWidget* parent) {
  GridPrintPreview preview(grid, grid.PrintSettings(), std::move(now), parent);
  preview.Exec();
}

}  // namespace almanex
