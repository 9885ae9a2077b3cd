#include "files/lyric_encodings.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "files/encoding.h"

namespace lirotag {

namespace {

using Kind = LyricEncoding::Kind;

constexpr LyricEncoding kAll[] = {
    {"GBK", "GB18030", "GBK（简体中文）", Kind::kChineseJapaneseKorean},
    {"Big5", "Big5", "Big5（繁体中文）", Kind::kChineseJapaneseKorean},
    {"Big5-HKSCS", "Big5-HKSCS", "Big5-HKSCS（繁体中文，香港）", Kind::kChineseJapaneseKorean},
    // Files called Shift_JIS are written by Windows, whose code page adds NEC's and IBM's
    // characters; EUC-KR files likewise are code page 949 (Unified Hangul Code).
    {"Shift_JIS", "windows-31j", "Shift_JIS（日文）", Kind::kChineseJapaneseKorean},
    {"EUC-JP", "EUC-JP", "EUC-JP（日文）", Kind::kChineseJapaneseKorean},
    {"ISO-2022-JP", "ISO-2022-JP", "ISO-2022-JP（日文）", Kind::kChineseJapaneseKorean},
    {"EUC-KR", "windows-949", "EUC-KR（韩文）", Kind::kChineseJapaneseKorean},
    {"UTF-8", "UTF-8", "UTF-8", Kind::kUnicode},
    {"UTF-16LE", "UTF-16LE", "UTF-16 LE", Kind::kUnicode},
    {"UTF-16BE", "UTF-16BE", "UTF-16 BE", Kind::kUnicode},
    {"windows-1252", "windows-1252", "windows-1252（西欧）", Kind::kEuropean},
    {"ISO-8859-1", "ISO-8859-1", "ISO-8859-1（西欧）", Kind::kEuropean},
    {"ISO-8859-15", "ISO-8859-15", "ISO-8859-15（西欧）", Kind::kEuropean},
    {"windows-1250", "windows-1250", "windows-1250（中欧）", Kind::kEuropean},
    {"ISO-8859-2", "ISO-8859-2", "ISO-8859-2（中欧）", Kind::kEuropean},
    {"windows-1251", "windows-1251", "windows-1251（西里尔文）", Kind::kEuropean},
    {"KOI8-R", "KOI8-R", "KOI8-R（俄文）", Kind::kEuropean},
    {"KOI8-U", "KOI8-U", "KOI8-U（乌克兰文）", Kind::kEuropean},
    {"ISO-8859-5", "ISO-8859-5", "ISO-8859-5（西里尔文）", Kind::kEuropean},
    {"windows-1253", "windows-1253", "windows-1253（希腊文）", Kind::kEuropean},
    {"ISO-8859-7", "ISO-8859-7", "ISO-8859-7（希腊文）", Kind::kEuropean},
    {"windows-1254", "windows-1254", "windows-1254（土耳其文）", Kind::kEuropean},
    {"ISO-8859-9", "ISO-8859-9", "ISO-8859-9（土耳其文）", Kind::kEuropean},
    {"windows-1257", "windows-1257", "windows-1257（波罗的海）", Kind::kEuropean},
    {"ISO-8859-13", "ISO-8859-13", "ISO-8859-13（波罗的海）", Kind::kEuropean},
};

// Below this, text has too few characters for any statistics: three lines and four
// double-byte characters (or eight accented letters) of non-ASCII text at least.
constexpr int kMinTextLines = 3;
constexpr size_t kMinTextBytes = 8;
// The detector reaches 100 for Big5, Shift_JIS, EUC-JP and EUC-KR lyrics of a few lines,
// and gives GB18030 no more than about 30 for them; for real GBK files it never gives
// another of them a lead of more than about 30 over GB18030.
constexpr int kMinCjkConfidence = 70;
constexpr int kMinCjkLeadOverGbk = 40;
// At most one character in twenty from the rarely used part of the table (see CountRare).
constexpr size_t kMaxRareShare = 20;
// Four letters at least: punctuation alone (curly quotes, full-width colons) reads as
// something in every one of these encodings.
constexpr size_t kMinLetters = 4;
// Its confidence for single-byte encodings stays low (30 to 80 for clear cases), so
// the bytes' structure must also speak against GBK (see below).
constexpr int kMinEuropeanConfidence = 30;

struct DetectorCloser {
  void operator()(UCharsetDetector* d) const { ucsdet_close(d); }
};

bool IsHigh(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

struct ByteCounts {
  int textLines = 0;        // lines holding a non-ASCII byte
  size_t highBytes = 0;     // non-ASCII bytes
  size_t isolatedHigh = 0;  // non-ASCII bytes between ASCII bytes
};

ByteCounts CountBytes(std::string_view bytes) {
  ByteCounts counts;
  bool lineCounted = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n' || c == '\r') lineCounted = false;
    if (!IsHigh(c)) continue;
    ++counts.highBytes;
    if (!lineCounted) ++counts.textLines;
    lineCounted = true;
    if ((i == 0 || !IsHigh(bytes[i - 1])) && (i + 1 == bytes.size() || !IsHigh(bytes[i + 1])))
      ++counts.isolatedHigh;
  }
  return counts;
}

struct Reading {
  size_t unusable = SIZE_MAX;  // characters lost or garbled (SIZE_MAX: no converter)
  size_t letters = 0;          // non-ASCII letters: ideographs, kana, Hangul, accented
};

Reading ReadAs(std::string_view bytes, const LyricEncoding& encoding) {
  Reading r;
  std::string text;
  size_t unusable = 0;
  if (!ConvertToUtf8(bytes, encoding.converter, &text, &unusable)) return r;
  r.unusable = unusable;
  const std::u16string units = Utf8ToUtf16(text);
  for (size_t i = 0; i < units.size();) {
    UChar32 c;
    U16_NEXT(units.data(), i, units.size(), c);
    if (c >= 0x80 && u_isalpha(c)) ++r.letters;
  }
  return r;
}

// How many of the double-byte characters of a text read in a Chinese, Japanese or
// Korean encoding fall in the part of its table that ordinary text hardly uses: Big5's
// "less frequently used" characters, the second level of JIS X 0208 (and JIS X 0212),
// the Hanja of KS X 1001. Bytes in another encoding, GBK above all, land there at random
// (a fifth to four fifths of them), while ordinary text in the encoding hardly ever
// does: those parts hold a few percent of everyday characters at most.
struct RareCount {
  size_t characters = 0, rare = 0;
};

RareCount CountRare(std::string_view bytes, std::string_view name) {
  RareCount n;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const auto trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    if (name == "Shift_JIS" && lead >= 0xA1 && lead <= 0xDF) {  // half-width katakana
      ++i;
      continue;
    }
    if (name == "EUC-JP" && lead == 0x8E) {  // half-width katakana
      i += 2;
      continue;
    }
    ++n.characters;
    if (name == "EUC-JP" && lead == 0x8F) {  // JIS X 0212
      ++n.rare;
      i += 3;
      continue;
    }
    if (name == "Big5") {
      n.rare += lead >= 0xC7;
    } else if (name == "EUC-KR") {
      n.rare += lead >= 0xC9;
    } else if (name == "EUC-JP") {
      n.rare += lead >= 0xD0;
    } else if (name == "Shift_JIS") {
      n.rare += (lead == 0x98 && trail >= 0x9F) || (lead >= 0x99 && lead <= 0x9F) || lead >= 0xE0;
    }
    i += 2;
  }
  return n;
}

// Squeezed for comparison: "Shift_JIS", "shift-jis" and "SHIFTJIS" are one name.
std::string Squeezed(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

// The converter ICU opens for `name`; empty when none.
std::string IcuName(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* conv = ucnv_open(name, &status);
  if (U_FAILURE(status)) return {};
  std::string out = ucnv_getName(conv, &status);
  ucnv_close(conv);
  return U_SUCCESS(status) ? out : std::string();
}

}  // namespace

const std::vector<LyricEncoding>& LyricEncodings() {
  static const std::vector<LyricEncoding> available = [] {
    std::vector<LyricEncoding> out;
    // GBK and Unicode are read by this program even without their converter.
    for (const LyricEncoding& e : kAll) {
      if (&e == &kAll[0] || e.kind == Kind::kUnicode || !IcuName(e.converter).empty())
        out.push_back(e);
    }
    return out;
  }();
  return available;
}

const LyricEncoding& GbkEncoding() {
  return LyricEncodings().front();
}

const LyricEncoding* FindLyricEncoding(std::string_view name) {
  const std::string key = Squeezed(name);
  if (key.empty()) return nullptr;
  for (const LyricEncoding& e : LyricEncodings()) {
    if (Squeezed(e.name) == key) return &e;
  }
  // Names ICU gives to narrower converters of their own, whose files these read whole.
  if (key == "gb2312" || key == "cp936") return &GbkEncoding();
  if (key == "cp949" || key == "uhc") return FindLyricEncoding("EUC-KR");
  // Windows' code page for Big5, which ICU names after its own narrower table.
  if (key == "cp950" || key == "windows950") return FindLyricEncoding("Big5");
  const std::string icu = IcuName(std::string(name).c_str());
  if (icu.empty()) return nullptr;
  for (const LyricEncoding& e : LyricEncodings()) {
    if (IcuName(e.converter) == icu) return &e;
  }
  return nullptr;
}

EncodingGuess GuessLegacyEncoding(std::string_view bytes) {
  const EncodingGuess gbk{&GbkEncoding(), 0};
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCharsetDetector, DetectorCloser> detector(ucsdet_open(&status));
  if (U_FAILURE(status) || bytes.size() > static_cast<size_t>(INT32_MAX)) return gbk;
  ucsdet_setText(detector.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  int32_t count = 0;
  const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &count, &status);
  if (U_FAILURE(status)) return gbk;

  // The detector's confidence in GB18030, and its first choice among the others of the
  // list (its answers come best first). Encodings outside the list are passed over.
  int gbkConfidence = 0;
  EncodingGuess other{nullptr, 0};
  for (int32_t i = 0; i < count; ++i) {
    UErrorCode s = U_ZERO_ERROR;
    const std::string_view name = ucsdet_getName(matches[i], &s);
    const int confidence = ucsdet_getConfidence(matches[i], &s);
    if (U_FAILURE(s)) continue;
    if (name == "GB18030") {
      gbkConfidence = std::max(gbkConfidence, confidence);
      continue;
    }
    if (other.encoding) continue;
    for (const LyricEncoding& e : LyricEncodings()) {
      if (e.name == name && e.kind != Kind::kUnicode) other = {&e, confidence};
    }
  }
  const EncodingGuess stay{&GbkEncoding(), gbkConfidence};

  const ByteCounts counts = CountBytes(bytes);
  if (!other.encoding || counts.textLines < kMinTextLines || counts.highBytes < kMinTextBytes)
    return stay;
  // The detector judges by frequent characters only; a text that the other encoding
  // cannot read without losses (allowing one non-ASCII byte in a hundred for a stray
  // bad byte), or reads as punctuation only, is not in it, however likely its
  // characters look.
  const Reading reading = ReadAs(bytes, *other.encoding);
  if (reading.unusable > counts.highBytes / 100 || reading.letters < kMinLetters) return stay;
  if (other.encoding->kind == Kind::kChineseJapaneseKorean) {
    // Japanese written in GBK shares its kana with EUC-JP byte for byte, and the
    // detector counts kana as Japanese: the rarely used characters decide.
    const RareCount rare = CountRare(bytes, other.encoding->name);
    const bool clear = other.confidence >= kMinCjkConfidence &&
                       other.confidence - gbkConfidence >= kMinCjkLeadOverGbk &&
                       rare.rare * kMaxRareShare <= rare.characters;
    return clear ? other : stay;
  }
  // A single-byte encoding: GBK text pairs its non-ASCII bytes, European text mostly
  // has them one by one between ASCII letters, or (in Cyrillic and Greek words) in runs
  // that GBK cannot read whole. A mostly English GBK text with a few Chinese words can
  // look European to the detector but passes neither test.
  if (other.confidence < kMinEuropeanConfidence || other.confidence <= gbkConfidence) return stay;
  const bool unlikeGbk =
      counts.isolatedHigh * 2 >= counts.highBytes || ReadAs(bytes, GbkEncoding()).unusable >= 2;
  return unlikeGbk ? other : stay;
}

}  // namespace lirotag
