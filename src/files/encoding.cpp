#include "files/encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <memory>
#include <set>

namespace lirotag {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
  return c >= lo && c <= hi;
}

// Decodes the character starting at `*pos` and moves past it. An invalid sequence yields
// U+FFFD and moves past its maximal valid prefix (at least one byte), the way the Unicode
// standard recommends, so the following text is never swallowed.
char32_t DecodeUtf8(std::string_view s, size_t* pos, bool* ok) {
  const size_t i = *pos;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  *ok = true;
  if (c < 0x80) {
    *pos = i + 1;
    return c;
  }
  int need;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2;
    cp = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3;
    cp = c & 0x07;
    if (c == 0xF0) lo = 0x90;  // overlong
    if (c == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    *ok = false;
    *pos = i + 1;
    return kReplacement;
  }
  size_t j = i + 1;
  for (int k = 0; k < need; ++k, ++j) {
    const bool fits =
        j < s.size() && (k == 0 ? IsContinuation(s[j], lo, hi) : IsContinuation(s[j]));
    if (!fits) {
      *ok = false;
      *pos = j;
      return kReplacement;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
  }
  *pos = j;
  return cp;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenGb18030() {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open("GB18030", &status));
  if (U_FAILURE(status)) return nullptr;
  return conv;
}

// Last resort when the converter is unavailable: keep what is certainly ASCII.
std::string AsciiOnly(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(c);
    } else {
      AppendUtf8(kReplacement, &out);
    }
  }
  return out;
}

// ICU's own substitute is U+001A for some tables; a lyric shows U+FFFD for every byte
// sequence it cannot read, and the caller may want to know how many there were.
void ReplaceAndCount(const void* context, UConverterToUnicodeArgs* args, const char*, int32_t,
                     UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close or clone: nothing to replace
  ++*static_cast<size_t*>(const_cast<void*>(context));
  *err = U_ZERO_ERROR;
  const UChar replacement = static_cast<UChar>(kReplacement);
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

bool IsNoTextCharacter(char16_t u) {
  return (u >= 0x80 && u <= 0x9F) || (u >= 0xE000 && u <= 0xF8FF);
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  bool ok;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, &pos, &ok);
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    char32_t cp = u;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(u - 0xD800) << 10) | (utf16[i + 1] - 0xDC00));
        ++i;
      } else {
        cp = kReplacement;
      }
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(cp, &out);
  }
  return out;
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2 + 1);
  const size_t whole = bytes.size() / 2 * 2;
  for (size_t i = 0; i < whole; i += 2) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0));
  }
  if (whole != bytes.size()) out.push_back(static_cast<char16_t>(kReplacement));
  return out;
}

