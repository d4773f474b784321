#include "base/DecimalText.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace almanex {
namespace {

/// The digits printf writes for format and value, without sign, decimal point or exponent; the exponent
/// of an "%e" conversion in *exponent.
std::string PrintedDigits(const char* format, int precision, double value, int* exponent = nullptr) {
  const int length = std::snprintf(nullptr, 0, format, precision, value);
  if (length < 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, precision, value);
  text.resize(static_cast<std::size_t>(length));
  std::string digits;
  digits.reserve(text.size());
  std::size_t i = 0;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] >= '0' && text[i] <= '9') digits += text[i];
  }
  if (exponent != nullptr && i < text.size()) *exponent = std::atoi(text.c_str() + i + 1);
  return digits;
}

/// The double that digits (d.ddd) times ten to exponent reads as, in the C locale.
double ReadBack(std::string_view digits, int exponent) {
  static const locale_t cLocale = ::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  std::string text(digits.substr(0, 1));
  if (digits.size() > 1) text.append(".").append(digits.substr(1));
  text += 'e' + std::to_string(exponent);
  return ::strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace

std::string FixedDigits(double magnitude, int decimals) { return PrintedDigits("%.*f", decimals, magnitude); }

std::string ShortestText(double value) {
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return negative ? "-0" : "0";
  // The fewest significant digits that read back as the value: reading back is monotonic in the count
  // (the correctly rounded value of more digits is at least as near), so a binary search finds it.
  int low = 1;
  int high = 17;  // 17 significant digits always read back
  while (low < high) {
    const int middle = (low + high) / 2;
    int tried = 0;
    const std::string attempt = PrintedDigits("%.*e", middle - 1, magnitude, &tried);
    if (ReadBack(attempt, tried) == magnitude) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  int exponent = 0;
  std::string digits = PrintedDigits("%.*e", low - 1, magnitude, &exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();  // "1.0e+20" is "1e+20"

  const int count = static_cast<int>(digits.size());
  std::string fixed;
  if (exponent >= 0 && count <= exponent + 1) {
    fixed = PrintedDigits("%.*f", 0, magnitude);  // a whole number is written with its exact digits
  } else if (exponent >= 0) {
    fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1));
    fixed.append(".").append(digits.substr(static_cast<std::size_t>(exponent + 1)));
  } else {
    fixed = "0.";
    fixed.append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
  }
  std::string scientific = digits.substr(0, 1);
  if (count > 1) scientific.append(".").append(digits.substr(1));
  const int size = exponent < 0 ? -exponent : exponent;
  scientific += exponent < 0 ? "e-" : "e+";
  if (size < 10) scientific += '0';
  scientific += std::to_string(size);

  std::string text = negative ? "-" : "";
  return text + (scientific.size() < fixed.size() ? scientific : fixed);
}

}  // namespace almanex
