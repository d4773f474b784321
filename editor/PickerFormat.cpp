#include "PickerFormat.h"

#include <algorithm>

#include "base/Ascii.h"

namespace almanex {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

/// Appends literal text, quoted when Qt would read a letter in it as a field ("''" is a quote).
void AppendLiteral(QString& out, std::string_view text) {
  QString literal = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const bool needsQuotes = std::any_of(text.begin(), text.end(), [](char c) { return c == '\'' || IsAsciiLetter(c); });
  if (!needsQuotes) {
    out += literal;
    return;
  }
  literal.replace(QLatin1Char('\''), QStringLiteral("''"));
  out += QLatin1Char('\'') + literal + QLatin1Char('\'');
}

QString Repeat(char letter, std::size_t count) { return QString(static_cast<qsizetype>(count), QLatin1Char(letter)); }

}  // namespace

QString QtDisplayFormat(std::string_view pattern, const FormatSettings& settings) {
  QString out;
  bool afterHour = false;  // an m or mm here means minutes
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\'' || c == '"') {
      const std::size_t close = pattern.find(c, i + 1);
      const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
      AppendLiteral(out, pattern.substr(i + 1, end - i - 1));
      i = end == pattern.size() ? end : end + 1;
      continue;
    }
    const std::string_view rest = pattern.substr(i);
    if (StartsWithIgnoringAsciiCase(rest, "am/pm") || StartsWithIgnoringAsciiCase(rest, "a/p")) {
      out += (c >= 'A' && c <= 'Z') ? QStringLiteral("AP") : QStringLiteral("ap");
      i += StartsWithIgnoringAsciiCase(rest, "am/pm") ? 5 : 3;
      continue;
    }
    if (StartsWithIgnoringAsciiCase(rest, "ampm")) {
      out += QStringLiteral("AP");
      i += 4;
      continue;
    }
    const char lower = ToLowerAscii(c);
    std::size_t run = 1;
    while (i + run < pattern.size() && ToLowerAscii(pattern[i + run]) == lower) ++run;
    switch (lower) {
      case 'd':
        out += Repeat('d', run >= 4 ? 4 : run);
        afterHour = false;
        break;
      case 'm':
        if (afterHour && run <= 2) {
          out += Repeat('m', run);
        } else {
          out += Repeat('M', run >= 4 ? 4 : run);
        }
        afterHour = false;
        break;
      case 'y':
        out += run >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy");
        afterHour = false;
        break;
      case 'h':
        out += Repeat('h', run >= 2 ? 2 : 1);
        afterHour = true;
        break;
      case 'n':
        out += Repeat('m', run >= 2 ? 2 : 1);
        afterHour = false;
        break;
      case 's':
        out += Repeat('s', run >= 2 ? 2 : 1);
        afterHour = false;
        break;
      case 'z':
        out += run >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
        afterHour = false;
        break;
      case '/':
        AppendLiteral(out, settings.dateSeparator);
        run = 1;
        break;
      case ':':
        AppendLiteral(out, settings.timeSeparator);
        run = 1;
        break;
      default:
        AppendLiteral(out, pattern.substr(i, run));
        break;
    }
    i += run;
  }
  return out;
}

QDate ToQDate(DateTime value) {
  const std::chrono::year_month_day date = DecodeDate(value);
  return QDate(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
               static_cast<int>(static_cast<unsigned>(date.day())));
}

DateTime FromQDate(QDate date) {
  if (!date.isValid()) return 0;
  return TryEncodeDate(date.year(), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day())).value_or(0);
}

QTime ToQTime(DateTime value) {
  const TimeOfDay time = DecodeTime(value);
  return QTime(static_cast<int>(time.hour), static_cast<int>(time.minute), static_cast<int>(time.second),
               static_cast<int>(time.millisecond));
}

DateTime FromQTime(QTime time) {
  if (!time.isValid()) return 0;
  return EncodeTime(static_cast<unsigned>(time.hour()), static_cast<unsigned>(time.minute()),
                    static_cast<unsigned>(time.second()), static_cast<unsigned>(time.msec()));
}

}  // namespace almanex