std::string Utf16ToBytes(std::u16string_view utf16, bool bigEndian) {
  std::string out;
  out.reserve(utf16.size() * 2);
  for (char16_t u : utf16) {
    const char hi = static_cast<char>(u >> 8);
    const char lo = static_cast<char>(u & 0xFF);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  if (gbk.empty()) return {};
  ConverterPtr conv = OpenGb18030();
  if (!conv || gbk.size() > static_cast<size_t>(INT32_MAX / 2)) return AsciiOnly(gbk);
  // One GB18030 byte never yields more than one UTF-16 unit (four bytes at most make a
  // surrogate pair), so this buffer always suffices; the retry is only a safeguard.
  std::u16string units(gbk.size() + 1, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(conv.get(), reinterpret_cast<UChar*>(units.data()),
                                    static_cast<int32_t>(units.size()), gbk.data(),
                                    static_cast<int32_t>(gbk.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      units.assign(static_cast<size_t>(n) + 1, u'\0');
      continue;
    }
    if (U_FAILURE(status)) break;
    units.resize(static_cast<size_t>(n));
    return Utf16ToUtf8(units);
  }
  return AsciiOnly(gbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (utf8.empty()) return {};
  const std::u16string units = Utf8ToUtf16(utf8);
  ConverterPtr conv = OpenGb18030();
  if (!conv || units.size() > static_cast<size_t>(INT32_MAX / 4)) return {};
  // At most four bytes per unit.
  std::string out(units.size() * 4 + 1, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                      reinterpret_cast<const UChar*>(units.data()),
                                      static_cast<int32_t>(units.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<size_t>(n) + 1, '\0');
      continue;
    }
    if (U_FAILURE(status)) break;
    out.resize(static_cast<size_t>(n));
    return out;
  }
  return {};
}

bool ConvertToUtf8(std::string_view bytes, const char* converter, std::string* out,
                   size_t* unusable) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open(converter, &status));
  if (U_FAILURE(status) || bytes.size() > static_cast<size_t>(INT32_MAX / 4)) return false;
  size_t invalid = 0;
  ucnv_setToUCallBack(conv.get(), ReplaceAndCount, &invalid, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return false;
  // Two units a byte is already more than any table gives; the retry is a safeguard.
  std::u16string units(bytes.size() * 2 + 2, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    status = U_ZERO_ERROR;
    invalid = 0;
    const int32_t n = ucnv_toUChars(conv.get(), reinterpret_cast<UChar*>(units.data()),
                                    static_cast<int32_t>(units.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      units.assign(static_cast<size_t>(n) + 1, u'\0');
      continue;
    }
    if (U_FAILURE(status)) return false;
    units.resize(static_cast<size_t>(n));
    if (unusable) {
      *unusable = invalid;
      for (char16_t u : units) *unusable += IsNoTextCharacter(u);
    }
    *out = Utf16ToUtf8(units);
    return true;
  }
  return false;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t pos = 0;
  bool ok = true;
  while (pos < bytes.size()) {
    DecodeUtf8(bytes, &pos, &ok);
    if (!ok) return false;
  }
  return true;
}

Utf8Census CountUtf8(std::string_view bytes) {
  Utf8Census census;
  size_t pos = 0;
  bool ok = true;
  while (pos < bytes.size()) {
    const size_t start = pos;
    DecodeUtf8(bytes, &pos, &ok);
    if (ok) {
      if (pos - start > 1) {
        ++census.multiByte;
        census.multiByteBytes += pos - start;
      }
      continue;
    }
    ++census.badSequences;
    census.badBytes += pos - start;
    // Cut off: a lead byte whose continuation bytes all fit, up to the end.
    const auto lead = static_cast<unsigned char>(bytes[start]);
    census.cutAtEnd =
        census.badSequences == 1 && pos == bytes.size() && lead >= 0xC2 && lead <= 0xF4;
  }
  if (census.badSequences != 1) census.cutAtEnd = false;
  return census;
}

std::vector<std::string> CharactersGbkLacks(std::string_view utf8) {
  std::vector<std::string> lacking;
  size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
  if (i == utf8.size()) return lacking;
  // GB18030 is GBK for every GBK character; it writes every other one in four bytes,
  // whose second byte is a digit, where a two-byte character's never is.
  const std::string bytes = Utf8ToGbk(utf8);
  std::set<std::string> seen;
  for (size_t k = 0; k < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[k]);
    if (lead < 0x80) {
      ++k;
      continue;
    }
    const bool four = k + 3 < bytes.size() && bytes[k + 1] >= '0' && bytes[k + 1] <= '9';
    if (four) {
      const std::string sequence = bytes.substr(k, 4);
      if (seen.insert(sequence).second) lacking.push_back(GbkToUtf8(sequence));
    }
    k += four ? 4 : 2;
  }
  return lacking;
}

std::string RepairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t pos = 0;
  bool ok;
  while (pos < bytes.size()) {
    const size_t start = pos;
    DecodeUtf8(bytes, &pos, &ok);
    if (ok) {
      out.append(bytes.substr(start, pos - start));
    } else {
      AppendUtf8(kReplacement, &out);
    }
  }
  return out;
}

std::string LegacyToUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return GbkToUtf8(bytes);
}

std::string Utf8ToText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  return RepairUtf8(bytes);
}

}  // namespace lirotag
