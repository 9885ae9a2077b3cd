#include "lyrics/words.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "lyrics/time_tags.h"

namespace lirotag {

namespace {

// What a character is to the word finder.
enum class Kind {
  kOther,       // spaces, punctuation, symbols, bytes that are no UTF-8
  kLetter,      // letters and digits that run together into a word
  kApostrophe,  // inside a run when a letter follows
  kMark,        // combining marks: part of whatever word they follow
  kSingle,      // an ideograph or hangul syllable: a word by itself
  kKana,        // a word by itself, which a small kana may join
  kSmallKana,
};

struct Range {
  char32_t first, last;
};

bool InRanges(char32_t c, std::initializer_list<Range> ranges) {
  for (const Range& r : ranges) {
    if (c >= r.first && c <= r.last) return true;
  }
  return false;
}

Kind Classify(char32_t c) {
  if (c < 0x80) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      return Kind::kLetter;
    }
    return c == '\'' ? Kind::kApostrophe : Kind::kOther;
  }
  if (c == 0x2019) return Kind::kApostrophe;  // ’ as typed by phones and word processors
  if (InRanges(c, {{0x0300, 0x036F},
                   {0x0483, 0x0489},
                   {0x1160, 0x11FF},  // hangul vowels and finals complete the syllable
                   {0x1AB0, 0x1AFF},
                   {0x1DC0, 0x1DFF},
                   {0x20D0, 0x20FF},
                   {0x3099, 0x309C},  // kana voicing marks
                   {0xD7B0, 0xD7FF},
                   {0xFE00, 0xFE0F},
                   {0xFE20, 0xFE2F},
                   {0xFF9E, 0xFF9F},
                   {0xE0100, 0xE01EF}})) {
    return Kind::kMark;
  }
  // The small kana that make one mora with the kana before them; small tsu (っ) is a beat
  // of its own, and ヵ ヶ mostly stand alone as counters.
  if (InRanges(c, {{0x3041, 0x3041}, {0x3043, 0x3043}, {0x3045, 0x3045}, {0x3047, 0x3047},
                   {0x3049, 0x3049}, {0x3083, 0x3083}, {0x3085, 0x3085}, {0x3087, 0x3087},
                   {0x308E, 0x308E}, {0x30A1, 0x30A1}, {0x30A3, 0x30A3}, {0x30A5, 0x30A5},
                   {0x30A7, 0x30A7}, {0x30A9, 0x30A9}, {0x30E3, 0x30E3}, {0x30E5, 0x30E5},
                   {0x30E7, 0x30E7}, {0x30EE, 0x30EE}, {0x31F0, 0x31FF}, {0xFF67, 0xFF6E}})) {
    return Kind::kSmallKana;
  }
  if (InRanges(c, {{0x3041, 0x3096},
                   {0x309D, 0x309F},
                   {0x30A1, 0x30FA},
                   {0x30FC, 0x30FF},
                   {0xFF66, 0xFF9D},
                   {0x1B000, 0x1B2FF}})) {
    return Kind::kKana;
  }
  if (InRanges(c, {{0x1100, 0x115F},
                   {0x2E80, 0x2FDF},
                   {0x3005, 0x3007},
                   {0x3021, 0x3029},
                   {0x3038, 0x303B},
                   {0x3131, 0x318E},
                   {0x3400, 0x4DBF},
                   {0x4E00, 0x9FFF},
                   {0xA960, 0xA97F},
                   {0xAC00, 0xD7A3},
                   {0xF900, 0xFAFF},
                   {0xFFA0, 0xFFDC},
                   {0x20000, 0x3FFFF}})) {
    return Kind::kSingle;
  }
  // Punctuation, spaces and symbols of the blocks lyrics use; every other character is
  // taken for a letter, so scripts not listed still make words of their runs.
  if (InRanges(c, {{0x0080, 0x00A9}, {0x00AB, 0x00B1},   {0x00B4, 0x00B4},  {0x00B6, 0x00B8},
                   {0x00BB, 0x00BF}, {0x00D7, 0x00D7},   {0x00F7, 0x00F7},  {0x037E, 0x037E},
                   {0x0387, 0x0387}, {0x055A, 0x055F},   {0x0589, 0x058A},  {0x05BE, 0x05BE},
                   {0x05C0, 0x05C0}, {0x05C3, 0x05C3},   {0x05F3, 0x05F4},  {0x060C, 0x060D},
                   {0x061B, 0x061F}, {0x066A, 0x066D},   {0x06D4, 0x06D4},  {0x0964, 0x0965},
                   {0x0E4F, 0x0E4F}, {0x0E5A, 0x0E5B},   {0x2000, 0x206F},  {0x20A0, 0x20CF},
                   {0x2190, 0x2BFF}, {0x2E00, 0x2E7F},   {0x3000, 0x303F},  {0x30FB, 0x30FB},
                   {0x3200, 0x33FF}, {0xFE10, 0xFE1F},   {0xFE30, 0xFE6F},  {0xFEFF, 0xFEFF},
                   {0xFF01, 0xFF0F}, {0xFF1A, 0xFF20},   {0xFF3B, 0xFF40},  {0xFF5B, 0xFF65},
                   {0xFFE0, 0xFFFF}, {0x1F000, 0x1FAFF}, {0xE0000, 0xE007F}})) {
    return Kind::kOther;
  }
  return Kind::kLetter;
}

