#include "grid/PrintSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "grid/GridView.h"

namespace almanex {

namespace {

QDoubleSpinBox* MillimetreBox(double minimum, double maximum, int decimals = 1) {
  auto* box = new QDoubleSpinBox;
  box->setRange(minimum, maximum);
  box->setDecimals(decimals);
  box->setSingleStep(decimals == 1 ? 0.5 : 0.05);
  box->setSuffix(QStringLiteral(" mm"));
  return box;
}

QComboBox* AlignmentBox() {
  auto* box = new QComboBox;
  box->addItems({QStringLiteral("Left"), QStringLiteral("Centre"), QStringLiteral("Right")});
  return box;
}

PrintAlignment AlignmentOf(const QComboBox* box) {
  return static_cast<PrintAlignment>(std::clamp(box->currentIndex(), 0, 2));
}

/// A page whose form fills the top and leaves the rest empty.
QWidget* FormPage(QFormLayout*& form) {
  auto* page = new QWidget;
  auto* outer = new QVBoxLayout(page);
  form = new QFormLayout;
  outer->addLayout(form);
  outer->addStretch(1);
  return page;
}

}  // namespace

PrintSettingsDialog::PrintSettingsDialog(const GridPrintSettings& settings, const GridPrintSettings& defaults,
                                         QWidget* parent)
    : QDialog(parent), defaults_(defaults) {
  setWindowTitle(QStringLiteral("Print Settings"));
  pages_ = new QTabWidget(this);
  pages_->addTab(BuildBordersPage(), QStringLiteral("Borders"));
  pages_->addTab(BuildGeneralPage(), QStringLiteral("General"));
  pages_->addTab(BuildFontsPage(), QStringLiteral("Fonts"));
  pages_->addTab(BuildDateTimePage(), QStringLiteral("Date and Time"));
  pages_->addTab(BuildTitlePage(), QStringLiteral("Title"));
  pages_->addTab(BuildPageNumbersPage(), QStringLiteral("Page Numbers"));
  pages_->addTab(BuildMarginsPage(), QStringLiteral("Margins"));
  pages_->addTab(BuildSpacingPage(), QStringLiteral("Spacing"));
  pages_->addTab(BuildOrientationPage(), QStringLiteral("Orientation"));
  pages_->addTab(BuildFilePage(), QStringLiteral("Load and Save"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  previewButton_ = buttons->addButton(QStringLiteral("Pre&view..."), QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(previewButton_, &QPushButton::clicked, this, [this] {
    if (previewHandler_) {
      previewHandler_(Settings());
    }
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);
  SetSettings(settings);
}

QWidget* PrintSettingsDialog::BuildBordersPage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  cellBorders_ = new QCheckBox(QStringLiteral("Lines between the cells"));
  outerBorder_ = new QCheckBox(QStringLiteral("A frame around the table"));
  borderWidth_ = MillimetreBox(0.05, 2, 2);
  form->addRow(cellBorders_);
  form->addRow(outerBorder_);
  form->addRow(QStringLiteral("Line width:"), borderWidth_);
  return page;
}

QWidget* PrintSettingsDialog::BuildGeneralPage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  repeatTitleRow_ = new QCheckBox(QStringLiteral("Column titles on every page"));
  repeatFixedColumn_ = new QCheckBox(QStringLiteral("The fixed column on every page"));
  printBands_ = new QCheckBox(QStringLiteral("Rows in alternating bands"));
  printCellColours_ = new QCheckBox(QStringLiteral("Cell colours"));
  fitToPageWidth_ = new QCheckBox(QStringLiteral("Fit all columns to the page width"));
  for (QCheckBox* box : {repeatTitleRow_, repeatFixedColumn_, printBands_, printCellColours_, fitToPageWidth_}) {
    form->addRow(box);
  }
  return page;
}

QWidget* PrintSettingsDialog::BuildFontsPage() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("Family")), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Size (pixels)")), 0, 2);
  const QStringList families = QFontDatabase::families();
  int row = 1;
  for (auto [fields, label] : {std::pair{&cellFont_, "Cells:"}, std::pair{&titleRowFont_, "Column titles:"},
                               std::pair{&headerFont_, "Page title:"}, std::pair{&footerFont_, "Footer:"}}) {
    fields->family = new QComboBox;
    fields->family->setEditable(true);  // a family this system lacks stays as it was given
    fields->family->addItems(families);
    fields->size = new QSpinBox;
    fields->size->setRange(4, 96);
    fields->bold = new QCheckBox(QStringLiteral("Bold"));
    grid->addWidget(new QLabel(QString::fromLatin1(label)), row, 0);
    grid->addWidget(fields->family, row, 1);
    grid->addWidget(fields->size, row, 2);
    grid->addWidget(fields->bold, row, 3);
    ++row;
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  return page;
}

QWidget* PrintSettingsDialog::BuildDateTimePage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  printDate_ = new QCheckBox(QStringLiteral("Print the date"));
  dateFormat_ = new QLineEdit;
  printTime_ = new QCheckBox(QStringLiteral("Print the time"));
  timeFormat_ = new QLineEdit;
  dateTimeAlignment_ = AlignmentBox();
  form->addRow(printDate_);
  form->addRow(QStringLiteral("Date format:"), dateFormat_);
  form->addRow(printTime_);
  form->addRow(QStringLiteral("Time format:"), timeFormat_);
  form->addRow(QStringLiteral("Place at the bottom:"), dateTimeAlignment_);
  return page;
}

QWidget* PrintSettingsDialog::BuildTitlePage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  printTitle_ = new QCheckBox(QStringLiteral("Print the title"));
  title_ = new QLineEdit;
  titleAlignment_ = AlignmentBox();
  form->addRow(printTitle_);
  form->addRow(QStringLiteral("Title:"), title_);
  form->addRow(QStringLiteral("Place at the top:"), titleAlignment_);
  return page;
}

