#include "lyrics/lyric_box.h"

#include <algorithm>

namespace lirotag {

std::string GetLyricText(const LyricBox& box) {
  std::string text;
  const int count = box.LineCount();
  for (int n = 0; n < count; ++n) {
    std::string line = box.Line(n);
    line.erase(
        std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }),
        line.end());
    if (n > 0) text += "\r\n";
    text += line;
  }
  return text;
}

}  // namespace lirotag
