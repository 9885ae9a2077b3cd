#include "lyrics/words.h"

#include <gtest/gtest.h>

#include "lyrics/edit_commands.h"
#include "lyrics/tag_index.h"
#include "lyrics/text_box.h"
#include "lyrics/time_tags.h"

namespace lirotag {
namespace {

using Lines = std::vector<std::string>;

// The words of a line as "word=time|…" (time left out when untimed).
std::string Describe(std::string_view line) {
  std::string out;
  for (const Word& w : FindWords(line).words) {
    if (!out.empty()) out += '|';
    out.append(line.substr(w.begin, w.end - w.begin));
    if (w.time >= 0) out += "=" + FormatTime(w.time, false);
  }
  return out;
}

TEST(Words, FollowTheScriptOfEachCharacter) {
  const std::pair<const char*, const char*> cases[] = {
      {"床前明月光，疑是地上霜。", "床|前|明|月|光|疑|是|地|上|霜"},
      // A small kana joins the kana before it; っ, ー and kanji stand alone.
      {"今日はきょう、ラーメンちょっと", "今|日|は|きょ|う|ラ|ー|メ|ン|ちょ|っ|と"},
      {"사랑해요 널", "사|랑|해|요|널"},
      {"Don't stop, rock'n'roll! 'Cause I’m 'here' -- ok?",
       "Don't|stop|rock'n'roll|Cause|I’m|here|ok"},
      {"I love 你 2day, cafe\xCC\x81 naïve", "I|love|你|2day|cafe\xCC\x81|naïve"},
      {"\xFF\xFE bad\xE4\xB8 <3 <br> ♪", "bad|3|br"},
      // Tags: bracketed ones are skipped, a word tag times the word after it and ends a
      // run; with two in a row the later counts; one at the end times nothing.
      {"[00:12.00]<00:12.00>床<00:12.48>前 明[x]月", "床=00:12.00|前=00:12.48|明|月"},
      {"beau<00:01.00>ti<00:02.00><00:02.50>ful<00:03.00>", "beau|ti=00:01.00|ful=00:02.50"},
      {"<1:2.3.4>a<:>b", "1|2|3|4|a|b"},
      {"[ti:<00:01.00>Song]", ""},
      {"[00:01.00]a[b c", "a"},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(Describe(line), words) << line;
  // The word's spaces and punctuation follow it; leading ones go with the first word.
  const std::string line = "[00:01.00] (oh), <00:02.00> me!";
  const LineWords found = FindWords(line);
  ASSERT_EQ(found.words.size(), 2u);
  EXPECT_EQ(line.substr(found.words[0].start, found.words[0].stop - found.words[0].start),
            " (oh), ");
  EXPECT_EQ(line.substr(found.words[1].start), "<00:02.00> me!");
  EXPECT_EQ(found.tags[0].word, 1);
}

// A box whose range is line `first` (and the focus elsewhere).
struct Fixture {
  Fixture(Lines lines, int first, int last) : box(std::move(lines)) {
    box.SelectLines(first, last);
    editor.RangeFromSelection();
  }
  TextLyricBox box;
  LyricEditor editor{box};
};

struct Step {
  char key;  // A stamp, D take back, R restart, U up, T stamp in thousandths
  double time;
  int line;
  const char* expected;  // line `line` after the step
  int range;
};

TEST(WordStamps, StampTakeBackAndRestartLineByLine) {
  Fixture f({"  (Oh) don't go", "", "[00:30.00]<00:30.00>東京へ", "[ti:T]", "end"}, 0, 0);
  const Step steps[] = {
      {'A', 1.0, 0, "[00:01.00]<00:01.00>  (Oh) don't go", 0},
      {'A', 1.5, 0, "[00:01.00]<00:01.00>  (Oh) <00:01.50>don't go", 0},
      {'A', 2.0, 0, "[00:01.00]<00:01.00>  (Oh) <00:01.50>don't <00:02.00>go", 1},
      {'A', 3.0, 1, "[00:03.00]", 2},  // no word: the line tag alone
      {'T', 4.0, 2, "[00:30.00]<00:30.00>東<00:04.000>京へ", 2},
      {'A', 4.5, 2, "[00:30.00]<00:30.00>東<00:04.000>京<00:04.50>へ", 3},
      {'A', 5.0, 3, "[ti:T]", 4},  // header: skipped
      {'D', 0, 4, "end", 4},       // nothing above
      {'U', 0, 3, "[ti:T]", 3},
      {'D', 0, 2, "[00:30.00]<00:30.00>東<00:04.000>京へ", 2},  // moved up
      {'A', 6.0, 2, "[00:30.00]<00:30.00>東<00:04.000>京<00:06.00>へ", 3},
      {'U', 0, 2, "[00:30.00]<00:30.00>東<00:04.000>京<00:06.00>へ", 2},
      {'A', 7.0, 2, "[00:30.00]<00:30.00>東<00:04.000>京<00:06.00>へ", 3},  // done: moves on
      {'U', 0, 2, "[00:30.00]<00:30.00>東<00:04.000>京<00:06.00>へ", 2},
      {'U', 0, 1, "[00:03.00]", 1},
      {'U', 0, 0, "[00:01.00]<00:01.00>  (Oh) <00:01.50>don't <00:02.00>go", 0},
      {'D', 0, 0, "[00:01.00]<00:01.00>  (Oh) <00:01.50>don't go", 0},
      {'D', 0, 0, "[00:01.00]<00:01.00>  (Oh) don't go", 0},
      {'D', 0, 0, "  (Oh) don't go", 0},  // the line tag goes with the first word tag
      {'D', 0, 0, "  (Oh) don't go", 0},
      {'A', 8.0, 0, "[00:08.00]<00:08.00>  (Oh) don't go", 0},
      {'R', 0, 0, "  (Oh) don't go", 0},
      {'A', 9.0, 0, "[00:09.00]<00:09.00>  (Oh) don't go", 0},
      {'A', 9.1, 0, "[00:09.00]<00:09.00>  (Oh) <00:09.10>don't go", 0},
      {'A', 9.2, 0, "[00:09.00]<00:09.00>  (Oh) <00:09.10>don't <00:09.20>go", 1},
      {'D', 0, 1, "", 1},  // a stamped word-less line loses its tag
      {'R', 0, 0, "  (Oh) don't go", 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(1, s.key) + " → " + s.expected);
    const auto clock = [&s] { return s.time; };
    switch (s.key) {
      case 'A':
      case 'T':
        f.editor.AddWordTag(clock, s.key == 'T');
        break;
      case 'D':
        f.editor.DeleteWordTag();
        break;
      case 'R':
        f.editor.RestartWordTags();
        break;
      case 'U':
        f.editor.MoveHighlightUp();
        break;
    }
    EXPECT_EQ(f.box.Line(s.line), s.expected);
    EXPECT_EQ(f.editor.RangeFirst(), s.range);
    EXPECT_EQ(f.box.highlight_first(), s.range);
    EXPECT_EQ(f.box.highlight_last(), s.range);
  }
}

TEST(WordStamps, ARangeIsStampedLineByLineAndMovesOnWhenAllAreDone) {
  Fixture f({"a b", "[00:01.00]c", "d", "[ar:x]", "next"}, 0, 3);
  double t = 10;
  const auto clock = [&t] { return t += 1; };
  f.editor.AddWordTag(clock, false);
  // A line that came with a time starts at its first word.
  EXPECT_EQ(f.box.lines(), (Lines{"[00:11.00]<00:11.00>a b", "[00:12.00]<00:12.00>c",
                                  "[00:13.00]<00:13.00>d", "[ar:x]", "next"}));
  EXPECT_EQ(f.editor.RangeFirst(), 0);
  f.editor.AddWordTag(clock, false);  // only "b" is left: one clock reading
  EXPECT_EQ(f.box.Line(0), "[00:11.00]<00:11.00>a <00:14.00>b");
  EXPECT_EQ(f.editor.RangeFirst(), 4);
  f.box.SelectLines(0, 4);
  f.editor.RangeFromSelection();
  f.editor.StripRangeWordTags();
  EXPECT_EQ(f.box.lines(),
            (Lines{"[00:11.00]a b", "[00:12.00]c", "[00:13.00]d", "[ar:x]", "next"}));
}

// A loaded lyric's line time is a guess made line by line; the first word stamp says when
// the line really starts. Later stamps and other tags leave the line tags alone.
TEST(WordStamps, TheFirstWordStampGivesALoadedLineItsTime) {
  const struct {
    const char* line;
    const char* stamped;
  } cases[] = {
      {"[00:06.00]歌词", "[00:15.36]<00:15.36>歌词"},
      {"[01:30.00][00:06.00]歌", "[01:30.00][00:15.36]<00:15.36>歌"},
      {"[00:06.00][x] (oh) la", "[00:15.36][x]<00:15.36> (oh) la"},
      {"[00:06.00]<00:06.00>歌<00:07.00>词", nullptr},
      {"[00:06.00]<00:06.00>歌词", "[00:06.00]<00:06.00>歌<00:15.36>词"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> got = StampNextWord(c.line, "00:15.36");
    EXPECT_EQ(got.value_or("(none)"), c.stamped ? c.stamped : "(none)") << c.line;
  }
}

// Word tags as files write them, between spaces too: plain timing keeps single spaces.
TEST(WordStamps, StrippingLeavesTheSpacingOfPlainText) {
  const std::pair<const char*, const char*> cases[] = {
      {"[00:19.51]You <00:19.73> gotta <00:20.00> go", "[00:19.51]You gotta go"},
      {"[00:01.00]<00:01.00>a <00:01.20><00:01.40> b", "[00:01.00]a b"},
      {"[00:01.00]<00:01.00> lead <00:02.00>", "[00:01.00] lead "},
      {"[00:01.00]床<00:01.30>前 <00:01.60>明", "[00:01.00]床前 明"},
      {"[00:01.00]two  <00:01.00>  spaces", "[00:01.00]two   spaces"},
  };
  for (const auto& [line, plain] : cases) EXPECT_EQ(StripWordTags(line), plain) << line;
}

// Split, sort, fold, the line stamps and integrate offset keep each line's word tags.
TEST(WordStamps, OtherCommandsCarryWordTagsWithTheirLine) {
  const std::string words = "<00:01.00>a <00:01.50>b";
  // Word tags belong to the line's earliest time: each copy of a split line and a line
  // given a new time take them along.
  Fixture split({"[00:05.00][00:01.00]" + words}, 0, 0);
  split.editor.SplitRangeTags();
  EXPECT_EQ(split.box.lines(), (Lines{"[00:05.00]<00:05.00>a <00:05.50>b", "[00:01.00]" + words}));
  split.editor.ReplaceTags([] { return 2.0; }, false);
  split.editor.AddTag([] { return 3.0; }, false);
  EXPECT_EQ(split.box.lines(), (Lines{"[00:02.00]<00:02.00>a <00:02.50>b",
                                      "[00:03.00][00:02.00]<00:02.00>a <00:02.50>b"}));
  const struct {
    Lines line, split;
  } shapes[] = {
      {{"[00:19.51][00:33.09]You <00:19.73>gotta"},
       {"[00:19.51]You <00:19.73>gotta", "[00:33.09]You <00:33.31>gotta"}},
      // Thousandths stay thousandths; a tag that is no time leaves the words alone.
      {{"[01:00.000][00:10.000]<00:10.125>x<00:11.5>"},
       {"[01:00.000]<01:00.125>x<01:01.50>", "[00:10.000]<00:10.125>x<00:11.5>"}},
      {{"a[x][00:02.00]<00:02.00>y"}, {"[x]a<00:02.00>y", "[00:02.00]a<00:02.00>y"}},
  };
  for (const auto& shape : shapes) {
    Fixture f(shape.line, 0, 0);
    f.editor.SplitRangeTags();
    EXPECT_EQ(f.box.lines(), shape.split);
  }
  Fixture untimed({"<00:05.00>a"}, 0, 0);
  untimed.editor.ReplaceTags([] { return 2.0; }, false);
  EXPECT_EQ(untimed.box.lines(), (Lines{"[00:02.00]<00:05.00>a"}));

  Fixture sort({"[00:05.00]<00:05.00>x", "<00:00.50>y", "[00:01.00]<00:01.00>z"}, 0, 2);
  sort.editor.SortRangeByTime();
  EXPECT_EQ(sort.box.lines(),
            (Lines{"<00:00.50>y", "[00:01.00]<00:01.00>z", "[00:05.00]<00:05.00>x"}));

  Fixture fold({"[00:01.00]" + words, "[00:02.00] " + words + " ", "[00:03.00]<00:03.00>a b"}, 0,
               0);
  fold.editor.FoldText();
  EXPECT_EQ(fold.box.lines(), (Lines{"[00:01.00][00:02.00]" + words, "[00:03.00]<00:03.00>a b"}));

  Fixture offset({"[offset:-1200]", "[00:01.00][00:03.00]" + words + "<00:02.00>", "<00:03.00>c",
                  "[ti:<00:01.00>]", "[offset:1]<00:01.00>d"},
                 0, 0);
  EXPECT_TRUE(offset.editor.IntegrateOffsetTags(true));
  EXPECT_EQ(offset.box.lines(), (Lines{"[00:00.000][00:01.800]<00:00.000>a <00:00.300>b<00:00.800>",
                                       "<00:01.800>c", "[ti:<00:01.00>]", "<00:00.000>d", ""}));
}

TEST(Sung, TheLatestTagAtOrBeforeTheTimeOverTheWholeText) {
  const Lines lines = {"[ti:T]",
                       "[00:10.00]<00:10.00>a <00:10.50>b<00:11.00>",
                       "[00:20.00][00:05.00]c",
                       "plain <00:01.00>x",
                       "[00:15.00]d",
                       "[00:15.00]e",
                       "[la:en]"};
  TagIndex index;
  index.Rebuild(TextLyricBox(lines));
  // Asked in any order, as after seeks: ties go to the later line.
  const std::pair<double, int> at[] = {{0, -1},    {4.99, -1}, {5, 2},     {9.999, 2},
                                       {10, 1},    {20, 2},    {14.99, 1}, {15, 5},
                                       {19.99, 5}, {1e9, 2},   {-1, -1},   {10.5, 1}};
  for (const auto& [t, line] : at) EXPECT_EQ(index.SungLine(t), line) << t;
  EXPECT_EQ(TagIndex().SungLine(5), -1);

  const LineWords words = FindWords(lines[1]);
  const std::pair<double, int> word[] = {{9.99, -1}, {10, 0}, {10.49, 0}, {10.5, 1}, {11, -1}};
  for (const auto& [t, w] : word) EXPECT_EQ(SungWord(words, t), w) << t;
  // Unsorted word tags: the latest time counts, not the place in the line.
  const LineWords unsorted = FindWords("<00:02.00>a<00:01.00>b<00:01.00>c");
  EXPECT_EQ(SungWord(unsorted, 1.5), 2);
  EXPECT_EQ(SungWord(unsorted, 2.5), 0);
  EXPECT_EQ(SungWord(FindWords("[00:01.00]no word tags"), 5), -1);
}

}  // namespace
}  // namespace lirotag