QWidget* PrintSettingsDialog::BuildPageNumbersPage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  printPageNumbers_ = new QCheckBox(QStringLiteral("Print page numbers"));
  pageNumberPrefix_ = new QLineEdit;
  pageNumberSeparator_ = new QLineEdit;
  pageNumberAlignment_ = AlignmentBox();
  form->addRow(printPageNumbers_);
  form->addRow(QStringLiteral("Prefix:"), pageNumberPrefix_);
  form->addRow(QStringLiteral("Between page and count:"), pageNumberSeparator_);
  form->addRow(QStringLiteral("Place at the bottom:"), pageNumberAlignment_);
  return page;
}

QWidget* PrintSettingsDialog::BuildMarginsPage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  leftMargin_ = MillimetreBox(0, 100);
  topMargin_ = MillimetreBox(0, 100);
  rightMargin_ = MillimetreBox(0, 100);
  bottomMargin_ = MillimetreBox(0, 100);
  form->addRow(QStringLiteral("Left:"), leftMargin_);
  form->addRow(QStringLiteral("Top:"), topMargin_);
  form->addRow(QStringLiteral("Right:"), rightMargin_);
  form->addRow(QStringLiteral("Bottom:"), bottomMargin_);
  return page;
}

QWidget* PrintSettingsDialog::BuildSpacingPage() {
  QFormLayout* form = nullptr;
  QWidget* page = FormPage(form);
  titleSpacing_ = MillimetreBox(0, 50);
  footerSpacing_ = MillimetreBox(0, 50);
  cellPadding_ = MillimetreBox(0, 50);
  form->addRow(QStringLiteral("Below the title:"), titleSpacing_);
  form->addRow(QStringLiteral("Above the footer:"), footerSpacing_);
  form->addRow(QStringLiteral("Inside the cells:"), cellPadding_);
  return page;
}

QWidget* PrintSettingsDialog::BuildOrientationPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  portrait_ = new QRadioButton(QStringLiteral("Portrait"));
  landscape_ = new QRadioButton(QStringLiteral("Landscape"));
  layout->addWidget(portrait_);
  layout->addWidget(landscape_);
  layout->addStretch(1);
  return page;
}