// The character at `i` and its length in bytes; a byte that starts no valid sequence is
// one character of its own, which is no letter.
char32_t Decode(std::string_view s, size_t i, size_t* length) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  size_t n = 0;
  char32_t c = 0;
  if (b < 0x80) {
    *length = 1;
    return b;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    c = b & 0x07;
  }
  *length = 1;
  if (n == 0 || i + n > s.size()) return 0xFFFFFFFF;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0xFFFFFFFF;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are no characters.
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
      (c >= 0xD800 && c <= 0xDFFF)) {
    return 0xFFFFFFFF;
  }
  *length = n;
  return c;
}

Kind KindAt(std::string_view s, size_t i, size_t* length) {
  const char32_t c = Decode(s, i, length);
  return c == 0xFFFFFFFF ? Kind::kOther : Classify(c);
}

// The end of the word tag that starts at `i`, or 0 when the '<' there starts none.
size_t WordTagEnd(std::string_view s, size_t i) {
  bool digit = false, colon = false;
  int dots = 0;
  for (size_t j = i + 1; j < s.size(); ++j) {
    const char c = s[j];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == ':') {
      colon = true;
    } else if (c == '.') {
      ++dots;
    } else {
      return c == '>' && digit && colon && dots <= 1 ? j + 1 : 0;
    }
  }
  return 0;
}

std::string ReplaceWordTags(std::string_view line, const LineWords& found,
                            const std::function<std::string(const WordTag&)>& with) {
  std::string out;
  size_t at = 0;
  for (const WordTag& tag : found.tags) {
    out.append(line.substr(at, tag.begin - at));
    out += with(tag);
    at = tag.end;
  }
  out.append(line.substr(at));
  return out;
}

bool HasLineTag(std::string_view line) {
  return !TagList(line).empty();
}

// The line's earliest time tag (the first of equal ones) written as `time`, in place;
// none for a line without a closed time tag.
std::optional<std::string> MoveEarliestTimeTag(std::string_view line, std::string_view time) {
  size_t best = std::string_view::npos, bestEnd = 0;
  double bestTime = 0;
  for (size_t i = line.find('['); i != std::string_view::npos; i = line.find('[', i)) {
    const size_t close = line.find(']', i + 1);
    if (close == std::string_view::npos) break;
    const std::string_view inner = line.substr(i + 1, close - i - 1);
    if (!inner.empty() && inner[0] >= '0' && inner[0] <= '9') {
      const double t = ParseTime(inner);
      if (best == std::string_view::npos || t < bestTime) {
        best = i;
        bestEnd = close + 1;
        bestTime = t;
      }
    }
    i = close + 1;
  }
  if (best == std::string_view::npos) return std::nullopt;
  std::string out(line.substr(0, best));
  out += "[";
  out += time;
  out += "]";
  out.append(line.substr(bestEnd));
  return out;
}

// The word a stamp times next: the one after the last timed word.
size_t NextWord(const LineWords& found) {
  for (size_t n = found.words.size(); n > 0; --n) {
    if (found.words[n - 1].tag >= 0) return n;
  }
  return 0;
}

}  // namespace

