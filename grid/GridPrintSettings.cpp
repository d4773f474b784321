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

/// Writes the keys of the group the way Reader reads them back.
class Writer {
 public:
  explicit Writer(QSettings& file) : file_(file) {}

  void Bool(const char* key, bool value) const { file_.setValue(QLatin1String(key), value ? 1 : 0); }
  void Number(const char* key, double /*minimum*/, double /*maximum*/, double value) const {
    file_.setValue(QLatin1String(key), QString::number(value));
  }
  void String(const char* key, const QString& value) const { file_.setValue(QLatin1String(key), value); }
  void Alignment(const char* key, PrintAlignment value) const {
    file_.setValue(QLatin1String(key), static_cast<int>(value));
  }
  void Font(const char* key, const PrintFont& value) const { file_.setValue(QLatin1String(key), FontText(value)); }

 private:
  QSettings& file_;
};

/// Every key of the group but Orientation with its field and, for numbers, the range a read accepts, in the
/// order a save writes them. Settings is GridPrintSettings for a read and const GridPrintSettings for a save.
template <typename Settings, typename Access>
void ForEachKey(Settings& settings, const Access& access) {
  access.Bool("CellBorders", settings.cellBorders);
  access.Bool("OuterBorder", settings.outerBorder);
  access.Number("BorderWidthMm", 0.05, 2, settings.borderWidthMm);
  access.Bool("RepeatTitleRow", settings.repeatTitleRow);
  access.Bool("RepeatFixedColumn", settings.repeatFixedColumn);
  access.Bool("PrintBands", settings.printBands);
  access.Bool("PrintCellColours", settings.printCellColours);
  access.Bool("FitToPageWidth", settings.fitToPageWidth);
  access.Font("CellFont", settings.cellFont);
  access.Font("TitleRowFont", settings.titleRowFont);
  access.Font("HeaderFont", settings.headerFont);
  access.Font("FooterFont", settings.footerFont);
  access.Bool("PrintDate", settings.printDate);
  access.String("DateFormat", settings.dateFormat);
  access.Bool("PrintTime", settings.printTime);
  access.String("TimeFormat", settings.timeFormat);
  access.Alignment("DateTimeAlignment", settings.dateTimeAlignment);
  access.Bool("PrintTitle", settings.printTitle);
  access.String("Title", settings.title);
  access.Alignment("TitleAlignment", settings.titleAlignment);
  access.Bool("PrintPageNumbers", settings.printPageNumbers);
  access.String("PageNumberPrefix", settings.pageNumberPrefix);
  access.String("PageNumberSeparator", settings.pageNumberSeparator);
  access.Alignment("PageNumberAlignment", settings.pageNumberAlignment);
  access.Number("LeftMarginMm", 0, 100, settings.leftMarginMm);
  access.Number("TopMarginMm", 0, 100, settings.topMarginMm);
  access.Number("RightMarginMm", 0, 100, settings.rightMarginMm);
  access.Number("BottomMarginMm", 0, 100, settings.bottomMarginMm);
  access.Number("TitleSpacingMm", 0, 50, settings.titleSpacingMm);
  access.Number("FooterSpacingMm", 0, 50, settings.footerSpacingMm);
  access.Number("CellPaddingMm", 0, 50, settings.cellPaddingMm);
}

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
  ForEachKey(settings, Writer(file));
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
  ForEachKey(settings, read);
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