QWidget* PrintSettingsDialog::BuildFilePage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* row = new QHBoxLayout;
  fileName_ = new QLineEdit;
  auto* browse = new QPushButton(QStringLiteral("&Browse..."));
  row->addWidget(new QLabel(QStringLiteral("File:")));
  row->addWidget(fileName_, 1);
  row->addWidget(browse);
  auto* actions = new QHBoxLayout;
  auto* load = new QPushButton(QStringLiteral("&Load"));
  auto* save = new QPushButton(QStringLiteral("&Save"));
  actions->addWidget(load);
  actions->addWidget(save);
  actions->addStretch(1);
  fileStatus_ = new QLabel;
  fileStatus_->setWordWrap(true);
  layout->addLayout(row);
  layout->addLayout(actions);
  layout->addWidget(fileStatus_);
  layout->addStretch(1);

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString path = AskFileName(false);
    if (!path.isEmpty()) {
      fileName_->setText(path);
    }
  });
  connect(load, &QPushButton::clicked, this, [this] {
    const QString path = fileName_->text().isEmpty() ? AskFileName(false) : fileName_->text();
    if (!path.isEmpty()) {
      LoadFromFile(path);
    }
  });
  connect(save, &QPushButton::clicked, this, [this] {
    const QString path = fileName_->text().isEmpty() ? AskFileName(true) : fileName_->text();
    if (!path.isEmpty()) {
      SaveToFile(path);
    }
  });
  return page;
}

QString PrintSettingsDialog::AskFileName(bool forSaving) {
  const QString filter = QStringLiteral("Print settings (*.ini);;All files (*)");
  if (forSaving) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save Print Settings"), fileName_->text(), filter);
  }
  return QFileDialog::getOpenFileName(this, QStringLiteral("Load Print Settings"), fileName_->text(), filter);
}

QString PrintSettingsDialog::SaveToFile(const QString& path) {
  fileName_->setText(path);
  const QString error = SavePrintSettings(Settings(), path);
  fileStatus_->setText(error.isEmpty() ? QStringLiteral("Saved to \"%1\".").arg(path) : error);
  return error;
}

QString PrintSettingsDialog::LoadFromFile(const QString& path) {
  fileName_->setText(path);
  const LoadedPrintSettings loaded = LoadPrintSettings(path, defaults_);
  SetSettings(loaded.settings);
  fileStatus_->setText(loaded.error.isEmpty() ? QStringLiteral("Loaded from \"%1\".").arg(path)
                                              : loaded.error + QStringLiteral(" The defaults are shown."));
  return loaded.error;
}

QString PrintSettingsDialog::FileStatus() const { return fileStatus_->text(); }

