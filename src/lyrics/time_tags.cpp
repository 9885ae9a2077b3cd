#include "lyrics/time_tags.h"

#include <cmath>
#include <cstdint>

#include "files/ascii.h"
#include "files/lyric_file.h"
#include "lyrics/text.h"

namespace lirotag {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

std::string TwoDigits(long long v) {
  std::string s = IntToText(v);
  if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
  return s;
}

}  // namespace

std::string FormatTime(double seconds, bool three) {
  // Anything not a number or below the smallest accepted time is 0; the bound keeps the
  // microsecond count well inside 64 bits.
  double t = seconds;
  if (!(t >= -0.0000001)) t = 0.0;
  if (t > kMaxTimeSeconds) t = kMaxTimeSeconds;
  long long micros = std::llround(t * 1e6);
  if (micros < 0) micros = 0;
  const long long whole = micros / 1000000;
  const long long part = micros % 1000000;
  std::string fraction = IntToText(three ? part / 1000 : part / 10000);
  const size_t width = three ? 3 : 2;
  if (fraction.size() < width) fraction.insert(0, width - fraction.size(), '0');
  return TwoDigits(whole / 60) + ":" + TwoDigits(whole % 60) + "." + fraction;
}

double ParseTime(std::string_view text) {
  std::string_view x = text;
  if (x.size() >= 2 && x.front() == '[' && x.back() == ']') x = x.substr(1, x.size() - 2);
  const std::vector<std::string> pieces = SplitText(x, ".");
  if (pieces.empty() || pieces.size() > 2) return -1.0;

  std::vector<std::string> fields = SplitText(pieces[0], ":");
  std::string fraction = pieces.size() == 2 ? FullWidthToAscii(pieces[1]) : std::string();
  // "mm:ss:xx", as several tools write it, has its fraction after a colon: a third field
  // of one to three digits, with no '.' anywhere, is that fraction and not seconds.
  if (pieces.size() == 1 && fields.size() == 3) {
    const std::string last = FullWidthToAscii(fields[2]);
    if (!last.empty() && last.size() <= 3 &&
        last.find_first_not_of("0123456789") == std::string::npos) {
      fraction = last;
      fields.pop_back();
    }
  }
  double t = 0.0;
  if (fields.size() == 1) {
    t = TextToNumber(fields[0]);
  } else if (fields.size() == 2) {
    t = TextToNumber(fields[0]) * 60 + TextToNumber(fields[1]);
  } else if (fields.size() == 3) {
    t = TextToNumber(fields[0]) * 3600 + TextToNumber(fields[1]) * 60 + TextToNumber(fields[2]);
  }
  // Counted in ASCII characters, so a full-width "５０" is two digits like "50".
  if (fraction.size() >= 1 && fraction.size() <= 3) {
    // At most three bytes, so at most 999 or a short exponent form such as "9e9".
    const double scale = fraction.size() == 1 ? 10.0 : fraction.size() == 2 ? 100.0 : 1000.0;
    t += std::round(TextToNumber(fraction)) / scale;
  }
  // Overflowing fields ("1e999") or opposite infinities must not leak out as infinity
  // or NaN into seeking, sorting and formatting.
  if (std::isnan(t)) return 0.0;
  if (t > kMaxTimeSeconds) return kMaxTimeSeconds;
  if (t < -kMaxTimeSeconds) return -kMaxTimeSeconds;
  return t;
}

bool IsInfoLine(std::string_view line) {
  if (line.size() < 2 || line[0] != '[') return false;
  // A full-width letter or sign counts as its ASCII form: "[ａｒ:" is a header, "[０" a time.
  std::string_view rest = line.substr(1);
  std::string first;
  if (static_cast<unsigned char>(rest[0]) >= 0x80) {
    first = FullWidthToAscii(rest.substr(0, 3));
    // Any other character that is not ASCII (an ideograph, a kana, an accented letter)
    // starts a name, never a time.
    if (first.empty() || static_cast<unsigned char>(first[0]) >= 0x80) return true;
    rest = first;
  }
  const char c = rest[0];
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '#';
}

std::string StripTags(std::string_view line, int limit) {
  if (IsInfoLine(line)) return std::string(line);
  std::string out;
  out.reserve(line.size());
  bool inside = false;
  long long opened = 0;
  for (char c : line) {
    if (c == '[' && (limit <= 0 || opened < limit)) {
      inside = true;
      ++opened;
    }
    if (!inside) out.push_back(c);
    if (c == ']') inside = false;
  }
  return out;
}

std::string ExtractTags(std::string_view line) {
  if (IsInfoLine(line)) return {};
  std::string out;
  bool inside = false;
  for (char c : line) {
    // A "]" closes only a tag that a "[" opened; a stray one is text.
    if (c == ']' && inside) {
      inside = false;
      out += kCrLf;
      continue;
    }
    if (inside) out.push_back(c);
    if (c == '[') inside = true;
  }
  if (out.size() >= 2 && std::string_view(out).substr(out.size() - 2) == kCrLf) {
    out.resize(out.size() - 2);
  }
  return out;
}

std::vector<std::string> TagList(std::string_view line) {
  return SplitText(ExtractTags(line), kCrLf);
}

std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    const size_t hit = text.find(delimiter, start);
    if (hit == std::string_view::npos) break;
    pieces.emplace_back(text.substr(start, hit - start));
    start = hit + delimiter.size();
  }
  if (start < text.size()) pieces.emplace_back(text.substr(start));
  return pieces;
}

std::string JoinTexts(const std::vector<std::string>& list, std::string_view separator,
                      bool trailing) {
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) {
    out += list[i];
    if (trailing || i + 1 < list.size()) out += separator;
  }
  return out;
}

std::string TrimSpaces(std::string_view text) {
  for (;;) {
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    } else if (text.substr(0, kIdeographicSpace.size()) == kIdeographicSpace) {
      text.remove_prefix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  for (;;) {
    if (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    } else if (text.size() >= kIdeographicSpace.size() &&
               text.substr(text.size() - kIdeographicSpace.size()) == kIdeographicSpace) {
      text.remove_suffix(kIdeographicSpace.size());
    } else {
      break;
    }
  }
  return std::string(text);
}

std::string NormaliseLineBreaks(std::string_view text) {
  return CrLfLineBreaks(text);
}

}  // namespace lirotag
