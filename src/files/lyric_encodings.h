#pragma once

// The encodings a lyric file may be in, and the guess which one a file without
// byte-order mark uses when it is not UTF-8.

#include <string_view>
#include <vector>

namespace lirotag {

struct LyricEncoding {
  enum class Kind { kChineseJapaneseKorean, kUnicode, kEuropean };
  const char* name;       // as users and scripts name it, and as the detector reports it
  const char* converter;  // ICU's converter for it
  const char* menuText;   // as the encodings menu shows it
  Kind kind;
};

// Chinese, Japanese and Korean first (GBK leading), then Unicode, then European
// encodings; only those this ICU can convert.
const std::vector<LyricEncoding>& LyricEncodings();

// By name, without regard to case, spaces, "-" and "_" ("utf-16 le", "shift-jis"), or by
// any other name ICU has for the same converter ("cp932", "sjis"); null when none.
const LyricEncoding* FindLyricEncoding(std::string_view name);
const LyricEncoding& GbkEncoding();

struct EncodingGuess {
  const LyricEncoding* encoding;
  int confidence;  // 0 to 100
};

// For 8-bit text that is not valid UTF-8: GBK unless ICU's charset detector makes a clear
// case for another encoding of the list; text too short to judge stays GBK. The
// confidence is the detector's for the answer (for GBK: for GB18030).
EncodingGuess GuessLegacyEncoding(std::string_view bytes);

}  // namespace lirotag
