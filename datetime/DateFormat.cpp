#include "DateFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>
#include "base/Ascii.h"

namespace almanex {

namespace {

// ---------------------------------------------------------------------------------------------
// Pattern tokens

enum class TokenKind {
  kLiteral,
  kDateSeparator,
  kTimeSeparator,
  kDay,
  kDay2,
  kDayShortName,
  kDayLongName,
  kMonth,
  kMonth2,
  kMonthShortName,
  kMonthLongName,
  kYear2,
  kYear4,
  kHour,
  kHour2,
  kMinute,
  kMinute2,
  kSecond,
  kSecond2,
  kMillisecond,
  kMillisecond3,
  kAmPmWord,    // "am/pm": the letters as written
  kAmPmLetter,  // "a/p": one letter as written
  kAmPmLocale,  // "ampm": the locale's texts
};

struct Token {
  TokenKind kind = TokenKind::kLiteral;
  std::string_view text;  // the literal text, or the pattern text of an am/pm token
};

// A character that may begin a token (anything else is literal text).
bool IsPatternSpecial(char c) {
  switch (ToLowerAscii(c)) {
    case '\'':
    case '"':
    case 'd':
    case 'm':
    case 'y':
    case 'h':
    case 'n':
    case 's':
    case 'z':
    case 'a':
    case '/':
    case ':':
      return true;
    default:
      return false;
  }
}

// Splits a pattern into tokens, left to right. Remembers whether the last field token was an hour, which
// makes a following "m"/"mm" a minute; literal text and separators in between keep that state.
class PatternReader {
 public:
  explicit PatternReader(std::string_view pattern) : pattern_(pattern) {}

  bool Next(Token& token) {
    if (position_ >= pattern_.size()) return false;
    const char first = pattern_[position_];
    const char letter = ToLowerAscii(first);
    const std::size_t run = RunLength(letter);
    switch (letter) {
      case '\'':
      case '"': {
        std::size_t end = pattern_.find(first, position_ + 1);
        if (end == std::string_view::npos) end = pattern_.size();
        token = {TokenKind::kLiteral, pattern_.substr(position_ + 1, end - position_ - 1)};
        position_ = end < pattern_.size() ? end + 1 : end;
        return true;
      }
      case 'd': {
        static constexpr TokenKind kKinds[] = {TokenKind::kDay, TokenKind::kDay2, TokenKind::kDayShortName,
                                               TokenKind::kDayLongName};
        const std::size_t taken = run < 4 ? run : 4;
        return Field(token, kKinds[taken - 1], taken, false);
      }
      case 'm': {
        if (afterHour_ && run <= 2)
          return Field(token, run == 1 ? TokenKind::kMinute : TokenKind::kMinute2, run, false);
        static constexpr TokenKind kKinds[] = {TokenKind::kMonth, TokenKind::kMonth2, TokenKind::kMonthShortName,
                                               TokenKind::kMonthLongName};
        const std::size_t taken = run < 4 ? run : 4;
        return Field(token, kKinds[taken - 1], taken, false);
      }
      case 'y':
        return Field(token, run <= 2 ? TokenKind::kYear2 : TokenKind::kYear4, run, false);
      case 'h':
        return Field(token, run == 1 ? TokenKind::kHour : TokenKind::kHour2, run < 2 ? run : 2, true);
      case 'n':
        return Field(token, run == 1 ? TokenKind::kMinute : TokenKind::kMinute2, run < 2 ? run : 2, false);
      case 's':
        return Field(token, run == 1 ? TokenKind::kSecond : TokenKind::kSecond2, run < 2 ? run : 2, false);
      case 'z':
        return Field(token, run >= 3 ? TokenKind::kMillisecond3 : TokenKind::kMillisecond, run >= 3 ? 3 : 1, false);
      case 'a': {
        const std::string_view rest = pattern_.substr(position_);
        if (StartsWithIgnoringAsciiCase(rest, "am/pm")) return AmPm(token, TokenKind::kAmPmWord, 5);
        if (StartsWithIgnoringAsciiCase(rest, "a/p")) return AmPm(token, TokenKind::kAmPmLetter, 3);
        if (StartsWithIgnoringAsciiCase(rest, "ampm")) return AmPm(token, TokenKind::kAmPmLocale, 4);
        token = {TokenKind::kLiteral, pattern_.substr(position_, 1)};
        ++position_;
        return true;
      }
      case '/':
        token = {TokenKind::kDateSeparator, {}};
        ++position_;
        return true;
      case ':':
        token = {TokenKind::kTimeSeparator, {}};
        ++position_;
        return true;
      default: {
        std::size_t end = position_ + 1;
        while (end < pattern_.size() && !IsPatternSpecial(pattern_[end])) ++end;
        token = {TokenKind::kLiteral, pattern_.substr(position_, end - position_)};
        position_ = end;
        return true;
      }
    }
  }