LineWords FindWords(std::string_view line) {
  LineWords out;
  if (IsInfoLine(line)) return out;
  enum class Open { kNone, kRun, kKana, kSingle } open = Open::kNone;
  size_t afterBrackets = 0;  // the end of the last bracketed part met
  std::vector<int> pending;  // word tags waiting for their word
  const auto newWord = [&](size_t begin, size_t end, Open kind) {
    Word w;
    w.begin = begin;
    w.end = w.stop = end;
    const int index = static_cast<int>(out.words.size());
    if (!pending.empty()) {
      w.tag = pending.back();
      w.time = out.tags[static_cast<size_t>(w.tag)].time;
      w.start = out.tags[static_cast<size_t>(pending.front())].begin;
      for (int t : pending) out.tags[static_cast<size_t>(t)].word = index;
      pending.clear();
    } else {
      w.start = index == 0 ? afterBrackets : begin;
    }
    out.words.push_back(w);
    open = kind;
  };
  for (size_t i = 0; i < line.size();) {
    if (line[i] == '[') {
      const size_t close = line.find(']', i);
      i = close == std::string_view::npos ? line.size() : close + 1;
      afterBrackets = i;
      open = Open::kNone;
      continue;
    }
    if (line[i] == '<') {
      if (const size_t end = WordTagEnd(line, i)) {
        pending.push_back(static_cast<int>(out.tags.size()));
        out.tags.push_back({i, end, ParseTime(line.substr(i + 1, end - i - 2)), -1});
        open = Open::kNone;
        i = end;
        continue;
      }
    }
    size_t length = 1;
    Kind kind = KindAt(line, i, &length);
    if (kind == Kind::kApostrophe) {
      size_t nextLength = 0;
      const bool inside = open == Open::kRun && i + length < line.size() &&
                          KindAt(line, i + length, &nextLength) == Kind::kLetter;
      kind = inside ? Kind::kMark : Kind::kOther;
    }
    const bool extends = (kind == Kind::kLetter && open == Open::kRun) ||
                         (kind == Kind::kMark && open != Open::kNone) ||
                         (kind == Kind::kSmallKana && open == Open::kKana);
    if (extends) {
      out.words.back().end = out.words.back().stop = i + length;
    } else if (kind == Kind::kLetter) {
      newWord(i, i + length, Open::kRun);
    } else if (kind == Kind::kKana || kind == Kind::kSmallKana) {
      newWord(i, i + length, Open::kKana);
    } else if (kind == Kind::kSingle) {
      newWord(i, i + length, Open::kSingle);
    } else {
      if (!out.words.empty() && pending.empty()) out.words.back().stop = i + length;
      open = Open::kNone;
    }
    i += length;
  }
  return out;
}

std::string StripWordTags(std::string_view line) {
  std::string out;
  size_t at = 0;
  for (const WordTag& tag : FindWords(line).tags) {
    out.append(line.substr(at, tag.begin - at));
    at = tag.end;
    if (!out.empty() && out.back() == ' ' && at < line.size() && line[at] == ' ') ++at;
  }
  out.append(line.substr(at));
  return out;
}

std::string ShiftWordTags(std::string_view line, double offset, std::optional<bool> threeDecimals) {
  return ReplaceWordTags(line, FindWords(line), [&](const WordTag& tag) {
    const std::string_view text = line.substr(tag.begin, tag.end - tag.begin);
    const size_t dot = text.find('.');
    const bool three =
        threeDecimals.value_or(dot != std::string_view::npos && text.size() - dot - 2 >= 3);
    return "<" + FormatTime(tag.time + offset, three) + ">";
  });
}

std::optional<std::string> StampNextWord(std::string_view line, std::string_view time) {
  if (IsInfoLine(line)) return std::nullopt;
  const LineWords found = FindWords(line);
  const size_t next = NextWord(found);
  const bool lineTag = HasLineTag(line);
  if (lineTag && next == found.words.size()) return std::nullopt;
  std::string out(line);
  if (next < found.words.size()) {
    out.insert(found.words[next].start, "<" + std::string(time) + ">");
  }
  if (!lineTag) {
    out.insert(0, "[" + std::string(time) + "]");
  } else if (found.tags.empty() && next < found.words.size()) {
    // The first word stamp of a line that came with a time: the line starts when its
    // first word does, or players would show it long before it is sung.
    if (std::optional<std::string> moved = MoveEarliestTimeTag(out, time)) out = std::move(*moved);
  }
  return out;
}

bool WordsDone(std::string_view line) {
  if (IsInfoLine(line)) return true;
  const LineWords found = FindWords(line);
  return HasLineTag(line) && NextWord(found) == found.words.size();
}

bool WordsStarted(std::string_view line) {
  const LineWords found = FindWords(line);
  return !found.tags.empty() || (found.words.empty() && HasLineTag(line));
}

std::optional<std::string> TakeBackWordStamp(std::string_view line) {
  if (!WordsStarted(line)) return std::nullopt;
  const LineWords found = FindWords(line);
  std::string out(line);
  if (!found.tags.empty()) {
    const WordTag& last = found.tags.back();
    out.erase(last.begin, last.end - last.begin);
  }
  if (found.tags.size() <= 1 && HasLineTag(out)) out = StripTags(out, 1);
  return out;
}

std::optional<std::string> RestartWordStamps(std::string_view line) {
  if (!WordsStarted(line)) return std::nullopt;
  std::string out = StripWordTags(line);
  if (HasLineTag(out)) out = StripTags(out, 1);
  return out;
}

int SungWord(const LineWords& line, double seconds) {
  const WordTag* sung = nullptr;
  for (const WordTag& tag : line.tags) {
    if (tag.time <= seconds && (!sung || tag.time >= sung->time)) sung = &tag;
  }
  return sung ? sung->word : -1;
}

}  // namespace lirotag
