#pragma once

// Lyric files as bytes on disk and as the program's text.

#include <string>
#include <string_view>

namespace lirotag {

// The text of a lyric file: a UTF-8 byte-order mark means UTF-8, FF FE and FE FF mean
// UTF-16 (little- and big-endian), anything else is legacy text (UTF-8 when valid,
// otherwise GBK). UTF-16 is converted as a whole, so surrogate pairs stay one character;
// byte-order marks and zero units inside it are dropped, and so are NUL bytes in
// 8-bit text, whose lines go on after them. Invalid sequences become U+FFFD; the line
// breaks are left as they are.
std::string DecodeLyricBytes(std::string_view bytes);

}  // namespace lirotag
