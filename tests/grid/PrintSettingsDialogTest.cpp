// The print settings dialog: what its widgets hold, the file its Load and Save page reads and writes, and
// what OK, Cancel and Preview do.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTimer>

#include "grid/GridView.h"
#include "grid/PrintSettingsDialog.h"
#include "tests/common/TestSupport.h"
#include "tests/grid/PrintTestSupport.h"

namespace almanex::test {
namespace {

/// Every field away from its default.
GridPrintSettings ChangedSettings() {
  GridPrintSettings s;
  s.cellBorders = false;
  s.outerBorder = false;
  s.borderWidthMm = 0.45;
  s.repeatTitleRow = false;
  s.repeatFixedColumn = false;
  s.printBands = false;
  s.printCellColours = false;
  s.fitToPageWidth = true;
  s.cellFont = {"DejaVu Sans", 13, true};
  s.titleRowFont = {"Family, with a comma", 9, false};
  s.headerFont = {"Courier New", 20, true};
  s.footerFont = {"Tahoma", 8, true};
  s.printDate = false;
  s.dateFormat = "yyyy-MM-dd";
  s.printTime = false;
  s.timeFormat = "h:mm AP";
  s.dateTimeAlignment = PrintAlignment::Left;
  s.printTitle = false;
  s.title = "Events; \"all\" = 100%";
  s.titleAlignment = PrintAlignment::Right;
  s.printPageNumbers = false;
  s.pageNumberPrefix = "Sheet";
  s.pageNumberSeparator = " of ";
  s.pageNumberAlignment = PrintAlignment::Center;
  s.leftMarginMm = 7.5;
  s.topMarginMm = 0;
  s.rightMarginMm = 100;
  s.bottomMarginMm = 22.5;
  s.titleSpacingMm = 3.5;
  s.footerSpacingMm = 50;
  s.cellPaddingMm = 1.5;
  s.orientation = QPageLayout::Landscape;
  return s;
}

TEST(PrintSettingsDialogTest, TheDialogCoversEveryTopic) {
  PrintSettingsDialog dialog(GridPrintSettings{});
  QStringList titles;
  for (int page = 0; page < dialog.Pages()->count(); ++page) {
    titles << dialog.Pages()->tabText(page);
  }
  EXPECT_EQ(titles, QStringList({"Borders", "General", "Fonts", "Date and Time", "Title", "Page Numbers", "Margins",
                                 "Spacing", "Orientation", "Load and Save"}));
}

TEST(PrintSettingsDialogTest, SaveAndLoadGiveBackTheSameSettings) {
  TempDir folder;
  const QString path = QString::fromStdString(folder.File("print.ini"));
  const GridPrintSettings changed = ChangedSettings();
  PrintSettingsDialog writer(changed);
  ASSERT_EQ(writer.Settings(), changed) << "the widgets hold every value";
  EXPECT_EQ(writer.SaveToFile(path), "");
  EXPECT_TRUE(ReadFileBytes(folder.File("print.ini")).starts_with("[GridPrintSettings]"));

  PrintSettingsDialog reader(GridPrintSettings{});
  EXPECT_EQ(reader.LoadFromFile(path), "");
  EXPECT_EQ(reader.Settings(), changed);
  EXPECT_EQ(reader.FileStatus(), QStringLiteral("Loaded from \"%1\".").arg(path));
}

TEST(PrintSettingsDialogTest, SavingIntoAMissingFolderSaysSo) {
  TempDir folder;
  const QString path = QString::fromStdString(folder.File("no-such-folder/print.ini"));
  PrintSettingsDialog dialog(GridPrintSettings{});
  const QString error = dialog.SaveToFile(path);
  EXPECT_TRUE(error.contains(path)) << error.toStdString();
  EXPECT_EQ(dialog.FileStatus(), error);
}

struct BadFileCase {
  const char* name;
  const char* bytes;  // nullptr: no file at all
  bool reported;      // whether the file as a whole is refused with a reason
};

void PrintTo(const BadFileCase& value, std::ostream* out) { *out << value.name; }

class PrintSettingsBadFileTest : public ::testing::TestWithParam<BadFileCase> {};

// Whatever the file, loading shows the defaults (not what the dialog held before) and does not crash.
TEST_P(PrintSettingsBadFileTest, GivesTheDefaults) {
  TempDir folder;
  const std::string file = folder.File("print.ini");
  if (GetParam().bytes != nullptr) {
    WriteFileBytes(file, GetParam().bytes);
  }
  GridPrintSettings defaults;
  defaults.title = "Created by Almanex";
  PrintSettingsDialog dialog(ChangedSettings(), defaults);
  const QString error = dialog.LoadFromFile(QString::fromStdString(file));
  EXPECT_EQ(dialog.Settings(), defaults);
  EXPECT_EQ(!error.isEmpty(), GetParam().reported) << error.toStdString();
  if (GetParam().reported) {
    EXPECT_TRUE(dialog.FileStatus().endsWith("The defaults are shown.")) << dialog.FileStatus().toStdString();
  }
}

const BadFileCase kBadFiles[] = {
    {"NoFile", nullptr, true},
    {"EmptyFile", "", true},
    {"BinaryGarbage",
     "\x7f"
     "ELF\x01\x02\x00\xff\xfe[=]=\n\x00\x00\xc3\x28[GridPrintSettings\n==",
     true},
    {"AnotherProgramsIni", "[Settings]\nFormat=1\nLeftMarginMm=20\n", true},
    {"UnknownFormatVersion", "[GridPrintSettings]\nFormat=2\nLeftMarginMm=20\n", true},
    {"EveryValueOutOfRangeOrUnparsable",
     "[GridPrintSettings]\nFormat=1\nCellBorders=maybe\nBorderWidthMm=9\nLeftMarginMm=-3\nTopMarginMm=abc\n"
     "RightMarginMm=1e9\nTitleSpacingMm=nan\nCellFont=,,\nTitleRowFont=Arial,3,0\nHeaderFont=Arial,12,2\n"
     "FooterFont=Arial\nTitleAlignment=7\nPageNumberAlignment=-1\nOrientation=Sideways\n",
     false},
};
INSTANTIATE_TEST_SUITE_P(Files, PrintSettingsBadFileTest, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrintSettingsDialogTest, GoodValuesOfAPartlyBadFileAreTaken) {
  TempDir folder;
  WriteFileBytes(folder.File("print.ini"),
                 "[GridPrintSettings]\r\nFormat=1\r\nLeftMarginMm=20\r\nTopMarginMm=-1\r\n"
                 "CellFont=\"Courier New,12,1\"\r\nOrientation=landscape\r\n");
  PrintSettingsDialog dialog(GridPrintSettings{});
  EXPECT_EQ(dialog.LoadFromFile(QString::fromStdString(folder.File("print.ini"))), "");
  GridPrintSettings expected;
  expected.leftMarginMm = 20;
  expected.cellFont = {"Courier New", 12, true};
  expected.orientation = QPageLayout::Landscape;
  EXPECT_EQ(dialog.Settings(), expected);
}

TEST(PrintSettingsDialogTest, PreviewShowsTheSettingsBeingEdited) {
  PrintSettingsDialog dialog(GridPrintSettings{});
  QList<GridPrintSettings> previews;
  dialog.SetPreviewHandler([&](const GridPrintSettings& settings) { previews << settings; });
  dialog.findChildren<QRadioButton*>().at(1)->click();  // Landscape
  dialog.PreviewButton()->click();
  ASSERT_EQ(previews.size(), 1);
  EXPECT_EQ(previews.first().orientation, QPageLayout::Landscape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected) << "Preview neither accepts nor closes the dialog";
}

class RunPrintSettingsDialogTest : public ::testing::TestWithParam<bool> {};

// The dialog opens on the grid's settings; OK gives the grid what the dialog holds, Cancel keeps the grid's.
TEST_P(RunPrintSettingsDialogTest, OkAppliesCancelKeeps) {
  const bool ok = GetParam();
  QStandardItemModel model;
  FillEventColumns(model, 2);
  GridView grid;
  grid.setModel(&model);
  grid.SetPrintTitle("Created by Almanex");
  QString shownTitle;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<PrintSettingsDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    shownTitle = dialog->Settings().title;
    GridPrintSettings settings = dialog->Settings();
    settings.title = "Printed list";
    settings.leftMarginMm = 30;
    dialog->SetSettings(settings);
    ok ? dialog->accept() : dialog->reject();
  });
  EXPECT_EQ(RunPrintSettingsDialog(grid, [] { return PrintMoment(); }), ok);
  EXPECT_EQ(shownTitle, "Created by Almanex");
  EXPECT_EQ(grid.PrintTitle(), ok ? "Printed list" : "Created by Almanex");
  EXPECT_EQ(grid.PrintSettings().leftMarginMm, ok ? 30 : GridPrintSettings{}.leftMarginMm);
}

INSTANTIATE_TEST_SUITE_P(Buttons, RunPrintSettingsDialogTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? std::string("Ok") : std::string("Cancel"); });

}  // namespace
}  // namespace almanex::test
