#pragma once
// The print settings dialog of the grid: one page each for borders, general options, fonts, date and
// time, title, page numbers, margins, spacing and orientation, and a page that loads and saves the
// settings to a file of their own.

#include <QDialog>
#include <QList>
#include <functional>

#include "grid/GridPrintPreview.h"
#include "grid/GridPrintSettings.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace almanex {

class GridView;

/// Edits a GridPrintSettings value.
///
/// Contracts:
/// - The widgets start from `settings`; Settings() reads them back, so Settings() after construction
///   equals `settings` (lengths rounded to the tenth of a millimetre, the border to the hundredth).
/// - Save writes Settings() to the file named on the file page; Load replaces every widget with what the
///   file holds, or with `defaults` when the file is missing or garbled. Either tells its outcome on the
///   file page, never in a box. With no file named, both first ask for one.
/// - Preview calls the preview handler with Settings(); the dialog stays open.
class PrintSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  using PreviewHandler = std::function<void(const GridPrintSettings&)>;

  explicit PrintSettingsDialog(const GridPrintSettings& settings, const GridPrintSettings& defaults = {},
                               QWidget* parent = nullptr);

  GridPrintSettings Settings() const;
  void SetSettings(const GridPrintSettings& settings);
  void SetPreviewHandler(PreviewHandler handler) { previewHandler_ = std::move(handler); }

  /// The file page's actions on `path` (also put into its file name field). Return the error, or empty.
  QString SaveToFile(const QString& path);
  QString LoadFromFile(const QString& path);

  QTabWidget* Pages() const { return pages_; }
  QPushButton* PreviewButton() const { return previewButton_; }
  /// The outcome of the last load or save, as the file page shows it.
  QString FileStatus() const;

 private:
  struct FontFields {
    QComboBox* family = nullptr;
    QSpinBox* size = nullptr;
    QCheckBox* bold = nullptr;
  };

  QWidget* BuildBordersPage();
  QWidget* BuildGeneralPage();
  QWidget* BuildFontsPage();
  QWidget* BuildDateTimePage();
  QWidget* BuildTitlePage();
  QWidget* BuildPageNumbersPage();
  QWidget* BuildMarginsPage();
  QWidget* BuildSpacingPage();
  QWidget* BuildOrientationPage();
  QWidget* BuildFilePage();
  QString AskFileName(bool forSaving);

  GridPrintSettings defaults_;
  PreviewHandler previewHandler_;
  QTabWidget* pages_ = nullptr;
  QPushButton* previewButton_ = nullptr;

  QCheckBox* cellBorders_ = nullptr;
  QCheckBox* outerBorder_ = nullptr;
  QDoubleSpinBox* borderWidth_ = nullptr;
  QCheckBox* repeatTitleRow_ = nullptr;
  QCheckBox* repeatFixedColumn_ = nullptr;
  QCheckBox* printBands_ = nullptr;
  QCheckBox* printCellColours_ = nullptr;
  QCheckBox* fitToPageWidth_ = nullptr;
  FontFields cellFont_;
  FontFields titleRowFont_;
  FontFields headerFont_;
  FontFields footerFont_;
  QCheckBox* printDate_ = nullptr;
  QLineEdit* dateFormat_ = nullptr;
  QCheckBox* printTime_ = nullptr;
  QLineEdit* timeFormat_ = nullptr;
  QComboBox* dateTimeAlignment_ = nullptr;
  QCheckBox* printTitle_ = nullptr;
  QLineEdit* title_ = nullptr;
  QComboBox* titleAlignment_ = nullptr;
  QCheckBox* printPageNumbers_ = nullptr;
  QLineEdit* pageNumberPrefix_ = nullptr;
  QLineEdit* pageNumberSeparator_ = nullptr;
  QComboBox* pageNumberAlignment_ = nullptr;
  QDoubleSpinBox* leftMargin_ = nullptr;
  QDoubleSpinBox* topMargin_ = nullptr;
  QDoubleSpinBox* rightMargin_ = nullptr;
  QDoubleSpinBox* bottomMargin_ = nullptr;
  QDoubleSpinBox* titleSpacing_ = nullptr;
  QDoubleSpinBox* footerSpacing_ = nullptr;
  QDoubleSpinBox* cellPadding_ = nullptr;
  QRadioButton* portrait_ = nullptr;
  QRadioButton* landscape_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QLabel* fileStatus_ = nullptr;
};

/// The Print Settings command: edits the print settings of `grid`; OK applies them to the grid, Cancel
/// leaves them. The dialog's Preview shows the grid with the settings being edited. Returns whether OK
/// was pressed.
bool RunPrintSettingsDialog(GridView& grid, PrintClock now, QWidget* parent = nullptr);

}  // namespace almanex
