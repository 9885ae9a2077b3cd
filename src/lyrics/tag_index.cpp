#include "lyrics/tag_index.h"

#include <algorithm>

#include "lyrics/time_tags.h"

namespace lirotag {

bool IsTimeTag(const std::string& tag) {
  return !tag.empty() && tag[0] >= '0' && tag[0] <= '9';
}

void TagIndex::Rebuild(const LyricBox& box) {
  entries_.clear();
  const int count = box.LineCount();
  for (int n = 0; n < count; ++n) {
    const std::string line = box.Line(n);
    if (line.find('[') == std::string::npos) continue;
    for (const std::string& tag : TagList(line)) {
      if (IsTimeTag(tag)) entries_.push_back({ParseTime(tag), n});
    }
  }
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const Entry& a, const Entry& b) { return a.time < b.time; });
}

int TagIndex::SungLine(double seconds) const {
  const auto after = std::upper_bound(entries_.begin(), entries_.end(), seconds,
                                      [](double t, const Entry& e) { return t < e.time; });
  return after == entries_.begin() ? -1 : std::prev(after)->line;
}

std::vector<double> TagIndex::TimesOfLine(const LyricBox& box, int n) const {
  std::vector<double> times;
  for (const std::string& tag : TagList(box.Line(n))) {
    if (IsTimeTag(tag)) times.push_back(ParseTime(tag));
  }
  return times;
}

}  // namespace lirotag
