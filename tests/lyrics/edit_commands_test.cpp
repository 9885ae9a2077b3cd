#include "lyrics/edit_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/lyric_file.h"
#include "lyrics/info_tags.h"
#include "lyrics/text_box.h"
#include "lyrics/time_tags.h"

namespace lirotag {
namespace {

using Lines = std::vector<std::string>;

// A box with lines first..last selected and the focus elsewhere, as after the user
// selected them and left the box.
struct Fixture {
  explicit Fixture(Lines lines, int first = 0, int last = 0) : box(std::move(lines)) {
    box.SelectLines(first, last);
    editor.RangeFromSelection();
  }
  TextLyricBox box;
  LyricEditor editor{box};
};

void ExpectRange(const Fixture& f, int first, int last) {
  EXPECT_EQ(f.editor.RangeFirst(), first);
  EXPECT_EQ(f.editor.RangeLast(), last);
  EXPECT_EQ(f.box.SelectionFirstLine(), first);
  EXPECT_EQ(f.box.SelectionLastLine(), last);
  EXPECT_EQ(f.box.highlight_first(), first);
  EXPECT_EQ(f.box.highlight_last(), last);
}

enum class Cmd { kAdd, kReplace, kDelete, kSplit, kSort };

struct RangeCase {
  Cmd cmd;
  Lines lines;
  int first, last;
  Lines expected;
  int rangeFirst, rangeLast;
};

TEST(RangeCommands, RewriteTheRangeAndMoveItAsTheButtonsDo) {
  const Lines content = {"[33:44.55][00:11.22]Content"};
  const RangeCase cases[] = {
      {Cmd::kAdd, content, 0, 0, {"[01:05.00][33:44.55][00:11.22]Content"}, 0, 0},
      {Cmd::kReplace, content, 0, 0, {"[01:05.00]Content"}, 0, 0},
      {Cmd::kDelete, content, 0, 0, {"[00:11.22]Content"}, 0, 0},
      {Cmd::kDelete, {"abc[x]def", "plain", "[ti:T]"}, 0, 2, {"abcdef", "plain", "[ti:T]"}, 0, 2},
      // Add on lines 1-2: both stamped, the range moves on to line 3 alone.
      {Cmd::kAdd, {"a", "b", "c", "d"}, 1, 2, {"a", "[01:05.00]b", "[01:05.00]c", "d"}, 3, 3},
      // Headers get no special treatment from add and replace.
      {Cmd::kReplace, {"[ti:Song]", "x"}, 0, 0, {"[01:05.00][ti:Song]", "x"}, 1, 1},
      {Cmd::kAdd, {""}, 0, 0, {"[01:05.00]"}, 0, 0},
      {Cmd::kSplit,
       {"[ti:A][B]", "[00:01.00][00:02.00]Hi [x]", "[00:03.00]one", "end"},
       0,
       2,
       {"[ti:A][B]", "[00:01.00]Hi ", "[00:02.00]Hi ", "[x]Hi ", "[00:03.00]one", "end"},
       0,
       4},
      // Untagged lines (headers, plain, empty) keep their order in front; the tagged
      // ones sort by the time of their first tag, whatever its spelling, and lines of
      // the same time (a lyric and its translation) keep their order.
      {Cmd::kSort,
       {"[20:00.00]b", "[ti:T]", "[100:00.00]a", "", "plain", "[00:01.00]é", "[0:1.0]z", "k"},
       0,
       6,
       {"[ti:T]", "", "plain", "[00:01.00]é", "[0:1.0]z", "[20:00.00]b", "[100:00.00]a", "k"},
       0,
       6},
      {Cmd::kSort,
       {"[10:00.00]ten", "[5:00.00]five", "[00:05.00]你好", "[00:05.00]Hello", "[length:02:53.70]",
        "[00:01.00][09:00.00]one"},
       0,
       5,
       {"[length:02:53.70]", "[00:01.00][09:00.00]one", "[00:05.00]你好", "[00:05.00]Hello",
        "[5:00.00]five", "[10:00.00]ten"},
       0,
       5},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.lines.front());
    Fixture f(c.lines, c.first, c.last);
    const auto at65 = [] { return 65.0; };
    switch (c.cmd) {
      case Cmd::kAdd:
        f.editor.AddTag(at65, false);
        break;
      case Cmd::kReplace:
        f.editor.ReplaceTags(at65, false);
        break;
      case Cmd::kDelete:
        f.editor.DeleteTag();
        break;
      case Cmd::kSplit:
        f.editor.SplitRangeTags();
        break;
      case Cmd::kSort:
        f.editor.SortRangeByTime();
        break;
    }
    EXPECT_EQ(f.box.lines(), c.expected);
    ExpectRange(f, c.rangeFirst, c.rangeLast);
  }
}

TEST(RangeCommands, StampReadsTheClockForEveryLineAndKeepsTheLineInView) {
  Lines lines(20, "x");
  Fixture f(lines, 0, 2);
  double t = 1.0;
  f.editor.AddTag([&] { return t += 0.5; }, true);
  EXPECT_EQ(f.box.Line(0), "[00:01.500]x");
  EXPECT_EQ(f.box.Line(1), "[00:02.000]x");
  EXPECT_EQ(f.box.Line(2), "[00:02.500]x");
  // Line after line, the view scrolls once the working line is 7 lines down.
  for (int n = 3; n < 12; ++n) f.editor.AddTag([] { return 0.0; }, false);
  EXPECT_EQ(f.box.FirstVisibleLine(), 12 - 1 - 6 - 1 + 1);
  // At the last line the range stays there.
  Fixture last({"a", "b"}, 1, 1);
  last.editor.AddTag([] { return 0.0; }, false);
  ExpectRange(last, 1, 1);
}

TEST(RangeCommands, FocusAndMovesFollowTheBoxesSelection) {
  Fixture f({"a", "b", "c"}, 1, 1);
  f.box.set_focused(true);
  f.editor.OnFocusGained();
  EXPECT_GT(f.box.highlight_first(), f.box.highlight_last());  // normal colour while editing
  // A selection that ends at the start of line 2 takes in line 2.
  f.box.SelectLines(0, 2);
  bool moved = false;
  f.editor.CommonStart([&] {
    moved = true;
    f.box.set_focused(false);
  });
  EXPECT_TRUE(moved);
  ExpectRange(f, 0, 2);
  f.editor.MoveHighlightUp();
  ExpectRange(f, 0, 0);
  for (int i = 0; i < 5; ++i) f.editor.MoveHighlightDown();
  ExpectRange(f, 2, 2);
  // Text replaced under the range: it stays within the box.
  f.box.SetWholeText("only");
  f.editor.MoveHighlightDown();
  ExpectRange(f, 0, 0);
}

struct WholeCase {
  const char* name;
  Lines lines;
  Lines expected;
  bool three = false;
};

TEST(WholeTextCommands, RewriteTheTextAndPutTheRangeOnLineZero) {
  const WholeCase fold[] = {
      {"tooltip", {"[33:44.55]Content", "[00:11.22]  Content "}, {"[33:44.55][00:11.22]Content"}},
      {"untagged first, empty last line dropped",
       {"[ti:A]", "[00:01.00]x", "plain", "[00:02.00]x", "[00:03.00]", "[00:04.00]", ""},
       {"[ti:A]", "plain", "[00:01.00][00:02.00]x", "[00:03.00][00:04.00]"}},
      {"case counts", {"[00:01.00]A", "[00:02.00]a"}, {"[00:01.00]A", "[00:02.00]a"}},
  };
  for (const WholeCase& c : fold) {
    SCOPED_TRACE(c.name);
    Fixture f(c.lines, 1, 1);
    f.editor.FoldText();
    EXPECT_EQ(f.box.lines(), c.expected);
    ExpectRange(f, 0, 0);
  }
  const WholeCase blank[] = {
      {"spaces", {"  abc  ", " ", "\xE3\x80\x80", "", "\xE3\x80\x80 x"}, {"abc  ", "x"}},
      {"all blank", {" ", "", ""}, {""}},
  };
  for (const WholeCase& c : blank) {
    SCOPED_TRACE(c.name);
    Fixture f(c.lines);
    f.editor.RemoveBlankLines();
    EXPECT_EQ(f.box.lines(), c.expected);
  }
  const WholeCase offset[] = {
      {"tooltip",
       {"[offset:1000]", "[33:44.55][00:11.22]Content"},
       {"[33:45.55][00:12.22]Content", ""}},
      {"below zero", {"[OFFSET:-2000]", "[00:01.00]a"}, {"[00:00.00]a", ""}},
      // Every tag keeps its exact time: 1.29 s and 0.07 s are no binary fractions.
      {"exact",
       {"[00:01.29]a", "[offset:-10]", "[00:00.17]b", "[00:00.07]c"},
       {"[00:01.28]a", "[00:00.16]b", "[00:00.06]c", ""}},
      {"three decimals", {"[offset:1]", "[00:01.29]a"}, {"[00:01.291]a", ""}, true},
      {"the offset tag's line keeps its lyric; all offset lines go",
       {"[ti:T]", "[offset:102][00:00.17]誰か", "plain", "[offset:500]", "a[x]y"},
       {"[ti:T]", "[00:00.27]誰か", "plain", "[00:00.10]ay", ""}},
      {"headers stay as they are",
       {"[id:1421304018]", "[length:02:53.70]", "[au:]", "[re:]", "[ve:]", "[la:]", "[#:]",
        "[Chorus]", "[offset:+250]", "[00:01.00]a"},
       {"[id:1421304018]", "[length:02:53.70]", "[au:]", "[re:]", "[ve:]", "[la:]", "[#:]",
        "[Chorus]", "[00:01.25]a", ""}},
      {"an empty value is 0", {"[offset:]", "[0:1:5]a"}, {"[00:01.50]a", ""}},
  };
  for (const WholeCase& c : offset) {
    SCOPED_TRACE(c.name);
    Fixture f(c.lines);
    EXPECT_TRUE(f.editor.IntegrateOffsetTags(c.three));
    EXPECT_EQ(f.box.lines(), c.expected);
  }
  // Without an offset line nothing happens, not even to the range.
  Fixture none({"[00:01.00]a", "b"}, 1, 1);
  std::string refused = "x";
  EXPECT_FALSE(none.editor.IntegrateOffsetTags(false, &refused));
  EXPECT_EQ(none.box.lines(), (Lines{"[00:01.00]a", "b"}));
  EXPECT_EQ(refused, "");
  ExpectRange(none, 1, 1);
  // Neither with an offset no song can have: the caller learns which tag it was.
  for (const char* tag : {"[offset:1e400]", "[offset:NaN]", "[OFFSET:inf]", "[offset:86400001]",
                          "[offset:-9e7]", "[offset:abc", "[offset:１e９]"}) {
    Fixture absurd({"[ti:T]", tag, "[00:01.00]a"}, 2, 2);
    EXPECT_FALSE(absurd.editor.IntegrateOffsetTags(false, &refused)) << tag;
    EXPECT_EQ(absurd.box.lines(), (Lines{"[ti:T]", tag, "[00:01.00]a"}));
    EXPECT_EQ(refused, tag);
    ExpectRange(absurd, 2, 2);
  }
  // A day either way is still taken.
  Fixture day({"[offset:-86400000]", "[24:00:00.00]a"});
  EXPECT_TRUE(day.editor.IntegrateOffsetTags(false));
  EXPECT_EQ(day.box.lines(), (Lines{"[00:00.00]a", ""}));
  // Integrating again, after another offset line is typed, changes the times only: no
  // line is added at the end.
  Fixture twice({"[00:01.00]a", ""});
  for (int pass = 0; pass < 3; ++pass) {
    twice.box.SetWholeText("[offset:1000]\r\n" + GetLyricText(twice.box));
    EXPECT_TRUE(twice.editor.IntegrateOffsetTags(false));
  }
  EXPECT_EQ(twice.box.lines(), (Lines{"[00:04.00]a", ""}));
}

// Header lines that real files carry stay as they are under every command; only the
// lines they stand between move.
TEST(WholeTextCommands, HeaderLinesOfRealFilesStayAsTheyAre) {
  const Lines headers = {"[id:1421304018]", "[length:02:53.70]", "[au:]",       "[re:Caf Player]",
                         "[ve:1.0]",        "[la:ja]",           "[#:comment]", "[Chorus]",
                         "[ti:T]",          "[tool:x][00:01.00]"};
  Lines lines = headers;
  lines.push_back("[00:02.00]b");
  lines.push_back("[00:01.00]a");
  Fixture f(lines, 0, static_cast<int>(lines.size()) - 1);
  f.editor.SplitRangeTags();
  f.editor.DeleteTag();
  Lines stripped = headers;
  stripped.push_back("b");
  stripped.push_back("a");
  EXPECT_EQ(f.box.lines(), stripped);
  Fixture sorted(lines, 0, static_cast<int>(lines.size()) - 1);
  sorted.editor.SortRangeByTime();
  Lines expected = headers;
  expected.push_back("[00:01.00]a");
  expected.push_back("[00:02.00]b");
  EXPECT_EQ(sorted.box.lines(), expected);
  Fixture folded(lines);
  folded.editor.FoldText();
  EXPECT_EQ(folded.box.lines(), lines);
}

TEST(Jump, CyclesThroughTheTagsOfTheFirstLineOfTheRange) {
  Fixture f({"[33:44.55][00:11.22]Content", "[00:05.00]a", "[ti:T]", "plain"}, 0, 1);
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) times.push_back(*f.editor.NextJumpTime());
  EXPECT_EQ(times, (std::vector<double>{2024.55, 11.22, 2024.55}));
  f.editor.MoveHighlightUp();
  EXPECT_EQ(*f.editor.NextJumpTime(), 11.22);  // the same line goes on with its cycle
  f.editor.MoveHighlightDown();
  EXPECT_EQ(*f.editor.NextJumpTime(), 5.0);
  EXPECT_EQ(*f.editor.NextJumpTime(), 5.0);
  f.editor.MoveHighlightUp();
  EXPECT_EQ(*f.editor.NextJumpTime(), 2024.55);  // another line was between: starts again
  f.editor.MoveHighlightDown();
  f.editor.MoveHighlightDown();
  EXPECT_FALSE(f.editor.NextJumpTime());
  f.editor.MoveHighlightDown();
  EXPECT_FALSE(f.editor.NextJumpTime());
}

