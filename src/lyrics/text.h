#pragma once

// Numbers read from and written as text, the same way everywhere (time tags, settings).

#include <string>
#include <string_view>

namespace lirotag {

// Full-width forms U+FF01..U+FF5E become their ASCII counterparts 0x21..0x7E and the
// ideographic space U+3000 becomes a space; everything else is kept.
std::string FullWidthToAscii(std::string_view text);

// The leading decimal number of the text: full-width characters count as ASCII, leading
// white space is skipped, then an optional sign, digits with an optional decimal point,
// and an optional exponent (e or E, optional sign, at least one digit). Reading stops at
// the first character that does not fit; a text without such a number gives 0. "inf",
// "nan" and hexadecimal are not numbers here. Independent of the C locale. A value too
// large for a double gives ±infinity, one too small ±0, like strtod; never NaN.
double TextToNumber(std::string_view text);

// Plain decimal, '-' for negatives, no leading zeros.
std::string IntToText(long long value);

}  // namespace lirotag