 private:
  std::size_t RunLength(char letter) const {
    std::size_t end = position_;
    while (end < pattern_.size() && ToLowerAscii(pattern_[end]) == letter) ++end;
    return end - position_;
  }

  bool Field(Token& token, TokenKind kind, std::size_t length, bool isHour) {
    token = {kind, pattern_.substr(position_, length)};
    position_ += length;
    afterHour_ = isHour;
    return true;
  }

  bool AmPm(Token& token, TokenKind kind, std::size_t length) {
    token = {kind, pattern_.substr(position_, length)};
    position_ += length;
    return true;
  }

  std::string_view pattern_;
  std::size_t position_ = 0;
  bool afterHour_ = false;
};

bool IsAmPm(TokenKind kind) {
  return kind == TokenKind::kAmPmWord || kind == TokenKind::kAmPmLetter || kind == TokenKind::kAmPmLocale;
}

// A pattern split into its tokens, kept for later calls. Its fixed sizes keep it trivially
// destructible: a thread's copies stay usable until the thread ends, even from the destructor of a
// static object.
struct SplitPattern {
  static constexpr std::size_t kMaxPatternSize = 64;
  static constexpr std::size_t kMaxTokens = 32;
  std::array<char, kMaxPatternSize> pattern{};  // a copy of the pattern; the tokens' texts point into it
  std::size_t patternSize = 0;
  std::array<Token, kMaxTokens> tokens{};  // [0, tokenCount), left to right
  std::size_t tokenCount = 0;
  bool twelveHour = false;  // an am/pm token anywhere in the pattern makes its hours 12-hour hours
  bool used = false;

  std::string_view Pattern() const { return std::string_view(pattern.data(), patternSize); }
};

// The tokens of a pattern, left to right, as PatternReader gives them. A run of reads or writes mostly
// uses one or two patterns over and over (every start date of a file is in the short date format, a
// list load alternates it with the long time format), so the last two patterns split are kept, per
// thread so that no lock is needed, and a pattern met again is not split again. A pattern too long to
// keep is split into this object alone. At most one PatternTokens is in use per thread at a time (the
// one of the formatting or parsing call under way): making another may overwrite the kept split.
class PatternTokens {
 public:
  explicit PatternTokens(std::string_view pattern) {
    thread_local std::array<SplitPattern, 2> recent;  // constant-initialised, never destroyed
    thread_local std::size_t replace = 0;             // the entry to overwrite next, [0, recent.size())
    for (const SplitPattern& entry : recent) {
      if (entry.used && entry.Pattern() == pattern) {
        kept_ = &entry;
        return;
      }
    }
    if (pattern.size() <= SplitPattern::kMaxPatternSize) {
      SplitPattern& entry = recent[replace];
      replace = (replace + 1) % recent.size();
      std::copy(pattern.begin(), pattern.end(), entry.pattern.begin());
      entry.patternSize = pattern.size();
      entry.tokenCount = 0;
      entry.twelveHour = false;
      PatternReader reader(entry.Pattern());  // the copy: the tokens point into the entry
      Token token;
      bool fits = true;
      while (fits && reader.Next(token)) {
        fits = entry.tokenCount < SplitPattern::kMaxTokens;
        if (fits) entry.tokens[entry.tokenCount++] = token;
        entry.twelveHour = entry.twelveHour || IsAmPm(token.kind);
      }
      entry.used = fits;
      if (fits) {
        kept_ = &entry;
        return;
      }
    }
    PatternReader reader(pattern);  // the caller's pattern outlives this object
    Token token;
    while (reader.Next(token)) {
      own_.push_back(token);
      twelveHour_ = twelveHour_ || IsAmPm(token.kind);
    }
  }

