#pragma once
// Decimal texts of doubles, and rounding to whole numbers, without the C math library.
//
// std::to_chars for floating point and std::llround would make almanex-cli load libm at every start
// (to_chars calls its rounding-mode functions), for a few numbers that some commands print. The C
// library's printf converts exactly, so these build on it; its decimal point, which follows LC_NUMERIC,
// is never part of what they return.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace almanex {

/// The digits of `magnitude` (finite, >= 0) rounded to `decimals` places (>= 0), without a decimal point:
/// "1234" for 12.3449 with 2 decimals. The rounding is the exact one of std::to_chars in fixed format
/// (the binary value rounded, a tie to even).
std::string FixedDigits(double magnitude, int decimals);

/// The shortest text that reads back as `value` (finite), as std::to_chars(first, last, value) writes it:
/// "0.1", "742593600", "1e+20", "-2.5e-07"; fixed notation unless scientific is shorter, a whole number
/// in fixed notation with its exact digits ("1234567890123456768").
std::string ShortestText(double value);

/// `value` rounded to the nearest whole number, halves away from zero, as std::llround; the smallest
/// std::int64_t when it is not finite or out of range (as llround gives on x86-64).
inline std::int64_t RoundToInteger(double value) {
  if (!(std::fabs(value) < 0x1p63)) return std::numeric_limits<std::int64_t>::min();
  const auto whole = static_cast<std::int64_t>(value);     // toward zero
  const double rest = value - static_cast<double>(whole);  // exact: both lie within one binade of the other
  if (rest >= 0.5) return whole + 1;
  if (rest <= -0.5) return whole - 1;
  return whole;
}

}  // namespace almanex
