#include "grid/GridPrintSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace almanex {

namespace {

constexpr char kGroup[] = "GridPrintSettings";
constexpr char kFormatKey[] = "Format";
constexpr int kFormatVersion = 1;

QString FontText(const PrintFont& font) {
  return QStringLiteral("%1,%2,%3").arg(font.family).arg(font.pixelSize).arg(font.bold ? 1 : 0);
}

/// "family,pixels,bold"; the family may itself hold commas, so the two numbers are taken from the right.
bool ParseFont(const QString& text, PrintFont& font) {
  const int boldComma = text.lastIndexOf(u',');
  if (boldComma <= 0) {
    return false;
  }
  const int sizeComma = text.lastIndexOf(u',', boldComma - 1);
  if (sizeComma <= 0) {
    return false;
  }
  bool sizeOk = false;
  bool boldOk = false;
  const int size = text.mid(sizeComma + 1, boldComma - sizeComma - 1).trimmed().toInt(&sizeOk);
  const int bold = text.mid(boldComma + 1).trimmed().toInt(&boldOk);
  const QString family = text.left(sizeComma).trimmed();
  if (!sizeOk || !boldOk || size < 4 || size > 96 || (bold != 0 && bold != 1) || family.isEmpty()) {
    return false;
  }
  font = PrintFont{family, size, bold == 1};
  return true;
}

/// Reads the keys of the group into a settings value, each only when it parses and lies in its range.
class Reader {
 public:
  explicit Reader(QSettings& file) : file_(file) {}

  void Bool(const char* key, bool& value) const {
    const QString text = Text(key);
    if (text == u"1" || text.compare(u"true", Qt::CaseInsensitive) == 0) {
      value = true;
    } else if (text == u"0" || text.compare(u"false", Qt::CaseInsensitive) == 0) {
      value = false;
    }
  }
  void Number(const char* key, double minimum, double maximum, double& value) const {
    bool ok = false;
    const double number = Text(key).toDouble(&ok);
    if (ok && number >= minimum && number <= maximum) {
      value = number;
    }
  }
  void String(const char* key, QString& value) const {
    const QVariant stored = file_.value(QLatin1String(key));
    if (stored.isValid() && stored.canConvert<QString>()) {
      value = stored.toString();
    }
  }
  void Alignment(const char* key, PrintAlignment& value) const {
    bool ok = false;
    const int number = Text(key).toInt(&ok);
    if (ok && number >= 0 && number <= 2) {
      value = static_cast<PrintAlignment>(number);
    }
  }
  void Font(const char* key, PrintFont& value) const { ParseFont(Text(key), value); }

 private:
  QString Text(const char* key) const {
    const QVariant stored = file_.value(QLatin1String(key));
    // A value with commas comes back as a list; a font keeps its family's commas by joining it again.
    if (stored.typeId() == QMetaType::QStringList) {
      return stored.toStringList().join(u',').trimmed();
    }
    return stored.toString().trimmed();
  }

  QSettings& file_;
};

}  // namespace

QString PageNumberText(const GridPrintSettings& settings, int page, int pageCount) {
  QString text = settings.pageNumberPrefix;
  if (!text.isEmpty()) {
    text += u' ';
  }
  return text + QString::number(page) + settings.pageNumberSeparator + QString::number(pageCount);
}