  bool TwelveHour() const { return kept_ != nullptr ? kept_->twelveHour : twelveHour_; }
  std::span<const Token> Tokens() const {
    if (kept_ != nullptr) return std::span<const Token>(kept_->tokens.data(), kept_->tokenCount);
    return own_;
  }

 private:
  const SplitPattern* kept_ = nullptr;  // the kept split, or nothing: then own_ holds the tokens
  std::vector<Token> own_;
  bool twelveHour_ = false;  // of own_
};

// ---------------------------------------------------------------------------------------------
// Formatting

void AppendUnsigned(std::string& out, unsigned long long value, int minimumDigits) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  const int length = static_cast<int>(result.ptr - buffer);
  if (length < minimumDigits) out.append(static_cast<std::size_t>(minimumDigits - length), '0');
  out.append(buffer, result.ptr);
}

void AppendYear(std::string& out, int year, int digits) {
  // Only a date outside the program's range has a year below 1.
  if (year < 0) out.push_back('-');
  const unsigned magnitude = static_cast<unsigned>(year < 0 ? -year : year);
  AppendUnsigned(out, digits == 2 ? magnitude % 100 : magnitude, digits);
}

std::string FormatFields(std::string_view pattern, const CivilDateTime& value, const FormatSettings& settings) {
  PatternTokens tokens(pattern);
  const bool twelveHour = tokens.TwelveHour();
  const int year = static_cast<int>(value.date.year());
  const unsigned month = static_cast<unsigned>(value.date.month());                               // [1, 12]
  const unsigned day = static_cast<unsigned>(value.date.day());                                   // [1, 31]
  const unsigned weekday = std::chrono::weekday{std::chrono::sys_days{value.date}}.c_encoding();  // [0, 6]
  const unsigned hour = value.time.hour;                                                          // [0, 23]
  const unsigned shownHour = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
  const bool afternoon = hour >= 12;

  std::string out;
  out.reserve(pattern.size() + 24);
  for (const Token& token : tokens.Tokens()) {
    switch (token.kind) {
      case TokenKind::kLiteral:
        out.append(token.text);
        break;
      case TokenKind::kDateSeparator:
        out.append(settings.dateSeparator);
        break;
      case TokenKind::kTimeSeparator:
        out.append(settings.timeSeparator);
        break;
      case TokenKind::kDay:
      case TokenKind::kDay2:
        AppendUnsigned(out, day, token.kind == TokenKind::kDay2 ? 2 : 1);
        break;
      case TokenKind::kDayShortName:
        out.append(settings.shortDayNames[weekday]);
        break;
      case TokenKind::kDayLongName:
        out.append(settings.longDayNames[weekday]);
        break;
      case TokenKind::kMonth:
      case TokenKind::kMonth2:
        AppendUnsigned(out, month, token.kind == TokenKind::kMonth2 ? 2 : 1);
        break;
      case TokenKind::kMonthShortName:
        out.append(settings.shortMonthNames[month - 1]);
        break;
      case TokenKind::kMonthLongName:
        out.append(settings.longMonthNames[month - 1]);
        break;
      case TokenKind::kYear2:
        AppendYear(out, year, 2);
        break;
      case TokenKind::kYear4:
        AppendYear(out, year, 4);
        break;
      case TokenKind::kHour:
      case TokenKind::kHour2:
        AppendUnsigned(out, shownHour, token.kind == TokenKind::kHour2 ? 2 : 1);
        break;
      case TokenKind::kMinute:
      case TokenKind::kMinute2:
        AppendUnsigned(out, value.time.minute, token.kind == TokenKind::kMinute2 ? 2 : 1);
        break;
      case TokenKind::kSecond:
      case TokenKind::kSecond2:
        AppendUnsigned(out, value.time.second, token.kind == TokenKind::kSecond2 ? 2 : 1);
        break;
      case TokenKind::kMillisecond:
      case TokenKind::kMillisecond3:
        AppendUnsigned(out, value.time.millisecond, token.kind == TokenKind::kMillisecond3 ? 3 : 1);
        break;
      case TokenKind::kAmPmWord:  // "am/pm": characters 0-1 or 3-4, in the pattern's case
        out.append(token.text.substr(afternoon ? 3 : 0, 2));
        break;
      case TokenKind::kAmPmLetter:  // "a/p": character 0 or 2
        out.append(token.text.substr(afternoon ? 2 : 0, 1));
        break;
      case TokenKind::kAmPmLocale:
        out.append(afternoon ? settings.timePmString : settings.timeAmString);
        break;
    }
  }
  return out;
}

const CivilDateTime kZeroDate{std::chrono::year{1899} / std::chrono::December / 30, {}};

// ---------------------------------------------------------------------------------------------
// Parsing

class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return position_ >= text_.size(); }

  void SkipBlanks() {
    while (position_ < text_.size() && IsSpaceOrControl(text_[position_])) ++position_;
  }

  // Literal pattern text: a blank in it stands for any number of blanks (none included); everything
  // else must be there, letters without regard to case.
  bool MatchLiteral(std::string_view literal) {
    for (const char c : literal) {
      if (c == ' ') {
        SkipBlanks();
        continue;
      }
      if (position_ >= text_.size() || ToLowerAscii(text_[position_]) != ToLowerAscii(c)) return false;
      ++position_;
    }
    return true;
  }

  // One to maxDigits decimal digits; the count read goes to *digitCount.
  std::optional<int> ReadNumber(int maxDigits, int* digitCount = nullptr) {
    int value = 0;
    int count = 0;
    while (count < maxDigits && position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
      value = value * 10 + (text_[position_] - '0');
      ++position_;
      ++count;
    }
    if (count == 0) return std::nullopt;
    if (digitCount != nullptr) *digitCount = count;
    return value;
  }

  // The index of the longest non-empty name that the text continues with, from either list.
  template <std::size_t N>
  std::optional<std::size_t> MatchName(const std::array<std::string, N>& longNames,
                                       const std::array<std::string, N>& shortNames) {
    const std::string_view rest = text_.substr(position_);
    std::optional<std::size_t> best;
    std::size_t bestLength = 0;
    for (const auto* names : {&longNames, &shortNames}) {
      for (std::size_t i = 0; i < N; ++i) {
        const std::string& name = (*names)[i];
        if (name.size() > bestLength && StartsWithIgnoringAsciiCase(rest, name)) {
          best = i;
          bestLength = name.size();
        }
      }
    }
    position_ += bestLength;
    return best;
  }

  // Which of two texts follows (longest first; an empty text matches without reading). 0, 1 or nothing.
  std::optional<int> MatchEither(std::string_view first, std::string_view second) {
    const std::string_view rest = text_.substr(position_);
    const bool firstFits = StartsWithIgnoringAsciiCase(rest, first);
    const bool secondFits = StartsWithIgnoringAsciiCase(rest, second);
    if (firstFits && (!secondFits || first.size() >= second.size())) {
      position_ += first.size();
      return 0;
    }
    if (secondFits) {
      position_ += second.size();
      return 1;
    }
    return std::nullopt;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// Two-digit years take the window of POSIX strptime "%y": 69..99 are 1969..1999, 00..68 are 2000..2068.
int ExpandTwoDigitYear(int year) { return year >= 69 ? 1900 + year : 2000 + year; }

}  // namespace

