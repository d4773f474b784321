// The print preview as the user meets it: its caption, its buttons, the pages it shows, and a print
// from it that leaves it open.

#include <gtest/gtest.h>

#include <QAction>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QStandardItemModel>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "grid/GridPrintPreview.h"
#include "grid/GridView.h"
#include "tests/common/TestSupport.h"
#include "tests/grid/PrintTestSupport.h"

namespace almanex::test {
namespace {

class GridPrintPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillEventColumns(model_, 3);
    grid_.setModel(&model_);
    grid_.SetPrintTitle(QStringLiteral("Created by Almanex"));
    for (int column = 0; column < model_.columnCount(); ++column) {
      grid_.SetColumnWidth(column, 50);
    }
  }

  /// A preview on a machine without a printer whose Print goes to `pdf`.
  std::unique_ptr<GridPrintPreview> MakePreview(const QString& pdf) {
    return std::make_unique<GridPrintPreview>(
        grid_, grid_.PrintSettings(), [] { return PrintMoment(); }, nullptr, QPrinterInfo(),
        [this, pdf](QWidget*, const QString& text) {
          asked_ << text;
          return pdf;
        });
  }

  TempDir folder_;
  QStandardItemModel model_;
  GridView grid_;
  QStringList asked_;
};

TEST_F(GridPrintPreviewTest, CaptionButtonsAndMaximisedWindow) {
  auto preview = MakePreview({});
  QPrintPreviewDialog& dialog = preview->Dialog();
  EXPECT_EQ(dialog.windowTitle(), "Preview");
  EXPECT_TRUE(dialog.windowState().testFlag(Qt::WindowMaximized));
  QToolBar* toolbar = dialog.findChild<QToolBar*>();
  ASSERT_NE(toolbar, nullptr);
  const std::pair<QAction*, const char*> buttons[] = {{preview->PreviousAction(), "Previous"},
                                                      {preview->NextAction(), "Next"},
                                                      {preview->PrintAction(), "Print"},
                                                      {preview->CloseAction(), "Close"}};
  for (const auto& [action, caption] : buttons) {
    ASSERT_NE(action, nullptr) << caption;
    EXPECT_EQ(action->text(), caption);
    auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action));
    ASSERT_NE(button, nullptr) << caption << " is on the toolbar";
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon) << caption << " shows its caption";
  }
}

TEST_F(GridPrintPreviewTest, PrintWithoutPrinterWritesThePdfAndStaysOpenCloseCloses) {
  const QString pdf = QString::fromStdString(folder_.File("preview.pdf"));
  auto preview = MakePreview(pdf);
  QPrintPreviewDialog& dialog = preview->Dialog();
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_NE(preview->PreviewWidget(), nullptr);
  EXPECT_EQ(preview->PreviewWidget()->pageCount(), 1);

  preview->PrintAction()->trigger();
  EXPECT_EQ(asked_, QStringList{kNoPrinterText});
  EXPECT_EQ(preview->LastPrint().status, PrintStatus::Printed);
  const QStringList lines = Lines(PdfPages(pdf).value(0));
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.first(), "Created by Almanex");
  EXPECT_EQ(lines.last(), "05/03/2024 13:45:07 Page 1/1");
  EXPECT_TRUE(dialog.isVisible()) << "the preview stays open after printing";

  preview->CloseAction()->trigger();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(GridPrintPreviewTest, NoFileChosenPrintsNothingAndStaysOpen) {
  auto preview = MakePreview({});
  preview->Dialog().show();
  preview->PrintAction()->trigger();
  EXPECT_EQ(preview->LastPrint().status, PrintStatus::NoPrinter);
  EXPECT_TRUE(preview->Dialog().isVisible());
}

TEST_F(GridPrintPreviewTest, PagesFollowTheRowsAndNextTurnsThePage) {
  FillEventColumns(model_, 200);
  auto preview = MakePreview({});
  preview->Dialog().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview->Dialog()));
  QPrintPreviewWidget* pages = preview->PreviewWidget();
  ASSERT_GE(pages->pageCount(), 4);
  pages->setCurrentPage(1);
  preview->NextAction()->trigger();
  EXPECT_EQ(pages->currentPage(), 2);
  preview->PreviousAction()->trigger();
  EXPECT_EQ(pages->currentPage(), 1);
}

}  // namespace
}  // namespace almanex::test
