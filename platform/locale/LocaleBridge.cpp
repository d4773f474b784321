#include "platform/locale/LocaleBridge.h"

#include <QString>
#include <string>
#include <utility>

namespace almanex {

namespace {

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// Our pattern language writes a literal inside double quotes; a double quote itself goes inside single ones.
void AppendLiteral(std::string& out, const QString& text) {
  if (text.isEmpty()) return;
  bool open = false;
  for (const QChar c : text) {
    if (c == u'"') {
      if (open) out += '"';
      open = false;
      out += "'\"'";
      continue;
    }
    if (!open) out += '"';
    open = true;
    out += ToUtf8(QString(c));
  }
  if (open) out += '"';
}

// The first character of a Qt pattern that is neither a letter nor quoted text nor an invisible
// format mark (such as the right-to-left marks around the separators of Arabic dates). A blank counts
// only when nothing else separates the fields: "t HH:mm:ss" separates its time with ":".
QString FirstSeparator(const QString& qtPattern, const QString& fallback) {
  QString blank;
  bool quoted = false;
  for (qsizetype i = 0; i < qtPattern.size(); ++i) {
    const QChar c = qtPattern[i];
    if (c == u'\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted || c.isLetter() || c.category() == QChar::Other_Format) continue;
    if (c.isSpace()) {
      if (blank.isEmpty()) blank = QString(c);
      continue;
    }
    if (c.isHighSurrogate() && i + 1 < qtPattern.size()) return qtPattern.mid(i, 2);
    return QString(c);
  }
  return blank.isEmpty() ? fallback : blank;
}

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Translates a Qt date or time pattern into ours. Qt "mm" (minutes) becomes "nn", so our "m" always
// means the month; Qt "AP"/"ap"/"A"/"a" becomes the locale's AM/PM texts; the time-zone token "t" is
// dropped with one blank (and brackets) around it. Literal text of Qt (quoted, or letters that are no
// Qt token) is quoted for us, so that none of our own tokens hides in it.
}  // namespace

std::string PatternFromQt(const QString& qt, bool shortDate, const std::string& dateSeparator,
                          const std::string& timeSeparator) {
  std::string out;
  bool skipNextBlank = false;
  qsizetype i = 0;
  while (i < qt.size()) {
    const QChar c = qt[i];
    if (skipNextBlank) {
      skipNextBlank = false;
      if (c == u' ') {
        ++i;
        continue;
      }
    }
    if (c == u'\'') {
      QString literal;
      if (i + 1 < qt.size() && qt[i + 1] == u'\'') {  // '' outside quotes: one quote
        literal = QStringLiteral("'");
        i += 2;
      } else {
        ++i;
        while (i < qt.size()) {
          if (qt[i] == u'\'') {
            if (i + 1 < qt.size() && qt[i + 1] == u'\'') {
              literal += u'\'';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          literal += qt[i++];
        }
      }
      AppendLiteral(out, literal);
      continue;
    }
    if (!IsAsciiLetter(c)) {
      if (c == u'/' && dateSeparator != "/") {
        AppendLiteral(out, QStringLiteral("/"));
      } else if (c == u':' && timeSeparator != ":") {
        AppendLiteral(out, QStringLiteral(":"));
      } else if (c == u'"') {
        AppendLiteral(out, QString(c));
      } else if (c.isHighSurrogate() && i + 1 < qt.size()) {
        out += ToUtf8(qt.mid(i, 2));
        ++i;
      } else {
        out += ToUtf8(QString(c));
      }
      ++i;
      continue;
    }
    qsizetype run = 1;
    while (i + run < qt.size() && qt[i + run] == c) ++run;
    switch (c.unicode()) {
      case u'd':
        out.append(static_cast<std::size_t>(run), 'd');
        break;
      case u'M':
        if (run <= 2) {
          out += run == 1 ? "m" : "mm";
        } else if (shortDate) {  // the stored short date must stay numeric
          out += run == 3 ? "mm" : "m";
        } else {
          out += run == 3 ? "mmm" : "mmmm";
        }
        break;
      case u'y':
        out += (shortDate || run > 2) ? "yyyy" : "yy";
        break;
      case u'h':
      case u'H':
        out += run == 1 ? "h" : "hh";
        break;
      case u'm':
        out += run == 1 ? "n" : "nn";
        break;
      case u's':
        out += run == 1 ? "s" : "ss";
        break;
      case u'z':
        out += run >= 3 ? "zzz" : "z";
        break;
      case u'A':
      case u'a':
        // "AP", "ap", "A" or "a": one am/pm token; a following P/p belongs to it.
        run = (i + 1 < qt.size() && (qt[i + 1] == u'P' || qt[i + 1] == u'p')) ? 2 : 1;
        out += "ampm";
        break;
      case u't': {
        const bool bracketed = !out.empty() && out.back() == '(' && i + run < qt.size() && qt[i + run] == u')';
        if (bracketed) {
          out.pop_back();
          ++run;
        }
        if (!out.empty() && out.back() == ' ') {
          out.pop_back();
        } else {
          skipNextBlank = true;
        }
        break;
      }
      default:  // letters that are no Qt token are Qt literals: quote the whole word
        run = 1;
        while (i + run < qt.size() && IsAsciiLetter(qt[i + run]) &&
               !QStringLiteral("dMyhHmszAat").contains(qt[i + run])) {
          ++run;
        }
        AppendLiteral(out, qt.mid(i, run));
        break;
    }
    i += run;
  }
  return out;
}

FormatSettings FormatSettingsFromLocale(const QLocale& locale) {
  FormatSettings settings;
  const QString qtShortDate = locale.dateFormat(QLocale::ShortFormat);
  const QString qtLongDate = locale.dateFormat(QLocale::LongFormat);
  const QString qtLongTime = locale.timeFormat(QLocale::LongFormat);

  std::string dateSeparator = ToUtf8(FirstSeparator(qtShortDate, QStringLiteral("/")));
  const std::string timeSeparator = ToUtf8(FirstSeparator(qtLongTime, QStringLiteral(":")));
  std::string shortDate = PatternFromQt(qtShortDate, true, dateSeparator, timeSeparator);
  // A short date that spells the month (the C locale's "d MMM yyyy") has no numeric layout of its own
  // to keep; the stored date then takes the ISO order, which reads the same under any setting.
  if (qtShortDate.contains(QStringLiteral("MMM"))) {
    shortDate = "yyyy-mm-dd";
    dateSeparator = "-";
  }
  // A short date without all three numeric fields could not be read back; keep the default then.
  if (shortDate.find('d') == std::string::npos || shortDate.find('m') == std::string::npos ||
      shortDate.find("yyyy") == std::string::npos) {
    shortDate = settings.shortDateFormat;
    dateSeparator = settings.dateSeparator;
  }
  settings.longDateFormat = PatternFromQt(qtLongDate, false, dateSeparator, timeSeparator);
  settings.longTimeFormat = PatternFromQt(qtLongTime, false, dateSeparator, timeSeparator);
  settings.shortDateFormat = std::move(shortDate);
  settings.dateSeparator = std::move(dateSeparator);
  settings.timeSeparator = timeSeparator;

  settings.timeAmString = ToUtf8(locale.amText());
  settings.timePmString = ToUtf8(locale.pmText());
  settings.thousandSeparator = ToUtf8(locale.groupSeparator());
  settings.decimalSeparator = ToUtf8(locale.decimalPoint());
  for (int month = 1; month <= 12; ++month) {
    settings.shortMonthNames[month - 1] = ToUtf8(locale.monthName(month, QLocale::ShortFormat));
    settings.longMonthNames[month - 1] = ToUtf8(locale.monthName(month, QLocale::LongFormat));
  }
  for (int day = 0; day < 7; ++day) {  // ours: Sunday first; Qt: 1 Monday .. 7 Sunday
    const int qtDay = day == 0 ? 7 : day;
    settings.shortDayNames[day] = ToUtf8(locale.dayName(qtDay, QLocale::ShortFormat));
    settings.longDayNames[day] = ToUtf8(locale.dayName(qtDay, QLocale::LongFormat));
  }
  return settings;
}

FormatSettings UserFormatSettings() { return FormatSettingsFromLocale(QLocale::system()); }

std::optional<FormatSettings> FormatSettingsForLocaleName(const std::string& name) {
  const QLocale locale(QString::fromStdString(name));
  const bool isCLocale = name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
  if (locale.language() == QLocale::C && !isCLocale) return std::nullopt;
  return FormatSettingsFromLocale(locale);
}

}  // namespace almanex
