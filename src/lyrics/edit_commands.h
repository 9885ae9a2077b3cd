#pragma once

// The editing commands: the highlighted line range and the tag commands that rewrite
// it, the whole-text commands and the jump to a line's tags. They work on a LyricBox,
// so the window, the command-line tool and the tests all run the same code.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lyrics/lyric_box.h"

namespace lirotag {

// Whole-text rewrites; texts use CR LF between lines.

// Lines without tags first, in their order; then one line per distinct text (tags
// removed, spaces trimmed) carrying all its tags in the order met.
std::string FoldSameText(std::string_view text);
// Every line without its leading spaces (ASCII and ideographic); lines left empty go.
std::string DeleteBlankLines(const std::vector<std::string>& lines);
// Every time tag, word tags included, moved by the value of the first "[offset:…]" tag
// (milliseconds); every offset tag removed, a line holding nothing else with it. Each line is
// followed by a line break. Header lines stay as they are.
struct OffsetIntegration {
  enum class Outcome {
    kDone,
    kNoOffsetLine,
    // Not a number ("nan", "abc"), too large for one ("1e400"), or beyond a day either
    // way: no song is that long, so the tag is a mistake, and moving every tag by it
    // would destroy every time.
    kUnusableOffset,
  };
  Outcome outcome = Outcome::kNoOffsetLine;
  std::string text;       // kDone: the new text
  std::string offsetTag;  // kUnusableOffset: the offset tag as written
};
OffsetIntegration IntegrateOffset(std::string_view text, bool threeDecimals);
// Offsets (milliseconds) beyond this either way are refused.
constexpr double kMaxOffsetMilliseconds = 24.0 * 3600 * 1000;

// A line with several tags as one line per tag, each with the line's text; its word tags
// follow each copy's time (moved by that time minus the line's earliest).
std::vector<std::string> SplitTags(std::string_view line);
// Lines without tags first, in their order, then the tagged ones by the time of their
// first tag; lines of equal time keep their order.
std::vector<std::string> SortByTime(std::vector<std::string> lines);

class LyricEditor {
 public:
  // The playing time in seconds, asked anew for every line stamped.
  using Clock = std::function<double()>;

  explicit LyricEditor(LyricBox& box) : box_(box) {}

  int RangeFirst() const { return first_; }
  int RangeLast() const { return last_; }

  // The range operations.
  void HighlightRange();
  void UnhighlightRange();
  void AdvanceRange();
  void MoveRangeUp();
  void ResetHighlight(bool resetToTop = true);
  void ReplaceRange(const std::string& text);
  void RangeFromSelection();

  // The box's focus events: leaving it makes its selection the range; while the user
  // edits, the range is shown in the normal colour.
  void OnFocusLost() { RangeFromSelection(); }
  void OnFocusGained() { UnhighlightRange(); }
  // What every command does first: a box being typed in gives up the focus to the
  // command's own control, and its selection becomes the range.
  void CommonStart(const std::function<void()>& focusCommandControl);

  // The highlighted line one up or down (at the first or last line it stays).
  void MoveHighlightUp();
  void MoveHighlightDown();

  // The commands on the range. Add and replace move the range on to the next line.
  void AddTag(const Clock& now, bool threeDecimals);
  void ReplaceTags(const Clock& now, bool threeDecimals);
  void DeleteTag();
  void SplitRangeTags();
  void SortRangeByTime();

  // Word mode (the word model is in words.h). The word stamp gives each line of the range
  // its next word stamp (StampNextWord, the clock read for every line stamped); once no
  // line of the range has anything left to stamp, the range moves on as after a line
  // stamp, so stamping the last word of a line goes on to the next line, and a range with
  // nothing left to stamp just moves on.
  void AddWordTag(const Clock& now, bool threeDecimals);
  // The last word stamp of each line of the range taken back (TakeBackWordStamp). When the
  // range is a single line not started yet and the line above is started, the range moves
  // up to that line first: the last word of a line, after which the range moved on, is
  // redone at once.
  void DeleteWordTag();
  // The range's lines to be stamped again from their first word (RestartWordStamps), with
  // the same move up as DeleteWordTag.
  void RestartWordTags();
  // Every word tag of the range removed: plain line timing.
  void StripRangeWordTags();

  // Every time tag of the range's lines, word tags included, moved by `delta` seconds
  // (none below 0), as one step; the range stays.
  void NudgeRange(double delta, bool threeDecimals);
  // Line n's `index`-th time tag set to `seconds`, its word tags along when they belong
  // to it (MoveTimeTag), as one step; the range stays. False when nothing changed.
  bool MoveLineTag(int n, int index, double seconds, bool threeDecimals);

  // The commands on the whole text; each puts the range back on line 0.
  void FoldText();
  void RemoveBlankLines();
  // False, and nothing changed, when the text has no offset line or its offset is not
  // usable; then `*refusedTag` (when given) holds the unusable offset tag as written
  // (empty when there is no offset line), for the caller to say why.
  bool IntegrateOffsetTags(bool threeDecimals, std::string* refusedTag = nullptr);

  // The time to jump to from line RangeFirst: its first tag, then, while the line's
  // text stays the same, its next one, round and round. None for a line without tags
  // or a header line.
  std::optional<double> NextJumpTime();

 private:
  // The box may have changed under the range (text loaded or typed): keep it inside.
  void ClampRange();
  void Stamp(const Clock& now, bool threeDecimals, bool replace);
  // A single highlighted line moving down stays in view.
  void ScrollWithRange();
  // Each line of the range through `rewrite` (none: unchanged), as one replacement when
  // any line changed.
  void RewriteRange(const std::function<std::optional<std::string>(const std::string&)>& rewrite);
  // The move up of DeleteWordTag and RestartWordTags.
  void StepBackToStartedLine();
  void SetWholeTextAndReset(const std::string& text);

  LyricBox& box_;
  int first_ = 0;
  int last_ = 0;
  std::optional<std::string> jump_line_;
  size_t jump_index_ = 0;
};

}  // namespace lirotag
