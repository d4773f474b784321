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

// ---------------------------------------------------------------------------------------------
// Dates and times typed by hand

void SkipBlanks(std::string_view text, std::size_t& position) {
  while (position < text.size() && IsSpaceOrControl(text[position])) ++position;
}

// Up to maxDigits decimal digits at position; nothing when there is no digit or more than maxDigits follow.
std::optional<int> ReadDigits(std::string_view text, std::size_t& position, int maxDigits, int* digitCount = nullptr) {
  int value = 0;
  int count = 0;
  while (position < text.size() && IsAsciiDigit(text[position])) {
    if (++count > maxDigits) return std::nullopt;
    value = value * 10 + (text[position++] - '0');
  }
  if (count == 0) return std::nullopt;
  if (digitCount != nullptr) *digitCount = count;
  return value;
}

// Takes the longest of the texts that the text continues with at position (letters without regard to case).
template <typename Texts>
bool SkipLongestOf(std::string_view text, std::size_t& position, const Texts& candidates) {
  std::size_t longest = 0;
  for (const std::string_view candidate : candidates) {
    if (candidate.size() > longest && StartsWithIgnoringAsciiCase(text.substr(position), candidate)) {
      longest = candidate.size();
    }
  }
  position += longest;
  return longest > 0;
}

// A year typed with two digits, in the 100 years [currentYear - 50, currentYear + 49].
int ExpandTwoDigitYearAround(int twoDigits, int currentYear) {
  const int first = currentYear - 50;
  const int offset = ((twoDigits - first) % 100 + 100) % 100;  // [0, 99]
  return first + offset;
}

enum class DateField { kDay, kMonth, kYear };

