#include "files/lyric_file.h"

#include <algorithm>

#include "files/encoding.h"

namespace lirotag {

std::string DecodeLyricBytes(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToText(bytes);
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
  return LegacyToUtf8(bytes.substr(0, bytes.find('\0')));
}

}  // namespace lirotag