std::string FormatDateTime(std::string_view pattern, DateTime value, const FormatSettings& settings) {
  return FormatFields(pattern, DecodeDateTime(value), settings);
}

std::optional<DateTime> ParseDateTime(std::string_view pattern, std::string_view text, const FormatSettings& settings) {
  while (!text.empty() && IsSpaceOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpaceOrControl(text.back())) text.remove_suffix(1);

  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool hasYear = false;
  bool hasMonth = false;
  bool hasDay = false;
  std::optional<std::size_t> dayName;
  std::optional<bool> afternoon;
  PatternTokens tokens(pattern);
  const bool twelveHour = tokens.TwelveHour();

  TextScanner scanner(text);
  for (const Token& token : tokens.Tokens()) {
    std::optional<int> number;
    switch (token.kind) {
      case TokenKind::kLiteral:
        if (!scanner.MatchLiteral(token.text)) return std::nullopt;
        continue;
      case TokenKind::kDateSeparator:
        if (!scanner.MatchLiteral(settings.dateSeparator)) return std::nullopt;
        continue;
      case TokenKind::kTimeSeparator:
        if (!scanner.MatchLiteral(settings.timeSeparator)) return std::nullopt;
        continue;
      case TokenKind::kDay:
      case TokenKind::kDay2:
        number = scanner.ReadNumber(2);
        if (!number) return std::nullopt;
        day = *number;
        hasDay = true;
        continue;
      case TokenKind::kDayShortName:
      case TokenKind::kDayLongName:
        dayName = scanner.MatchName(settings.longDayNames, settings.shortDayNames);
        if (!dayName) return std::nullopt;
        continue;
      case TokenKind::kMonth:
      case TokenKind::kMonth2:
        number = scanner.ReadNumber(2);
        if (!number) return std::nullopt;
        month = *number;
        hasMonth = true;
        continue;
      case TokenKind::kMonthShortName:
      case TokenKind::kMonthLongName: {
        const auto index = scanner.MatchName(settings.longMonthNames, settings.shortMonthNames);
        if (!index) return std::nullopt;
        month = static_cast<int>(*index) + 1;
        hasMonth = true;
        continue;
      }
      case TokenKind::kYear2:
      case TokenKind::kYear4: {
        int digits = 0;
        number = scanner.ReadNumber(4, &digits);
        if (!number) return std::nullopt;
        year = digits <= 2 ? ExpandTwoDigitYear(*number) : *number;
        hasYear = true;
        continue;
      }
      case TokenKind::kHour:
      case TokenKind::kHour2:
        number = scanner.ReadNumber(2);
        if (!number) return std::nullopt;
        hour = *number;
        continue;
      case TokenKind::kMinute:
      case TokenKind::kMinute2:
        number = scanner.ReadNumber(2);
        if (!number) return std::nullopt;
        minute = *number;
        continue;
      case TokenKind::kSecond:
      case TokenKind::kSecond2:
        number = scanner.ReadNumber(2);
        if (!number) return std::nullopt;
        second = *number;
        continue;
      case TokenKind::kMillisecond:
      case TokenKind::kMillisecond3:
        number = scanner.ReadNumber(3);
        if (!number) return std::nullopt;
        millisecond = *number;
        continue;
      case TokenKind::kAmPmWord:
      case TokenKind::kAmPmLetter:
      case TokenKind::kAmPmLocale: {
        std::optional<int> which;
        if (token.kind == TokenKind::kAmPmLocale) {
          which = scanner.MatchEither(settings.timeAmString, settings.timePmString);
        } else if (token.kind == TokenKind::kAmPmWord) {
          which = scanner.MatchEither(token.text.substr(0, 2), token.text.substr(3, 2));
        } else {
          which = scanner.MatchEither(token.text.substr(0, 1), token.text.substr(2, 1));
        }
        if (!which) return std::nullopt;
        afternoon = *which == 1;
        continue;
      }
    }
  }
  if (!scanner.AtEnd()) return std::nullopt;

  if (twelveHour) {
    if (hour > 12) return std::nullopt;
    if (afternoon.value_or(false)) {
      if (hour < 12) hour += 12;
    } else if (afternoon.has_value() && hour == 12) {
      hour = 0;
    }
  }
  const auto date = TryEncodeDate(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  const auto time = TryEncodeTime(static_cast<unsigned>(hour), static_cast<unsigned>(minute),
                                  static_cast<unsigned>(second), static_cast<unsigned>(millisecond));
  if (!date || !time) return std::nullopt;
  // A day name that contradicts a complete date makes the text wrong, not just decorated.
  if (dayName && hasYear && hasMonth && hasDay && static_cast<int>(*dayName) + 1 != DayOfWeek(*date)) {
    return std::nullopt;
  }
  return *date + *time;
}

std::string FormatShortDate(DateTime value, const FormatSettings& settings) {
  return FormatFields(settings.shortDateFormat, {DecodeDate(value), {}}, settings);
}

std::optional<DateTime> ParseShortDate(std::string_view text, const FormatSettings& settings) {
  return ParseDateTime(settings.shortDateFormat, text, settings);
}

std::string FormatLongTime(DateTime value, const FormatSettings& settings) {
  return FormatFields(settings.longTimeFormat, {kZeroDate.date, DecodeTime(value)}, settings);
}

std::optional<DateTime> ParseLongTime(std::string_view text, const FormatSettings& settings) {
  return ParseDateTime(settings.longTimeFormat, text, settings);
}

std::string DateTimeToText(DateTime value, const FormatSettings& settings) {
  std::string text = FormatShortDate(value, settings);
  const TimeOfDay time = DecodeTime(value);
  if (time.hour != 0 || time.minute != 0 || time.second != 0 || time.millisecond != 0) {
    text += ' ';
    text += FormatLongTime(value, settings);
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Numbers

namespace {

std::size_t CountCharacters(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

constexpr std::array<double, 16> kPowersOfTen{1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr std::array<std::uint64_t, 16> kIntegerPowersOfTen{1ULL,
                                                            10ULL,
                                                            100ULL,
                                                            1000ULL,
                                                            10000ULL,
                                                            100000ULL,
                                                            1000000ULL,
                                                            10000000ULL,
                                                            100000000ULL,
                                                            1000000000ULL,
                                                            10000000000ULL,
                                                            100000000000ULL,
                                                            1000000000000ULL,
                                                            10000000000000ULL,
                                                            100000000000000ULL,
                                                            1000000000000000ULL};

// "000" to "999": a whole thousands group per division.
struct ThreeDigits {
  char text[1000][3];
  constexpr ThreeDigits() : text() {
    for (int i = 0; i < 1000; ++i) {
      text[i][0] = static_cast<char>('0' + i / 100);
      text[i][1] = static_cast<char>('0' + i / 10 % 10);
      text[i][2] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr ThreeDigits kThreeDigits;

// The layout of one formatted number: [padding][-]integer groups[decimal separator][decimals].
struct NumberLayout {
  std::size_t integerDigits;
  std::size_t padding;
  std::size_t bytes;  // without the padding
};

NumberLayout Layout(bool negative, std::size_t integerDigits, int decimals, int width, const FormatSettings& settings) {
  const std::size_t groups = (integerDigits - 1) / 3;  // separators inside the integer part
  const std::size_t fraction = static_cast<std::size_t>(decimals);
  std::size_t bytes = (negative ? 1 : 0) + integerDigits + groups * settings.thousandSeparator.size();
  std::size_t shown = (negative ? 1 : 0) + integerDigits + groups * CountCharacters(settings.thousandSeparator);
  if (decimals > 0) {
    bytes += settings.decimalSeparator.size() + fraction;
    shown += CountCharacters(settings.decimalSeparator) + fraction;
  }
  const std::size_t padding = width > 0 && shown < static_cast<std::size_t>(width) ? width - shown : 0;
  return {integerDigits, padding, bytes};
}

char* Reserve(std::string& out, const NumberLayout& layout) {
  const std::size_t start = out.size();
  out.resize(start + layout.padding + layout.bytes);
  char* p = out.data() + start;
  std::memset(p, ' ', layout.padding);
  return p + layout.padding;
}

// The fast path: the rounded magnitude as an integer of 10^decimals units, below 2^51.
void AppendScaled(std::string& out, std::uint64_t rounded, bool negative, int decimals, int width,
                  const FormatSettings& settings) {
  // The two patterns of the program divide by constants (a multiplication); others pay for a division.
  std::uint64_t integer = rounded;
  std::uint64_t fraction = 0;
  if (decimals == 2) {
    integer = rounded / 100;
    fraction = rounded % 100;
  } else if (decimals > 0) {
    const std::uint64_t unit = kIntegerPowersOfTen[static_cast<std::size_t>(decimals)];
    integer = rounded / unit;
    fraction = rounded % unit;
  }
  std::size_t integerDigits = 1;
  while (integerDigits < kIntegerPowersOfTen.size() && integer >= kIntegerPowersOfTen[integerDigits]) {
    ++integerDigits;
  }
  const NumberLayout layout = Layout(negative, integerDigits, decimals, width, settings);
  char* const begin = Reserve(out, layout);
  char* p = begin + layout.bytes;  // written from the right
  if (decimals > 0) {
    for (int k = 0; k < decimals; ++k) {
      *--p = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    p -= settings.decimalSeparator.size();
    std::memcpy(p, settings.decimalSeparator.data(), settings.decimalSeparator.size());
  }
  const std::string& thousand = settings.thousandSeparator;
  while (integer >= 1000) {
    p -= 3;
    std::memcpy(p, kThreeDigits.text[integer % 1000], 3);
    integer /= 1000;
    p -= thousand.size();
    std::memcpy(p, thousand.data(), thousand.size());
  }
  const std::size_t leading = integer >= 100 ? 3 : (integer >= 10 ? 2 : 1);  // [1, 3] digits, no leading zero
  p -= leading;
  std::memcpy(p, kThreeDigits.text[integer] + (3 - leading), leading);
  if (negative) *--p = '-';
}

// The general path: the digits as text, integer digits then `decimals` digits.
void AppendDigitText(std::string& out, std::string_view digits, bool negative, int decimals, int width,
                     const FormatSettings& settings) {
  const std::size_t integerDigits = digits.size() - static_cast<std::size_t>(decimals);
  const NumberLayout layout = Layout(negative, integerDigits, decimals, width, settings);
  char* p = Reserve(out, layout);
  if (negative) *p++ = '-';
  for (std::size_t i = 0; i < integerDigits; ++i) {
    if (i > 0 && (integerDigits - i) % 3 == 0) {
      std::memcpy(p, settings.thousandSeparator.data(), settings.thousandSeparator.size());
      p += settings.thousandSeparator.size();
    }
    *p++ = digits[i];
  }
  if (decimals > 0) {
    std::memcpy(p, settings.decimalSeparator.data(), settings.decimalSeparator.size());
    p += settings.decimalSeparator.size();
    std::memcpy(p, digits.data() + integerDigits, static_cast<std::size_t>(decimals));
  }
}

}  // namespace

void AppendNumber(std::string& out, double value, int decimals, int width, const FormatSettings& settings) {
  if (decimals < 0) decimals = 0;
  if (decimals > 100) decimals = 100;
  if (!std::isfinite(value)) {
    const std::string_view special = std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    if (static_cast<int>(special.size()) < width) out.append(static_cast<std::size_t>(width) - special.size(), ' ');
    out.append(special);
    return;
  }
  const double magnitude = std::fabs(value);
  if (decimals < static_cast<int>(kPowersOfTen.size())) {
    const double scaled = magnitude * kPowersOfTen[static_cast<std::size_t>(decimals)];
    if (scaled < 0x1p51) {
      // A decimal such as 2.675 or 0.125 is stored a hair below or at its half; the scaled value then lies
      // a few units in the last place below .5. Four units in the last place absorb that, far less than any
      // difference that a shown digit could express, so halves round away from zero as written.
      // Below 2^51 adding 0.5 is exact, so the truncation is the rounding of the magnitude.
      const auto rounded = static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled + scaled * 0x1p-50 + 0.5));
      AppendScaled(out, rounded, std::signbit(value) && rounded != 0, decimals, width, settings);  // no "-0.00"
      return;
    }
  }
  // Beyond 2^51 (or with very many decimals) the binary value is its own exact decimal, correctly rounded.
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return;
  std::size_t length = 0;
  bool nonZero = false;
  for (const char* p = buffer; p != result.ptr; ++p) {
    if (*p == '.') continue;
    nonZero = nonZero || *p != '0';
    buffer[length++] = *p;
  }
  AppendDigitText(out, std::string_view(buffer, length), std::signbit(value) && nonZero, decimals, width, settings);
}

std::string FormatUnitValue(std::string_view pattern, double value, const FormatSettings& settings) {
  std::string out;
  out.reserve(pattern.size() + 16);
  bool used = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::size_t percent = pattern.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(pattern.substr(i));
      break;
    }
    out.append(pattern.substr(i, percent - i));
    if (percent + 1 < pattern.size() && pattern[percent + 1] == '%') {
      out.push_back('%');
      i = percent + 2;
      continue;
    }
    // %[width][.decimals]n
    std::size_t p = percent + 1;
    int width = 0;
    int decimals = 2;
    while (p < pattern.size() && pattern[p] >= '0' && pattern[p] <= '9' && width < 1000) {
      width = width * 10 + (pattern[p++] - '0');
    }
    if (p < pattern.size() && pattern[p] == '.') {
      ++p;
      decimals = 0;
      while (p < pattern.size() && pattern[p] >= '0' && pattern[p] <= '9' && decimals < 1000) {
        decimals = decimals * 10 + (pattern[p++] - '0');
      }
    }
    if (!used && p < pattern.size() && ToLowerAscii(pattern[p]) == 'n') {
      AppendNumber(out, value, decimals, width, settings);
      used = true;
      i = p + 1;
    } else {  // not a number placeholder (or a second one): kept as written
      out.push_back('%');
      i = percent + 1;
    }
  }
  return out;
}

}  // namespace almanex