// The numbers of a short date as typed: two or three, separated. Order is the pattern's order of day,
// month and year; nothing when the pattern does not hold each of them once.
std::optional<DateTime> ReadTypedDate(std::string_view text, std::span<const Token> tokens,
                                      const FormatSettings& settings, int currentYear) {
  std::array<DateField, 3> order{};
  std::size_t fields = 0;
  // The longest separator at position: the locale's, or a literal of the pattern that holds no word
  // (blanks around it do not count). Other punctuation is refused: "6/5/2003" under a "dd.MM.yyyy"
  // locale is a date of another locale, which must fall back to the reader's default, not read as 6 May.
  const auto skipSeparator = [&](std::size_t& position) {
    std::size_t longest = 0;
    const auto consider = [&](std::string_view separator) {
      separator = TrimSpaceOrControl(separator);
      if (separator.size() <= longest || !StartsWithIgnoringAsciiCase(text.substr(position), separator)) return;
      for (const char c : separator) {
        if (IsAsciiDigit(c) || IsAsciiLetter(c)) return;
      }
      longest = separator.size();
    };
    consider(settings.dateSeparator);
    for (const Token& token : tokens) {
      if (token.kind == TokenKind::kLiteral) consider(token.text);
    }
    position += longest;
  };
  for (const Token& token : tokens) {
    std::optional<DateField> field;
    switch (token.kind) {
      case TokenKind::kDay:
      case TokenKind::kDay2:
        field = DateField::kDay;
        break;
      case TokenKind::kMonth:
      case TokenKind::kMonth2:
      case TokenKind::kMonthShortName:
      case TokenKind::kMonthLongName:
        field = DateField::kMonth;
        break;
      case TokenKind::kYear2:
      case TokenKind::kYear4:
        field = DateField::kYear;
        break;
      default:
        break;
    }
    if (!field) continue;
    if (fields == order.size() || std::find(order.begin(), order.begin() + fields, *field) != order.begin() + fields) {
      return std::nullopt;
    }
    order[fields++] = *field;
  }
  if (fields != order.size()) return std::nullopt;

  std::array<int, 3> numbers{};
  std::array<int, 3> digits{};
  std::size_t count = 0;
  std::size_t position = 0;
  while (true) {
    const auto number = ReadDigits(text, position, 4, &digits[count]);
    if (!number) return std::nullopt;
    numbers[count++] = *number;
    const std::size_t before = position;
    SkipBlanks(text, position);
    skipSeparator(position);
    SkipBlanks(text, position);
    if (position == text.size()) break;  // a separator may end the date ("24.12.")
    if (position == before || count == numbers.size()) return std::nullopt;
  }
  if (count < 2) return std::nullopt;

  // Without a year the two numbers are the day and the month, in the pattern's order.
  int day = 0;
  int month = 0;
  int year = currentYear;
  std::size_t next = 0;
  for (const DateField field : order) {
    if (field == DateField::kYear && count == 2) continue;
    const int number = numbers[next];
    const int digitCount = digits[next];
    ++next;
    if (field == DateField::kYear) {
      year = digitCount <= 2 ? ExpandTwoDigitYearAround(number, currentYear) : number;
    } else if (digitCount > 2) {
      return std::nullopt;
    } else if (field == DateField::kDay) {
      day = number;
    } else {
      month = number;
    }
  }
  return TryEncodeDate(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
}

// The AM or PM text at position: 0 for AM, 1 for PM, nothing when neither follows.
std::optional<int> ReadAmPm(std::string_view text, std::size_t& position, const FormatSettings& settings) {
  const std::string_view am[] = {settings.timeAmString, "AM"};
  const std::string_view pm[] = {settings.timePmString, "PM"};
  std::size_t amEnd = position;
  std::size_t pmEnd = position;
  const bool isAm = SkipLongestOf(text, amEnd, am);
  const bool isPm = SkipLongestOf(text, pmEnd, pm);
  if (!isAm && !isPm) return std::nullopt;
  const bool pmWins = isPm && (!isAm || pmEnd > amEnd);
  position = pmWins ? pmEnd : amEnd;
  return pmWins ? 1 : 0;
}

// A time of day as typed: [AM/PM] hour[:minute[:second[.millisecond]]] [AM/PM].
std::optional<DateTime> ReadTypedTime(std::string_view text, const FormatSettings& settings) {
  const std::string_view separators[] = {settings.timeSeparator, ":"};
  const std::string_view millisecondSeparators[] = {".", settings.decimalSeparator};
  std::size_t position = 0;
  std::optional<int> afternoon = ReadAmPm(text, position, settings);
  SkipBlanks(text, position);
  const auto hour = ReadDigits(text, position, 2);
  if (!hour) return std::nullopt;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool hasMinute = false;
  if (SkipLongestOf(text, position, separators)) {
    const auto readMinute = ReadDigits(text, position, 2);
    if (!readMinute) return std::nullopt;
    minute = *readMinute;
    hasMinute = true;
    if (SkipLongestOf(text, position, separators)) {
      const auto readSecond = ReadDigits(text, position, 2);
      if (!readSecond) return std::nullopt;
      second = *readSecond;
      if (SkipLongestOf(text, position, millisecondSeparators)) {
        int digitCount = 0;
        const auto readMillisecond = ReadDigits(text, position, 3, &digitCount);
        if (!readMillisecond) return std::nullopt;
        millisecond = *readMillisecond * (digitCount == 1 ? 100 : digitCount == 2 ? 10 : 1);
      }
    }
  }
  SkipBlanks(text, position);
  if (!afternoon) afternoon = ReadAmPm(text, position, settings);
  if (position != text.size()) return std::nullopt;
  int clockHour = *hour;
  if (afternoon) {
    if (clockHour > 12) return std::nullopt;
    clockHour = clockHour % 12 + (*afternoon == 1 ? 12 : 0);  // 12 AM is 00, 12 PM is 12
  } else if (!hasMinute) {
    return std::nullopt;  // a lone number is no time
  }
  return TryEncodeTime(static_cast<unsigned>(clockHour), static_cast<unsigned>(minute), static_cast<unsigned>(second),
                       static_cast<unsigned>(millisecond));
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, DateTime value, const FormatSettings& settings) {
  return FormatFields(pattern, DecodeDateTime(value), settings);
}

std::optional<DateTime> ParseDateTime(std::string_view pattern, std::string_view text, const FormatSettings& settings) {
  text = TrimSpaceOrControl(text);

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

std::optional<DateTime> ParseShortDate(std::string_view text, const FormatSettings& settings,
                                       std::chrono::year currentYear) {
  {
    const PatternTokens tokens(settings.shortDateFormat);  // done with before ParseDateTime splits its own
    const auto typed =
        ReadTypedDate(TrimSpaceOrControl(text), tokens.Tokens(), settings, static_cast<int>(currentYear));
    if (typed) return typed;
  }
  // A short date format may hold time fields too ("d/m/yyyy a/p"); the reader gives the date alone.
  const std::optional<DateTime> read = ParseDateTime(settings.shortDateFormat, text, settings);
  if (!read) return std::nullopt;
  return DateOf(*read);
}

std::string FormatLongTime(DateTime value, const FormatSettings& settings) {
  return FormatFields(settings.longTimeFormat, {kZeroDate.date, DecodeTime(value)}, settings);
}

std::optional<DateTime> ParseLongTime(std::string_view text, const FormatSettings& settings) {
  if (const auto typed = ReadTypedTime(TrimSpaceOrControl(text), settings)) return typed;
  // Likewise a long time format may hold date fields; the reader gives the time of day alone.
  const std::optional<DateTime> read = ParseDateTime(settings.longTimeFormat, text, settings);
  if (!read) return std::nullopt;
  const TimeOfDay time = DecodeTime(*read);  // encoded afresh: subtracting the date would lose precision
  return EncodeTime(time.hour, time.minute, time.second, time.millisecond);
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

}  // namespace almanex
