#include "tags/legacy_text.h"

#include <algorithm>
#include <optional>

#include "files/encoding.h"

namespace lirotag {

namespace {

// Scores are costs: the reading with fewer oddities wins.
constexpr int kOdd = 1;        // possible, but not what a writer usually produces
constexpr int kUnlikely = 3;   // a rare character where a common one was expected
constexpr int kUndefined = 8;  // a byte the reading does not define

unsigned char At(std::string_view b, size_t i) {
  return static_cast<unsigned char>(b[i]);
}
bool IsAsciiLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiAlnum(unsigned char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

// Windows-1252 in 80–9F; zero where the code page defines nothing.
constexpr char16_t kCp1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool Cp1252Defined(unsigned char c) {
  return c < 0x80 || c > 0x9F || kCp1252[c - 0x80] != 0;
}
// Š Œ Ž š œ ž Ÿ ƒ and À–ÿ without × and ÷.
bool Cp1252Letter(unsigned char c) {
  switch (c) {
    case 0x83:
    case 0x8A:
    case 0x8C:
    case 0x8E:
    case 0x9A:
    case 0x9C:
    case 0x9E:
    case 0x9F:
      return true;
    default:
      return c >= 0xC0 && c != 0xD7 && c != 0xF7;
  }
}
// Quotes, dashes, ellipsis, guillemets, bullet, trade mark: what word processors and
// tag editors put into titles.
bool Cp1252Punctuation(unsigned char c) {
  return (c >= 0x91 && c <= 0x97) || c == 0x82 || c == 0x84 || c == 0x85 || c == 0x8B ||
         c == 0x9B || c == 0x99 || c == 0xAB || c == 0xBB;
}

std::string Cp1252ToUtf8(std::string_view b) {
  std::u16string units;
  units.reserve(b.size());
  for (size_t i = 0; i < b.size(); ++i) {
    const unsigned char c = At(b, i);
    units.push_back(c >= 0x80 && c <= 0x9F && kCp1252[c - 0x80] ? kCp1252[c - 0x80] : c);
  }
  return Utf16ToUtf8(units);
}

// Western text has its accented letters and typographic marks one at a time, among ASCII
// letters; Chinese read as Windows-1252 is runs of accented capitals and symbols.
int Cp1252Cost(std::string_view b) {
  int cost = 0;
  for (size_t i = 0; i < b.size();) {
    if (At(b, i) < 0x80) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < b.size() && At(b, j) >= 0x80) {
      if (!Cp1252Defined(At(b, j))) cost += kUndefined;
      ++j;
    }
    if (j - i > 1) {
      cost += 2 * static_cast<int>(j - i);
    } else {
      const unsigned char c = At(b, i);
      const bool letter_beside =
          (i > 0 && IsAsciiLetter(At(b, i - 1))) || (j < b.size() && IsAsciiLetter(At(b, j)));
      if (Cp1252Letter(c)) {
        cost += letter_beside ? 0 : kOdd;
      } else if (!Cp1252Punctuation(c)) {
        cost += kOdd;
      }
    }
    i = j;
  }
  return cost;
}

// GB2312's rows: symbols A1–A9, characters B0–F7, each with a second byte A1–FE. The
// extension GBK added holds rarer characters; those whose second byte is an ASCII
// letter or sign are the ones Western text produces when read as GBK.
bool IsGb2312(unsigned char lead, unsigned char trail) {
  return trail >= 0xA1 && trail <= 0xFE &&
         ((lead >= 0xA1 && lead <= 0xA9) || (lead >= 0xB0 && lead <= 0xF7));
}

struct GbkReading {
  std::string text;
  int cost = 0;
};

// Nothing when the bytes are not GBK at all.
std::optional<GbkReading> ReadGbk(std::string_view b, bool mayBeCut) {
  GbkReading r;
  int common = 0;
  bool cut = false;
  for (size_t i = 0; i < b.size();) {
    const unsigned char c = At(b, i);
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c == 0x80 || c == 0xFF) return std::nullopt;
    if (i + 1 == b.size()) {
      cut = true;
      break;
    }
    const unsigned char t = At(b, i + 1);
    if (t < 0x40 || t == 0x7F || t == 0xFF) return std::nullopt;
    if (IsGb2312(c, t)) {
      ++common;
    } else {
      r.cost += t >= 0x80 ? kOdd : kUnlikely;
    }
    i += 2;
  }
  if (cut) {
    b.remove_suffix(1);
    // A field cut at its fixed size among other Chinese is what writers of such fields do;
    // without other Chinese around the lone byte may as well be an accented last letter.
    r.cost += !mayBeCut ? kUnlikely : common > 0 ? 0 : kOdd;
  }
  size_t unusable = 0;
  if (!ConvertToUtf8(b, "GB18030", &r.text, &unusable)) r.text = GbkToUtf8(b);
  // Unassigned pairs (private use in GB18030) are no one's text.
  r.cost += kUnlikely * static_cast<int>(unusable);
  return r;
}

// Valid UTF-8 made only of two-byte sequences that are all common GBK characters, with
// no Latin letter (U+00C0–U+024F, leads C3–C9) beside an ASCII letter or digit. Signs
// such as "·" (C2 B7, which is 路) speak for neither.
bool IsChineseSpelledAsUtf8(std::string_view b) {
  bool any = false;
  for (size_t i = 0; i < b.size();) {
    const unsigned char c = At(b, i);
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c < 0xC2 || c > 0xDF || i + 1 == b.size()) return false;
    const unsigned char t = At(b, i + 1);
    if (!IsGb2312(c, t)) return false;
    const bool latin = c >= 0xC3 && c <= 0xC9 && !(c == 0xC3 && (t == 0x97 || t == 0xB7));
    const bool beside =
        (i > 0 && IsAsciiAlnum(At(b, i - 1))) || (i + 2 < b.size() && IsAsciiAlnum(At(b, i + 2)));
    if (latin && beside) return false;
    any = true;
    i += 2;
  }
  return any;
}

}  // namespace

