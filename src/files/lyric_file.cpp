#include "files/lyric_file.h"

#include <algorithm>

#include "files/encoding.h"

namespace lirotag {

namespace {

// A stray NUL in a text file is no end of the text: what follows it is the user's too.
std::string WithoutNuls(std::string_view bytes) {
  std::string out(bytes);
  out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());
  return out;
}

}  // namespace

std::string DecodeLyricBytes(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToText(WithoutNuls(bytes));
  const bool little = bytes.substr(0, 2) == "\xFF\xFE";
  if (little || bytes.substr(0, 2) == "\xFE\xFF") {
    // An odd last byte is no character: it is dropped, not shown as U+FFFD.
    std::string_view units = bytes.substr(2);
    units = units.substr(0, units.size() & ~size_t{1});
    std::u16string text = Utf16FromBytes(units, !little);
    text.erase(
        std::remove_if(text.begin(), text.end(), [](char16_t u) { return u == 0xFEFF || u == 0; }),
        text.end());
    return Utf16ToUtf8(text);
  }
  return LegacyToUtf8(WithoutNuls(bytes));
}

}  // namespace lirotag