QString SavePrintSettings(const GridPrintSettings& settings, const QString& path) {
  if (path.isEmpty()) {
    return QStringLiteral("No file name was given.");
  }
  // QSettings would create a missing folder on its own; a mistyped folder is the user's to correct.
  if (!QFileInfo(path).absoluteDir().exists()) {
    return QStringLiteral("The folder of \"%1\" does not exist.").arg(path);
  }
  QSettings file(path, QSettings::IniFormat);
  file.clear();
  file.beginGroup(QLatin1String(kGroup));
  file.setValue(QLatin1String(kFormatKey), kFormatVersion);
  const auto flag = [&](const char* key, bool value) { file.setValue(QLatin1String(key), value ? 1 : 0); };
  const auto number = [&](const char* key, double value) { file.setValue(QLatin1String(key), QString::number(value)); };
  const auto alignment = [&](const char* key, PrintAlignment value) {
    file.setValue(QLatin1String(key), static_cast<int>(value));
  };
  flag("CellBorders", settings.cellBorders);
  flag("OuterBorder", settings.outerBorder);
  number("BorderWidthMm", settings.borderWidthMm);
  flag("RepeatTitleRow", settings.repeatTitleRow);
  flag("RepeatFixedColumn", settings.repeatFixedColumn);
  flag("PrintBands", settings.printBands);
  flag("PrintCellColours", settings.printCellColours);
  flag("FitToPageWidth", settings.fitToPageWidth);
  file.setValue(QStringLiteral("CellFont"), FontText(settings.cellFont));
  file.setValue(QStringLiteral("TitleRowFont"), FontText(settings.titleRowFont));
  file.setValue(QStringLiteral("HeaderFont"), FontText(settings.headerFont));
  file.setValue(QStringLiteral("FooterFont"), FontText(settings.footerFont));
  flag("PrintDate", settings.printDate);
  file.setValue(QStringLiteral("DateFormat"), settings.dateFormat);
  flag("PrintTime", settings.printTime);
  file.setValue(QStringLiteral("TimeFormat"), settings.timeFormat);
  alignment("DateTimeAlignment", settings.dateTimeAlignment);
  flag("PrintTitle", settings.printTitle);
  file.setValue(QStringLiteral("Title"), settings.title);
  alignment("TitleAlignment", settings.titleAlignment);
  flag("PrintPageNumbers", settings.printPageNumbers);
  file.setValue(QStringLiteral("PageNumberPrefix"), settings.pageNumberPrefix);
  file.setValue(QStringLiteral("PageNumberSeparator"), settings.pageNumberSeparator);
  alignment("PageNumberAlignment", settings.pageNumberAlignment);
  number("LeftMarginMm", settings.leftMarginMm);
  number("TopMarginMm", settings.topMarginMm);
  number("RightMarginMm", settings.rightMarginMm);
  number("BottomMarginMm", settings.bottomMarginMm);
  number("TitleSpacingMm", settings.titleSpacingMm);
  number("FooterSpacingMm", settings.footerSpacingMm);
  number("CellPaddingMm", settings.cellPaddingMm);
  file.setValue(QStringLiteral("Orientation"), settings.orientation == QPageLayout::Landscape
                                                   ? QStringLiteral("Landscape")
                                                   : QStringLiteral("Portrait"));
  file.endGroup();
  file.sync();
  if (file.status() != QSettings::NoError) {
    return QStringLiteral("The print settings could not be written to \"%1\".").arg(path);
  }
  return {};
}

LoadedPrintSettings LoadPrintSettings(const QString& path, const GridPrintSettings& defaults) {
  LoadedPrintSettings result{defaults, {}};
  if (!QFileInfo(path).isFile()) {
    result.error = QStringLiteral("The file \"%1\" does not exist.").arg(path);
    return result;
  }
  QSettings file(path, QSettings::IniFormat);
  file.beginGroup(QLatin1String(kGroup));
  if (file.status() != QSettings::NoError || file.value(QLatin1String(kFormatKey)).toString().trimmed() != u"1") {
    result.error = QStringLiteral("The file \"%1\" holds no print settings.").arg(path);
    return result;
  }
  GridPrintSettings& settings = result.settings;
  const Reader read(file);
  read.Bool("CellBorders", settings.cellBorders);
  read.Bool("OuterBorder", settings.outerBorder);
  read.Number("BorderWidthMm", 0.05, 2, settings.borderWidthMm);
  read.Bool("RepeatTitleRow", settings.repeatTitleRow);
  read.Bool("RepeatFixedColumn", settings.repeatFixedColumn);
  read.Bool("PrintBands", settings.printBands);
  read.Bool("PrintCellColours", settings.printCellColours);
  read.Bool("FitToPageWidth", settings.fitToPageWidth);
  read.Font("CellFont", settings.cellFont);
  read.Font("TitleRowFont", settings.titleRowFont);
  read.Font("HeaderFont", settings.headerFont);
  read.Font("FooterFont", settings.footerFont);
  read.Bool("PrintDate", settings.printDate);
  read.String("DateFormat", settings.dateFormat);
  read.Bool("PrintTime", settings.printTime);
  read.String("TimeFormat", settings.timeFormat);
  read.Alignment("DateTimeAlignment", settings.dateTimeAlignment);
  read.Bool("PrintTitle", settings.printTitle);
  read.String("Title", settings.title);
  read.Alignment("TitleAlignment", settings.titleAlignment);
  read.Bool("PrintPageNumbers", settings.printPageNumbers);
  read.String("PageNumberPrefix", settings.pageNumberPrefix);
  read.String("PageNumberSeparator", settings.pageNumberSeparator);
  read.Alignment("PageNumberAlignment", settings.pageNumberAlignment);
  read.Number("LeftMarginMm", 0, 100, settings.leftMarginMm);
  read.Number("TopMarginMm", 0, 100, settings.topMarginMm);
  read.Number("RightMarginMm", 0, 100, settings.rightMarginMm);
  read.Number("BottomMarginMm", 0, 100, settings.bottomMarginMm);
  read.Number("TitleSpacingMm", 0, 50, settings.titleSpacingMm);
  read.Number("FooterSpacingMm", 0, 50, settings.footerSpacingMm);
  read.Number("CellPaddingMm", 0, 50, settings.cellPaddingMm);
  QString orientation;
  read.String("Orientation", orientation);
  if (orientation.compare(u"Landscape", Qt::CaseInsensitive) == 0) {
    settings.orientation = QPageLayout::Landscape;
  } else if (orientation.compare(u"Portrait", Qt::CaseInsensitive) == 0) {
    settings.orientation = QPageLayout::Portrait;
  }
  return result;
}

}  // namespace almanex
