#include "QtDateFormat.h"

#include <cstddef>

#include "base/Ascii.h"

namespace almanex {

namespace {

// Qt quotes literal text in single quotes; a single quote itself is written twice.
void AppendLiteral(QString& out, std::string_view text) {
  if (text.empty()) return;
  QString literal = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  literal.replace(u'\'', QStringLiteral("''"));
  out += u'\'' + literal + u'\'';
}

}  // namespace

QString ToQtDateFormat(std::string_view pattern, const FormatSettings& settings) {
  QString out;
  bool afterHour = false;  // a following "m"/"mm" is a minute, literals in between keep that state
  std::size_t at = 0;
  while (at < pattern.size()) {
    const char first = pattern[at];
    const char letter = ToLowerAscii(first);
    std::size_t run = 1;
    while (at + run < pattern.size() && ToLowerAscii(pattern[at + run]) == letter) ++run;
    switch (letter) {
      case '\'':
      case '"': {
        std::size_t end = pattern.find(first, at + 1);
        if (end == std::string_view::npos) end = pattern.size();
        AppendLiteral(out, pattern.substr(at + 1, end - at - 1));
        at = end < pattern.size() ? end + 1 : end;
        continue;
      }
      case 'd':
        run = run < 4 ? run : 4;
        out += QString(static_cast<qsizetype>(run), u'd');
        afterHour = false;
        break;
      case 'm':
        if (afterHour && run <= 2) {
          out += run == 1 ? QStringLiteral("m") : QStringLiteral("mm");
        } else {
          run = run < 4 ? run : 4;
          out += QString(static_cast<qsizetype>(run), u'M');
        }
        afterHour = false;
        break;
      case 'y':
        out += run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
        afterHour = false;
        break;
      case 'h':
        run = run < 2 ? run : 2;
        out += run == 1 ? QStringLiteral("h") : QStringLiteral("hh");
        afterHour = true;
        break;
      case 'n':
        run = run < 2 ? run : 2;
        out += run == 1 ? QStringLiteral("m") : QStringLiteral("mm");
        afterHour = false;
        break;
      case 's':
        run = run < 2 ? run : 2;
        out += run == 1 ? QStringLiteral("s") : QStringLiteral("ss");
        afterHour = false;
        break;
      case 'z':
        run = run >= 3 ? 3 : 1;
        out += run == 3 ? QStringLiteral("zzz") : QStringLiteral("z");
        afterHour = false;
        break;
      case 'a': {
        const std::string_view rest = pattern.substr(at);
        // "AM/PM" shows the capital texts, "am/pm" the small ones, as the program's formatter does.
        const QString amPm = first == 'A' ? QStringLiteral("AP") : QStringLiteral("ap");
        if (StartsWithIgnoringAsciiCase(rest, "am/pm")) {
          out += amPm;
          run = 5;
        } else if (StartsWithIgnoringAsciiCase(rest, "a/p")) {
          out += amPm;
          run = 3;
        } else if (StartsWithIgnoringAsciiCase(rest, "ampm")) {
          out += QStringLiteral("AP");
          run = 4;
        } else {
          AppendLiteral(out, rest.substr(0, 1));
          run = 1;
        }
        break;
      }
      case '/':
        AppendLiteral(out, settings.dateSeparator);
        run = 1;
        break;
      case ':':
        AppendLiteral(out, settings.timeSeparator);
        run = 1;
        break;
      default:
        // Any other letter is literal text for the program's formatter; Qt would read some as tokens.
        if (IsAsciiLetter(first)) {
          AppendLiteral(out, pattern.substr(at, 1));
          run = 1;
        } else {  // blanks, punctuation and whole UTF-8 sequences are literal to Qt as they are
          run = 1;
          while (at + run < pattern.size() && !IsAsciiLetter(pattern[at + run]) &&
                 std::string_view("'\"/:").find(pattern[at + run]) == std::string_view::npos) {
            ++run;
          }
          out += QString::fromUtf8(pattern.data() + at, static_cast<qsizetype>(run));
        }
        break;
    }
    at += run;
  }
  return out;
}

}  // namespace almanex
