#include "NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include "base/Ascii.h"
#include "base/DecimalText.h"

namespace almanex {

namespace {

std::size_t CountCharacters(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

/// The longest fixed text (digits and point) a number is written with; a longer one writes nothing.
constexpr std::size_t kMaxFixedText = 512;

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
  const std::string digits = FixedDigits(magnitude, decimals);
  if (digits.size() + (decimals > 0 ? 1 : 0) > kMaxFixedText) return;
  const bool nonZero = digits.find_first_not_of('0') != std::string::npos;
  AppendDigitText(out, digits, std::signbit(value) && nonZero, decimals, width, settings);
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
