#include "lyrics/time_tags.h"

#include <cmath>
#include <cstdint>

#include "files/ascii.h"
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

  const std::vector<std::string> fields = SplitText(pieces[0], ":");
  double t = 0.0;
  if (fields.size() == 1) {
    t = TextToNumber(fields[0]);
  } else if (fields.size() == 2) {
    t = TextToNumber(fields[0]) * 60 + TextToNumber(fields[1]);
  } else if (fields.size() == 3) {
    t = TextToNumber(fields[0]) * 3600 + TextToNumber(fields[1]) * 60 + TextToNumber(fields[2]);
  }
  if (pieces.size() == 2) {
    // Counted in ASCII characters, so a full-width "５０" is two digits like "50".
    const std::string f = FullWidthToAscii(pieces[1]);
    if (f.size() >= 1 && f.size() <= 3) {
      // At most three bytes, so at most 999 or a short exponent form such as "9e9".
      const double scale = f.size() == 1 ? 10.0 : f.size() == 2 ? 100.0 : 1000.0;
      t += std::round(TextToNumber(f)) / scale;
    }
  }
  // Overflowing fields ("1e999") or opposite infinities must not leak out as infinity
  // or NaN into seeking, sorting and formatting.
  if (std::isnan(t)) return 0.0;
  if (t > kMaxTimeSeconds) return kMaxTimeSeconds;
  if (t < -kMaxTimeSeconds) return -kMaxTimeSeconds;
  return t;
}

bool IsInfoLine(std::string_view line) {
  if (StartsWithNoCase(line, "[OFFSET:")) return true;
  for (std::string_view head : {"[TI:", "[AR:", "[AL:", "[BY:"}) {
    if (StartsWithNoCase(line, head)) return true;
  }
  return false;
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
    if (c == ']') {
      inside = false;
      out += kCrLf;
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
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += kCrLf;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace lirotag