void PrintSettingsDialog::SetSettings(const GridPrintSettings& settings) {
  cellBorders_->setChecked(settings.cellBorders);
  outerBorder_->setChecked(settings.outerBorder);
  borderWidth_->setValue(settings.borderWidthMm);
  repeatTitleRow_->setChecked(settings.repeatTitleRow);
  repeatFixedColumn_->setChecked(settings.repeatFixedColumn);
  printBands_->setChecked(settings.printBands);
  printCellColours_->setChecked(settings.printCellColours);
  fitToPageWidth_->setChecked(settings.fitToPageWidth);
  const auto setFont = [](FontFields& fields, const PrintFont& font) {
    fields.family->setCurrentText(font.family);
    fields.size->setValue(font.pixelSize);
    fields.bold->setChecked(font.bold);
  };
  setFont(cellFont_, settings.cellFont);
  setFont(titleRowFont_, settings.titleRowFont);
  setFont(headerFont_, settings.headerFont);
  setFont(footerFont_, settings.footerFont);
  printDate_->setChecked(settings.printDate);
  dateFormat_->setText(settings.dateFormat);
  printTime_->setChecked(settings.printTime);
  timeFormat_->setText(settings.timeFormat);
  dateTimeAlignment_->setCurrentIndex(static_cast<int>(settings.dateTimeAlignment));
  printTitle_->setChecked(settings.printTitle);
  title_->setText(settings.title);
  titleAlignment_->setCurrentIndex(static_cast<int>(settings.titleAlignment));
  printPageNumbers_->setChecked(settings.printPageNumbers);
  pageNumberPrefix_->setText(settings.pageNumberPrefix);
  pageNumberSeparator_->setText(settings.pageNumberSeparator);
  pageNumberAlignment_->setCurrentIndex(static_cast<int>(settings.pageNumberAlignment));
  leftMargin_->setValue(settings.leftMarginMm);
  topMargin_->setValue(settings.topMarginMm);
  rightMargin_->setValue(settings.rightMarginMm);
  bottomMargin_->setValue(settings.bottomMarginMm);
  titleSpacing_->setValue(settings.titleSpacingMm);
  footerSpacing_->setValue(settings.footerSpacingMm);
  cellPadding_->setValue(settings.cellPaddingMm);
  portrait_->setChecked(settings.orientation != QPageLayout::Landscape);
  landscape_->setChecked(settings.orientation == QPageLayout::Landscape);
}

GridPrintSettings PrintSettingsDialog::Settings() const {
  GridPrintSettings settings;
  settings.cellBorders = cellBorders_->isChecked();
  settings.outerBorder = outerBorder_->isChecked();
  settings.borderWidthMm = borderWidth_->value();
  settings.repeatTitleRow = repeatTitleRow_->isChecked();
  settings.repeatFixedColumn = repeatFixedColumn_->isChecked();
  settings.printBands = printBands_->isChecked();
  settings.printCellColours = printCellColours_->isChecked();
  settings.fitToPageWidth = fitToPageWidth_->isChecked();
  const auto font = [](const FontFields& fields) {
    return PrintFont{fields.family->currentText().trimmed(), fields.size->value(), fields.bold->isChecked()};
  };
  settings.cellFont = font(cellFont_);
  settings.titleRowFont = font(titleRowFont_);
  settings.headerFont = font(headerFont_);
  settings.footerFont = font(footerFont_);
  settings.printDate = printDate_->isChecked();
  settings.dateFormat = dateFormat_->text();
  settings.printTime = printTime_->isChecked();
  settings.timeFormat = timeFormat_->text();
  settings.dateTimeAlignment = AlignmentOf(dateTimeAlignment_);
  settings.printTitle = printTitle_->isChecked();
  settings.title = title_->text();
  settings.titleAlignment = AlignmentOf(titleAlignment_);
  settings.printPageNumbers = printPageNumbers_->isChecked();
  settings.pageNumberPrefix = pageNumberPrefix_->text();
  settings.pageNumberSeparator = pageNumberSeparator_->text();
  settings.pageNumberAlignment = AlignmentOf(pageNumberAlignment_);
  settings.leftMarginMm = leftMargin_->value();
  settings.topMarginMm = topMargin_->value();
  settings.rightMarginMm = rightMargin_->value();
  settings.bottomMarginMm = bottomMargin_->value();
  settings.titleSpacingMm = titleSpacing_->value();
  settings.footerSpacingMm = footerSpacing_->value();
  settings.cellPaddingMm = cellPadding_->value();
  settings.orientation = landscape_->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait;
  return settings;
}

bool RunPrintSettingsDialog(GridView& grid, PrintClock now, QWidget* parent) {
  GridPrintSettings defaults;
  defaults.title = grid.PrintTitle();
  PrintSettingsDialog dialog(grid.PrintSettings(), defaults, parent);
  dialog.SetPreviewHandler([&grid, &now, &dialog](const GridPrintSettings& settings) {
    GridPrintPreview preview(grid, settings, now, &dialog);
    preview.Exec();
  });
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  grid.SetPrintSettings(dialog.Settings());
  return true;
}

}  // namespace almanex
