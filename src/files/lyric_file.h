#pragma once

// Lyric files as bytes on disk and as the program's text, and where they are saved.

#include <string>
#include <string_view>

#include "files/lyric_encodings.h"

namespace lirotag {

// The encoding of a lyric file: a UTF-8 byte-order mark means UTF-8, FF FE and FE FF
// mean UTF-16 (little- and big-endian), and so does a zero in every other byte of ASCII
// text; anything else is legacy text: UTF-8 when valid (NUL bytes aside), cut off in its
// last character or valid apart from a few bad bytes, otherwise as GuessLegacyEncoding
// says, GBK unless clearly not. The confidence is 100 for the first rules; for UTF-8 with
// bad bytes, the share of its non-ASCII bytes that are valid.
EncodingGuess DetectLyricEncoding(std::string_view bytes);

// The text of a lyric file in the encoding detected. UTF-16 is converted as a whole, so
// surrogate pairs stay one character; byte-order marks and zero units inside it are
// dropped, and so are NUL bytes in 8-bit text, whose lines go on after them. Invalid
// sequences become U+FFFD; the line breaks are left as they are; every byte-order mark
// at the start goes, however many there are.
std::string DecodeLyricBytes(std::string_view bytes);
// The same in the encoding the user chose: leading byte-order marks of that encoding are
// dropped, every other byte is read in it.
std::string DecodeLyricBytesAs(std::string_view bytes, const LyricEncoding& encoding);

// Every line break CR LF: LF, CR LF and CR CR LF are one break each, and every other CR
// is a break of its own.
std::string CrLfLineBreaks(std::string_view text);

// The text as the lyric box holds it: decoded (in `chosen` when given), with line
// breaks as CrLfLineBreaks makes them; Unicode's line and paragraph separators are line
// breaks too.
std::string LyricTextFromBytes(std::string_view bytes, const LyricEncoding* chosen = nullptr);

// The bytes of a saved lyric file: encoding 0 is GBK (as GB18030, so that a character
// GBK lacks is kept, not replaced), 2 is UTF-8 after EF BB BF, and 1 and every other
// value UTF-16 little-endian after FF FE.
std::string EncodeLyricText(std::string_view text, int encoding);

// Parts of a song's path; both "\" and "/" separate folders.
enum class PathPart {
  kName = 1,       // the file name without its extension (the whole name without a ".")
  kFullName = 2,   // the file name with its extension
  kExtension = 3,  // after the file name's last "." (empty without one)
  kFolder = 4,     // before the last separator (empty without one)
};
std::string SplitPath(std::string_view path, PathPart part);

struct SavePathTags {
  std::string Title, Artist, Album;
};

// The save-path pattern with its placeholders replaced, in this order and without
// regard to case: %LocalDir%, %FileName%, %FullName%, %Ext%, %Title%, %Artist%,
// %Album%. A tag value cannot leave the song's folder: its separators (and, on Windows,
// the characters no file name may hold) become "_", and so does a value made of dots
// only. Outside Windows the pattern's own "\" separate folders as "/" does.
std::string ExpandSavePath(std::string_view pattern, std::string_view songPath,
                           const SavePathTags& tags);

}  // namespace lirotag
