#include "lyrics/stamp_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "lyrics/edit_commands.h"
#include "lyrics/text_box.h"
#include "lyrics/time_tags.h"

namespace lirotag {
namespace {

using Lines = std::vector<std::string>;

TEST(StampDelay, TakesTheDelayOutNeverBelowZero) {
  const struct {
    double heard;
    double delayMs;
    const char* written;
  } cases[] = {
      {2.0, 300, "00:01.70"},   {0.2, 300, "00:00.00"},
      {65.0, 1000, "01:04.00"}, {5.0, 5000, "00:04.00"},  // held at the most
      {5.0, -40, "00:05.00"},   {5.0, 0.9, "00:05.00"},   // no delay, a fraction of none
      {1.29, 10, "00:01.28"},                             // exact hundredths stay exact
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatTime(CompensatedTime(c.heard, ClampStampDelay(c.delayMs)), false), c.written)
        << c.heard << " - " << c.delayMs;
  }
  EXPECT_EQ(ClampStampDelay(std::nan("")), 0);
  EXPECT_EQ(ClampStampDelay(999.9), 999);
}

TEST(Nudge, MovesEveryTimeTagOfTheLineAndNothingElse) {
  const struct {
    const char* line;
    double delta;
    bool three;
    const char* nudged;  // nullptr: unchanged
  } cases[] = {
      {"[00:01.00]<00:01.00>床<00:01.50>前", 0.1, false, "[00:01.10]<00:01.10>床<00:01.60>前"},
      {"[00:01.00]<00:01.00>床<00:01.50>前", -0.1, false, "[00:00.90]<00:00.90>床<00:01.40>前"},
      {"[00:01.00]<00:01.00>床<00:01.50>前", 0.01, false, "[00:01.01]<00:01.01>床<00:01.51>前"},
      {"[00:59.95][01:30.00]chorus", 0.1, false, "[01:00.05][01:30.10]chorus"},
      // Thousandths when asked, whatever the tag had; cut, as every tag is written.
      {"[00:01.234]a", 0.01, true, "[00:01.244]a"},
      {"[00:01.234]a", 0.01, false, "[00:01.24]a"},
      {"[00:01.5]a", 0.1, true, "[00:01.600]a"},
      {"[1:02:03.50]x", 0.1, false, "[62:03.60]x"},
      // Never below 0; a tag already there stays, and alone makes no change.
      {"[00:00.05]<00:00.05>a<00:00.30>b", -0.1, false, "[00:00.00]<00:00.00>a<00:00.20>b"},
      {"[00:00.00]a", -0.1, false, nullptr},
      // Other tags, stray brackets and an unclosed tag are text.
      {"[00:01.00]a [x] b] [00:02", 0.1, false, "[00:01.10]a [x] b] [00:02"},
      {"a<00:02.00>b", 0.1, false, "a<00:02.10>b"},
      {"[ti:<00:01.00>]", 0.1, false, nullptr},
      {"[offset:100]", 0.1, false, nullptr},
      {"no tags <3", 0.1, false, nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> got = NudgeTimeTags(c.line, c.delta, c.three);
    if (c.nudged) {
      EXPECT_EQ(got.value_or("(none)"), c.nudged) << c.line << " by " << c.delta;
    } else {
      EXPECT_FALSE(got) << c.line;
    }
  }
  // Many small steps do not drift: a hundred up and a hundred down land where they began.
  std::string line = "[00:00.00]<00:00.00>a";
  for (int i = 0; i < 100; ++i) line = NudgeTimeTags(line, 0.01, false).value();
  EXPECT_EQ(line, "[00:01.00]<00:01.00>a");
  for (int i = 0; i < 100; ++i) line = NudgeTimeTags(line, -0.01, false).value();
  EXPECT_EQ(line, "[00:00.00]<00:00.00>a");
}

TEST(Nudge, MovingOneTagTakesTheWordsOnlyWithTheTagTheyBelongTo) {
  const struct {
    const char* line;
    int index;
    double to;
    const char* moved;
  } cases[] = {
      {"[00:01.00]<00:01.00>a <00:01.50>b", 0, 2.0, "[00:02.00]<00:02.00>a <00:02.50>b"},
      {"[00:05.00][00:01.00]<00:01.00>a", 0, 6.0, "[00:06.00][00:01.00]<00:01.00>a"},
      {"[00:05.00][00:01.00]<00:01.00>a", 1, 2.0, "[00:05.00][00:02.00]<00:02.00>a"},
      {"[00:03.00][x]a", 0, 2.999, "[00:02.99][x]a"},
      {"[00:03.00]<00:03.00>a", 0, -1.0, "[00:00.00]<00:00.00>a"},
      {"[00:03.00]a", 1, 2.0, nullptr},
      {"[00:03.00]a", 0, 3.001, nullptr},  // the same tag when written
      {"[ar:x]", 0, 2.0, nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> got = MoveTimeTag(c.line, c.index, c.to, false);
    if (c.moved) {
      EXPECT_EQ(got.value_or("(none)"), c.moved) << c.line;
    } else {
      EXPECT_FALSE(got) << c.line;
    }
  }
}

TEST(Nudge, TheEditorMovesTheRangeInOneReplacementAndKeepsIt) {
  TextLyricBox box({"[ti:t]", "[00:01.00]<00:01.00>a", "b", "[00:03.00]c", "[00:04.00]d"});
  LyricEditor editor(box);
  box.SelectLines(1, 3);
  editor.RangeFromSelection();
  editor.NudgeRange(0.1, false);
  EXPECT_EQ(box.lines(),
            (Lines{"[ti:t]", "[00:01.10]<00:01.10>a", "b", "[00:03.10]c", "[00:04.00]d"}));
  EXPECT_EQ(editor.RangeFirst(), 1);
  EXPECT_EQ(editor.RangeLast(), 3);
  EXPECT_EQ(box.highlight_first(), 1);
  EXPECT_EQ(box.highlight_last(), 3);
  // A dragged mark: one line's tag, the range and its selection where they were.
  EXPECT_TRUE(editor.MoveLineTag(4, 0, 5.5, true));
  EXPECT_EQ(box.Line(4), "[00:05.500]d");
  EXPECT_EQ(box.SelectionFirstLine(), 1);
  EXPECT_EQ(box.SelectionLastLine(), 3);
  EXPECT_FALSE(editor.MoveLineTag(2, 0, 1.0, false));  // no tag to move
  EXPECT_FALSE(editor.MoveLineTag(9, 0, 1.0, false));
}

TEST(Calibration, TheMedianDelayOfThePressesThatMatchAClick) {
  const ClickTrack track = MakeClickTrack(12, 90, 1.5, 1.0);
  ASSERT_EQ(track.clicks.size(), 12u);
  EXPECT_DOUBLE_EQ(track.clicks[0], 1.5);
  EXPECT_NEAR(track.clicks[3] - track.clicks[2], 60.0 / 90, 1e-12);
  EXPECT_NEAR(track.length, 1.5 + 11 * 60.0 / 90 + 1.0, 1e-12);

  const auto pressed = [&](std::vector<double> lateness) {
    std::vector<double> presses;
    for (size_t i = 0; i < lateness.size(); ++i) {
      if (!std::isnan(lateness[i])) presses.push_back(track.clicks[i] + lateness[i]);
    }
    return presses;
  };
  const double miss = std::nan("");
  const struct {
    std::vector<double> presses;
    int used;
    double median, spread;
    bool usable;
    int suggested;
  } cases[] = {
      {pressed({.2, .2, .2, .2, .2, .2, .2, .2, .2, .2, .2, .2}), 12, 200, 0, true, 200},
      {pressed({.18, .22, .2, .25, .15, .21, .19, .2, .2, .23, .17, .2}), 12, 200, 15, true, 200},
      // A missed click, a key pressed twice, one before the track and one far after it.
      {[&] {
         auto p = pressed({.25, miss, .25, .25, .25, .25, .25, .25, .25, .25, .25, .26});
         p.push_back(track.clicks[4] + .3);
         p.push_back(0.1);
         p.push_back(track.length + 5);
         return p;
       }(),
       11, 250, 0, true, 250},
      // Early presses are measured, and mean no delay to take out.
      {pressed({-.05, -.05, -.04, -.06, -.05, -.05}), 6, -50, 0, true, 0},
      {pressed({.3, .3}), 2, 300, 0, false, 300},
      {{}, 0, 0, 0, false, 0},
  };
  for (const auto& c : cases) {
    const DelayMeasurement m = MeasureDelay(track.clicks, c.presses);
    EXPECT_EQ(m.clicks, 12);
    EXPECT_EQ(m.used, c.used);
    EXPECT_NEAR(m.medianMs, c.median, 1e-6);
    EXPECT_NEAR(m.spreadMs, c.spread, 1e-6);
    EXPECT_EQ(m.usable, c.usable);
    EXPECT_EQ(m.suggestedDelayMs, c.suggested);
  }
  // Presses come in the order they happen, but need not: the matching does not care.
  std::vector<double> reversed = pressed({.1, .2, .3});
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_NEAR(MeasureDelay(track.clicks, reversed).medianMs, 200, 1e-6);
}

}  // namespace
}  // namespace lirotag
