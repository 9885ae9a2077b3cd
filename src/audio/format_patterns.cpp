#include "audio/formats.h"

namespace lirotag {

void AppendPatterns(std::string* list, const std::string& patterns) {
  // The dialog matches patterns without regard to case, so "*.MOD" is "*.mod" again.
  auto lower = [](std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
  };
  std::string held = ";" + lower(*list) + ";";
  size_t start = 0;
  while (start < patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    const std::string pattern = patterns.substr(start, end - start);
    if (!pattern.empty() && held.find(";" + lower(pattern) + ";") == std::string::npos) {
      if (!list->empty()) *list += ";";
      *list += pattern;
      held += lower(pattern) + ";";
    }
    start = end + 1;
  }
}

}  // namespace lirotag