TEST(Editing, BadInputNeitherCrashesNorHangs) {
  const std::string huge(100000, 'x');
  Lines lines = {"[99999:99.999]" + huge, "[-1:00]a",    "[00:1e400]b", "[:]", "[[[", "]]",
                 std::string("a\0b", 3),  "\xFF\xFE bad"};
  for (int i = 0; i < 50000; ++i) lines.push_back("[00:0" + std::to_string(i % 10) + ".00]l");
  Fixture f(lines, 0, static_cast<int>(lines.size()) - 1);
  f.editor.SplitRangeTags();
  f.editor.SortRangeByTime();
  f.editor.DeleteTag();
  f.editor.ReplaceTags([] { return 1e300; }, true);
  f.editor.FoldText();
  EXPECT_EQ(f.box.LineCount(), 8);  // one line per distinct text
  lines.insert(lines.begin(), "[offset:1e300]");
  Fixture o(lines);
  EXPECT_FALSE(o.editor.IntegrateOffsetTags(false));
  lines[0] = "[offset:8.64e7]";
  Fixture day(lines);
  EXPECT_TRUE(day.editor.IntegrateOffsetTags(false));
  EXPECT_EQ(day.box.Line(0).substr(0, 15), "[101440:39.99]x");
}

// Real lyric files: the commands keep every line's text and every tag.
TEST(Editing, RealFilesKeepTheirLinesAndTags) {
  const std::filesystem::path corpus = LIROTAG_LRC_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text = DecodeLyricBytes(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    TextLyricBox original = TextLyricBox::FromText(text);
    Fixture f(original.lines(), 0, original.LineCount() - 1);
    f.editor.SortRangeByTime();
    Lines sorted = f.box.lines(), before = original.lines();
    std::sort(sorted.begin(), sorted.end());
    std::sort(before.begin(), before.end());
    EXPECT_EQ(sorted, before) << entry.path();
    size_t tags = 0;
    for (const std::string& line : before) tags += std::max<size_t>(1, TagList(line).size());
    f.editor.SplitRangeTags();
    EXPECT_EQ(static_cast<size_t>(f.box.LineCount()), tags) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 70);
}

}  // namespace
}  // namespace lirotag

