#pragma once

// The human side of stamping by ear: the user's own reaction delay taken out of every
// stamp, its measurement against a click track, and moving the time tags of a line
// afterwards (by a nudge or to a new time).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

// The reaction delay the user may set, in milliseconds.
inline constexpr int kMaxStampDelayMs = 1000;

// The delay held within 0..kMaxStampDelayMs.
int ClampStampDelay(double milliseconds);
// The time a stamp writes for a key pressed at `heard` seconds: `delayMs` earlier, never
// below 0.
double CompensatedTime(double heard, int delayMs);

// Every time tag of the line, line tags and word tags alike, moved by `delta` seconds
// (none below 0) and written with two or three decimals. Other tags and the text keep
// their bytes. None when nothing changes (a header line, no time tags, all at 0 and
// moved earlier).
std::optional<std::string> NudgeTimeTags(std::string_view line, double delta, bool threeDecimals);

// The line's `index`-th time tag (0-based, among its closed time tags) set to `seconds`
// (not below 0). When it is the tag the word tags belong to (the line's earliest), they
// move by as much. None when the tag does not exist or nothing changes.
std::optional<std::string> MoveTimeTag(std::string_view line, int index, double seconds,
                                       bool threeDecimals);

// A click track to measure the delay with: `count` clicks `60 / bpm` seconds apart, the
// first after `leadIn` seconds; the track lasts `tail` seconds past the last click.
struct ClickTrack {
  std::vector<double> clicks;
  double length = 0;
};
ClickTrack MakeClickTrack(int count, double bpm, double leadIn, double tail);

// How late the key presses came after the clicks (seconds of the track, both). Each press
// counts for the click nearest to it, within half a beat either way, and only the first
// press for a click: a missed click or a stray press does not spoil the rest.
struct DelayMeasurement {
  int clicks = 0;            // clicks in the track
  int used = 0;              // presses matched to a click
  double medianMs = 0;       // the median delay (negative when the user was early)
  double spreadMs = 0;       // the median distance of the delays from that median
  bool usable = false;       // enough presses matched to trust it: half the clicks, at least 3
  int suggestedDelayMs = 0;  // the median as a setting: rounded and clamped
};
DelayMeasurement MeasureDelay(const std::vector<double>& clicks,
                              const std::vector<double>& presses);

}  // namespace lirotag
