#pragma once

// Tag text whose encoding the format does not say (ID3v1, ID3v2 encoding 0) or says
// wrongly (UTF-8 fields old writers filled with the system's GBK). Such short fields are
// too small for a statistical detector, so the readings that writers really produce are
// weighed against each other: UTF-8, GBK (read as GB18030) and Windows-1252.

#include <string>
#include <string_view>

namespace lirotag {

// Bytes of unknown single- or double-byte encoding, up to the first NUL, as UTF-8.
// - Valid UTF-8 is UTF-8, unless it is nothing but two-byte sequences that are also
//   common GBK characters and none of them is a Latin letter beside an ASCII one: then it
//   is Chinese whose GBK bytes happen to form Cyrillic, IPA or Hebrew letters (笑 D0 A6 is
//   "Ц" as UTF-8).
// - Otherwise GBK and Windows-1252 are scored and the likelier wins (GBK on a tie): GBK
//   pairs in the common GB2312 rows and runs of several high bytes speak for GBK; a single
//   accented letter or typographic quote between ASCII letters ("Céline", "Don’t") and
//   GBK pairs whose second byte is an ASCII letter speak for Windows-1252.
// `mayBeCut` says the field filled its fixed size with no NUL (ID3v1): a lone GBK lead
// byte, or an unfinished UTF-8 sequence after UTF-8 text, at its end is then part of a
// character the writer cut off, and is dropped. Nothing but that part is lost: bytes no
// reading defines keep their ISO-8859-1 value.
std::string LegacyTagText(std::string_view bytes, bool mayBeCut = false);

// Text that should be UTF-8 (APE, Vorbis comments, MP4, ID3v2 encoding 3): a leading
// byte-order mark goes and the text ends at the first NUL. Valid UTF-8 is taken as it
// is; bytes that are not UTF-8 (old writers stored the system's code page) follow
// LegacyTagText.
std::string Utf8TagText(std::string_view bytes);

}  // namespace lirotag
