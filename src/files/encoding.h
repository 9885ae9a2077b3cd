#pragma once

// Conversions between the program's text (UTF-8 in std::string) and the encodings files
// use. None of them fails: bytes that do not form a character become U+FFFD, and the
// text after them is kept.

#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

// UTF-8 → UTF-16. Each invalid sequence (overlong, surrogate, beyond U+10FFFF, truncated,
// stray continuation byte) gives one U+FFFD per maximal bad subpart.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 → UTF-8, the whole run at once: a surrogate pair is one character, a lone
// surrogate gives U+FFFD. Every unit, U+FEFF included, is converted.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Raw UTF-16 bytes → units. An odd trailing byte gives U+FFFD. No byte-order mark is
// removed; that is the caller's business.
std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian);
std::string Utf16ToBytes(std::u16string_view utf16, bool bigEndian);

// GBK (read as GB18030, which agrees with GBK on every GBK character) → UTF-8.
// Invalid or truncated sequences give U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// UTF-8 → GB18030, which can carry every character. Invalid UTF-8 is repaired first.
std::string Utf8ToGbk(std::string_view utf8);

// Bytes in the encoding ICU calls `converter` → UTF-8. Each sequence invalid or
// unassigned in it becomes U+FFFD. `*unusable`, when given, counts those and also the
// characters no lyric holds (C1 controls, private use), which some tables hand out for
// bytes they do not really define: a count above zero says the bytes are probably not in
// this encoding. False, and nothing written, when ICU has no such converter.
bool ConvertToUtf8(std::string_view bytes, const char* converter, std::string* out,
                   size_t* unusable = nullptr);

bool IsValidUtf8(std::string_view bytes);

// How bytes read as UTF-8: the evidence for and against it.
struct Utf8Census {
  size_t multiByte = 0;       // valid characters of two to four bytes
  size_t multiByteBytes = 0;  // their bytes
  size_t badBytes = 0;        // bytes of invalid sequences (each maximal bad subpart)
  size_t badSequences = 0;
  // The only bad sequence is a character cut off by the end of the bytes.
  bool cutAtEnd = false;
};
Utf8Census CountUtf8(std::string_view bytes);
// Replaces each invalid sequence by U+FFFD, keeps everything else.
std::string RepairUtf8(std::string_view bytes);

// The characters of UTF-8 text that GBK proper cannot hold (GB18030 writes them as
// four-byte sequences, which strict GBK readers reject), each once, in the order met.
std::vector<std::string> CharactersGbkLacks(std::string_view utf8);

// Text without byte-order mark of unknown origin: valid UTF-8 is taken as it is,
// anything else is read as GBK.
std::string LegacyToUtf8(std::string_view bytes);

// Text handed over as UTF-8 by some outside source: a leading byte-order mark goes, the
// text ends at its first NUL, and invalid sequences become U+FFFD.
std::string Utf8ToText(std::string_view bytes);

}  // namespace lirotag
