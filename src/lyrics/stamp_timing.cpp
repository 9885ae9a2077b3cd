#include "lyrics/stamp_timing.h"

#include <algorithm>
#include <cmath>

#include "lyrics/tag_index.h"
#include "lyrics/time_tags.h"
#include "lyrics/words.h"

namespace lirotag {

namespace {

// A closed bracketed tag whose text is a time: where it is and what it says.
struct TimeTag {
  size_t begin = 0;  // at '['
  size_t end = 0;    // after ']'
  double time = 0;
};

// The closed time tags of a line, as the tag commands see tags: a tag opens at '[' and
// ends at the next ']'. An unclosed one is left to the text.
std::vector<TimeTag> TimeTagsOf(std::string_view line) {
  std::vector<TimeTag> tags;
  if (IsInfoLine(line)) return tags;
  for (size_t i = line.find('['); i != std::string_view::npos; i = line.find('[', i)) {
    const size_t close = line.find(']', i + 1);
    if (close == std::string_view::npos) break;
    const std::string inner(line.substr(i + 1, close - i - 1));
    if (IsTimeTag(inner)) tags.push_back({i, close + 1, ParseTime(inner)});
    i = close + 1;
  }
  return tags;
}

std::string Bracketed(double seconds, bool threeDecimals) {
  return "[" + FormatTime(std::max(0.0, seconds), threeDecimals) + "]";
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  const double upper = values[mid];
  if (values.size() % 2 == 1) return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
  return (lower + upper) / 2;
}

}  // namespace

int ClampStampDelay(double milliseconds) {
  if (!std::isfinite(milliseconds) || milliseconds <= 0) return 0;
  return static_cast<int>(std::min<double>(kMaxStampDelayMs, std::trunc(milliseconds)));
}

double CompensatedTime(double heard, int delayMs) {
  return std::max(0.0, heard - ClampStampDelay(delayMs) / 1000.0);
}

std::optional<std::string> NudgeTimeTags(std::string_view line, double delta, bool threeDecimals) {
  const std::vector<TimeTag> tags = TimeTagsOf(line);
  std::string out;
  size_t at = 0;
  for (const TimeTag& tag : tags) {
    out.append(line.substr(at, tag.begin - at));
    out += Bracketed(tag.time + delta, threeDecimals);
    at = tag.end;
  }
  out.append(line.substr(at));
  // FormatTime writes a time below 0 as 0, so word tags stop at 0 as the line tags do.
  out = ShiftWordTags(out, delta, threeDecimals);
  if (out == line) return std::nullopt;
  return out;
}

std::optional<std::string> MoveTimeTag(std::string_view line, int index, double seconds,
                                       bool threeDecimals) {
  const std::vector<TimeTag> tags = TimeTagsOf(line);
  if (index < 0 || static_cast<size_t>(index) >= tags.size()) return std::nullopt;
  const TimeTag& moved = tags[static_cast<size_t>(index)];
  const std::string written = Bracketed(seconds, threeDecimals);
  std::string out =
      std::string(line.substr(0, moved.begin)) + written + std::string(line.substr(moved.end));
  // The word tags belong to the earliest tag (the first of equal ones), and go with it.
  const auto earliest = std::min_element(
      tags.begin(), tags.end(), [](const TimeTag& a, const TimeTag& b) { return a.time < b.time; });
  if (earliest - tags.begin() == index)
    out = ShiftWordTags(out, ParseTime(written) - moved.time, threeDecimals);
  if (out == line) return std::nullopt;
  return out;
}

ClickTrack MakeClickTrack(int count, double bpm, double leadIn, double tail) {
  ClickTrack track;
  const double beat = bpm > 0 ? 60.0 / bpm : 1.0;
  for (int i = 0; i < count; ++i) track.clicks.push_back(leadIn + i * beat);
  track.length = (track.clicks.empty() ? leadIn : track.clicks.back()) + tail;
  return track;
}

DelayMeasurement MeasureDelay(const std::vector<double>& clicks,
                              const std::vector<double>& presses) {
  DelayMeasurement m;
  m.clicks = static_cast<int>(clicks.size());
  if (clicks.empty()) return m;
  std::vector<double> sorted = clicks;
  std::sort(sorted.begin(), sorted.end());
  // Half the smallest gap: a press is never nearer to two clicks at once.
  double window = 0.5;
  for (size_t i = 1; i < sorted.size(); ++i)
    window = std::min(window, (sorted[i] - sorted[i - 1]) / 2);
  std::vector<bool> taken(sorted.size(), false);
  std::vector<double> delays;
  for (double press : presses) {
    const auto after = std::lower_bound(sorted.begin(), sorted.end(), press);
    size_t nearest = static_cast<size_t>(after - sorted.begin());
    if (nearest == sorted.size() ||
        (nearest > 0 && press - sorted[nearest - 1] < sorted[nearest] - press)) {
      --nearest;
    }
    const double delay = press - sorted[nearest];
    if (std::fabs(delay) >= window || taken[nearest]) continue;
    taken[nearest] = true;
    delays.push_back(delay * 1000);
  }
  m.used = static_cast<int>(delays.size());
  if (delays.empty()) return m;
  m.medianMs = Median(delays);
  std::vector<double> distances;
  for (double d : delays) distances.push_back(std::fabs(d - m.medianMs));
  m.spreadMs = Median(distances);
  m.usable = m.used >= std::max(3, (m.clicks + 1) / 2);
  m.suggestedDelayMs = ClampStampDelay(std::lround(m.medianMs));
  return m;
}

}  // namespace lirotag