namespace lirotag {
namespace {

TEST(InfoTags, TakesEveryHeaderLineAndPutsTheValuesFirst) {
  std::vector<std::string> lines = {
      "x", "[Ti:Song]", "[ar:x]", "[offset:5]", "[AR:y]", "[al:a]b]", "[by:", "[ti:t]", ""};
  AdditionalInfo info;
  info.InfoBy = "kept until the scan";
  ScanInfoTags(&lines, &info);
  EXPECT_EQ(lines, (Lines{"x", "[offset:5]", ""}));
  EXPECT_EQ(info.InfoTi, "t");
  EXPECT_EQ(info.InfoAr, "y");
  EXPECT_EQ(info.InfoAl, "a");
  EXPECT_EQ(info.InfoBy, "");
  EXPECT_FALSE(UpdateInfoTags(&lines, &info, [](AdditionalInfo*) { return false; }));
  EXPECT_TRUE(UpdateInfoTags(&lines, &info, [](AdditionalInfo* i) {
    i->InfoBy = "me";
    return true;
  }));
  EXPECT_EQ(lines, (Lines{"[ti:t]", "[ar:y]", "[al:a]", "[by:me]", "x", "[offset:5]", ""}));
}

}  // namespace
}  // namespace lirotag

namespace lirotag {
namespace {

// Every command on lines that tempt a scanner into quadratic work: a million stray "]",
// unclosed "[", lone "<" and CRs, and many short lines. Each must finish in time linear in
// the text; the test's timeout (see CMakeLists.txt) fails a quadratic one, which runs for
// hours on these.
TEST(LinearTime, EveryCommandOnPathologicalText) {
  constexpr size_t kBig = 1000000;
  const Lines shapes[] = {
      {std::string(kBig, ']')},
      {"[00:01.00]" + std::string(kBig, ']')},
      {std::string(kBig, '[')},
      {"x" + std::string(kBig, '[') + "]"},
      {std::string(kBig / 2, '<') + std::string(kBig / 2, '1')},
      {[] {
        std::string words = "[00:01.00]";
        for (size_t i = 0; i < kBig / 20; ++i) words += "<00:01.00>ab ";
        return words;
      }()},
      Lines(kBig / 10, "[00:02.00][00:01.00]<00:01.00>a"),
  };
  for (const Lines& lines : shapes) {
    Fixture f(lines, 0, static_cast<int>(lines.size()) - 1);
    const auto keepRange = [&] {
      f.box.SelectLines(0, f.box.LineCount() - 1);
      f.editor.RangeFromSelection();
    };
    f.editor.SplitRangeTags();
    keepRange();
    f.editor.SortRangeByTime();
    f.editor.StripRangeWordTags();
    f.editor.AddWordTag([] { return 1.0; }, false);
    keepRange();
    f.editor.DeleteWordTag();
    f.editor.RestartWordTags();
    f.editor.DeleteTag();
    f.editor.ReplaceTags([] { return 2.0; }, false);
    keepRange();
    f.editor.AddTag([] { return 3.0; }, true);
    f.editor.NextJumpTime();
    f.editor.FoldText();
    f.box.SetWholeText("[offset:5]\r\n" + GetLyricText(f.box));
    f.editor.IntegrateOffsetTags(false);
    f.editor.RemoveBlankLines();
  }
  // A line of stray "]" has no tag to split at.
  EXPECT_EQ(SplitTags(std::string(kBig, ']')).size(), 1u);
  EXPECT_EQ(LyricTextFromBytes(std::string(kBig, '\r')).size(), 2 * kBig);
}

}  // namespace
}  // namespace lirotag
