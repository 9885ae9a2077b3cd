#include "lyrics/text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace lirotag {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal exponent of the leading significant digit of `digits` (a span of the form
// "ddd.ddd" without sign or exponent), shifted by `exponent`. Only used to tell an
// overflow from an underflow.
long long LeadingExponent(std::string_view digits, long long exponent) {
  const size_t point = digits.find('.');
  const size_t int_len = point == std::string_view::npos ? digits.size() : point;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (digits[i] == '.' || digits[i] == '0') continue;
    const long long place = i < int_len ? static_cast<long long>(int_len - i - 1)
                                        : -static_cast<long long>(i - int_len);
    return place + exponent;
  }
  return std::numeric_limits<long long>::min() / 2;  // all zeros
}

}  // namespace

std::string FullWidthToAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (i + 2 < text.size() && (b0 == 0xEF || b0 == 0xE3)) {
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      if (b0 == 0xEF && b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) {  // U+FF01..U+FF3F
        out.push_back(static_cast<char>(b2 - 0x81 + 0x21));
        i += 2;
        continue;
      }
      if (b0 == 0xEF && b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) {  // U+FF40..U+FF5E
        out.push_back(static_cast<char>(b2 - 0x80 + 0x60));
        i += 2;
        continue;
      }
      if (b0 == 0xE3 && b1 == 0x80 && b2 == 0x80) {  // U+3000
        out.push_back(' ');
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

double TextToNumber(std::string_view text) {
  const std::string s = FullWidthToAscii(text);
  const size_t n = s.size();
  size_t i = 0;
  while (i < n && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  // Only the span checked here reaches from_chars, which is why "inf", "nan", hex and a
  // leading '+' can never slip through.
  const size_t start = i;
  size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    size_t j = i + 1;
    while (j < n && IsDigit(s[j])) ++j, ++digits;
    if (digits > 0) i = j;
  }
  if (digits == 0) return 0.0;
  const size_t mantissa_end = i;
  long long exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    bool exp_negative = false;
    if (j < n && (s[j] == '+' || s[j] == '-')) exp_negative = s[j++] == '-';
    if (j < n && IsDigit(s[j])) {
      while (j < n && IsDigit(s[j])) {
        if (exponent < 1000000000) exponent = exponent * 10 + (s[j] - '0');
        ++j;
      }
      if (exp_negative) exponent = -exponent;
      i = j;
    }
  }
  double value = 0.0;
  const auto [end, ec] =
      std::from_chars(s.data() + start, s.data() + i, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    const std::string_view mantissa(s.data() + start, mantissa_end - start);
    value = LeadingExponent(mantissa, exponent) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    value = 0.0;  // cannot happen for a span checked as above
  }
  return negative ? -value : value;
}

std::string IntToText(long long value) {
  char buf[24];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, ec == std::errc() ? end : buf);
}

}  // namespace lirotag