// How many bytes at the end of `b` are an unfinished UTF-8 sequence: a lead byte with
// fewer continuation bytes after it than it announces.
size_t UnfinishedUtf8Tail(std::string_view b) {
  for (size_t n = 1; n <= 3 && n <= b.size(); ++n) {
    const unsigned char c = At(b, b.size() - n);
    if ((c & 0xC0) == 0x80) continue;
    const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    return need > n ? n : 0;
  }
  return 0;
}

bool IsUtf8Text(std::string_view b) {
  return IsValidUtf8(b) && !IsChineseSpelledAsUtf8(b);
}

std::string LegacyTagText(std::string_view bytes, bool mayBeCut) {
  bytes = bytes.substr(0, bytes.find('\0'));
  if (IsValidUtf8(bytes)) return IsUtf8Text(bytes) ? std::string(bytes) : GbkToUtf8(bytes);
  // UTF-8 cut inside its last character where the field ended.
  if (const size_t tail = mayBeCut ? UnfinishedUtf8Tail(bytes) : 0) {
    const std::string_view whole = bytes.substr(0, bytes.size() - tail);
    // Without a whole UTF-8 character before it, the lone byte says nothing for UTF-8.
    const bool any_multibyte =
        std::any_of(whole.begin(), whole.end(), [](char c) { return c & 0x80; });
    if (any_multibyte && IsUtf8Text(whole)) return std::string(whole);
  }
  const std::optional<GbkReading> gbk = ReadGbk(bytes, mayBeCut);
  if (gbk && gbk->cost <= Cp1252Cost(bytes)) return gbk->text;
  return Cp1252ToUtf8(bytes);
}

std::string Utf8TagText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  bytes = bytes.substr(0, bytes.find('\0'));
  // Declared UTF-8 that is valid is believed, whatever script it spells.
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return LegacyTagText(bytes);
}

}  // namespace lirotag
