#pragma once
// The number patterns "%2.0n" and "%2.2n" of the unit texts: rounded, grouped with the user's separators,
// padded. Written with std::to_chars and our own grouping, never with a C locale.

#include <string>
#include <string_view>

#include "FormatSettings.h"

namespace almanex {

/// Formats the one number placeholder "%2.0n" or "%2.2n" inside pattern (words may stand around it):
/// rounded to 0 or 2 decimals, halves away from zero, thousands grouped, padded left with blanks to
/// at least two characters.
/// "%%" writes one "%"; anything else after a "%" is kept as written.
std::string FormatUnitValue(std::string_view pattern, double value, const FormatSettings& settings);

/// Appends value rounded to `decimals` places (0..100), halves away from zero, the integer part grouped
/// with settings.thousandSeparator, settings.decimalSeparator before the decimals, padded on the left
/// with blanks to `width` characters (UTF-8 characters, not bytes). No "-" when the rounded value is 0.
/// The rounding forgives the last few binary units, so decimals written as 2.675 or 0.125 round up.
void AppendNumber(std::string& out, double value, int decimals, int width, const FormatSettings& settings);

}  // namespace almanex
