#include "lyrics/edit_commands.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "lyrics/stamp_timing.h"
#include "lyrics/tag_index.h"
#include "lyrics/text.h"
#include "lyrics/time_tags.h"
#include "lyrics/words.h"

namespace lirotag {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// A single highlighted line is kept this many lines below the top of the box while the
// user stamps line after line.
constexpr int kAutoScrollMargin = 6;

bool IsOffsetLine(std::string_view line) {
  constexpr std::string_view kOffset = "[OFFSET:";
  if (line.size() < kOffset.size()) return false;
  for (size_t i = 0; i < kOffset.size(); ++i) {
    char c = line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kOffset[i]) return false;
  }
  return true;
}

std::string_view TrimLeadingSpaces(std::string_view line) {
  while (true) {
    if (!line.empty() && line.front() == ' ') {
      line.remove_prefix(1);
    } else if (line.substr(0, kIdeographicSpace.size()) == kIdeographicSpace) {
      line.remove_prefix(kIdeographicSpace.size());
    } else {
      return line;
    }
  }
}

std::string Bracketed(std::string_view inner) {
  std::string out;
  out.reserve(inner.size() + 2);
  out += '[';
  out += inner;
  out += ']';
  return out;
}

// The time of the line's earliest time tag, which its word tags belong to; none for a
// line without time tags.
std::optional<double> EarliestTime(const std::vector<std::string>& tags) {
  std::optional<double> earliest;
  for (const std::string& tag : tags) {
    if (!IsTimeTag(tag)) continue;
    const double t = ParseTime(tag);
    if (!earliest || t < *earliest) earliest = t;
  }
  return earliest;
}

// The text of a line whose tags are replaced by one timed `to`: its word tags move along.
std::string WordsMovedTo(const std::string& body, std::optional<double> from, double to) {
  if (!from || to == *from) return body;
  return ShiftWordTags(body, to - *from, std::nullopt);
}

// "nan", "abc", "inf" and the like are no offset; an empty value is 0, as before.
bool IsNumberOrEmpty(std::string_view value) {
  const std::string v = TrimSpaces(FullWidthToAscii(value));
  size_t i = 0;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  if (i < v.size() && v[i] == '.') ++i;
  return v.empty() || (i < v.size() && v[i] >= '0' && v[i] <= '9');
}

}  // namespace

std::string FoldSameText(std::string_view text) {
  std::string out;
  struct Entry {
    std::string head;
    std::string body;
  };
  std::vector<Entry> entries;
  std::unordered_map<std::string, size_t> byBody;
  for (const std::string& line : SplitText(text, kCrLf)) {
    const std::vector<std::string> tags = TagList(line);
    if (IsInfoLine(line) || tags.empty()) {
      out += line;
      out += kCrLf;
      continue;
    }
    std::string body = TrimSpaces(StripTags(line, 0));
    const std::string group = Bracketed(JoinTexts(tags, "][", false));
    const auto [it, added] = byBody.try_emplace(body, entries.size());
    if (added) {
      entries.push_back({group, std::move(body)});
    } else {
      entries[it->second].head += group;
    }
  }
  for (const Entry& entry : entries) {
    out += entry.head;
    out += entry.body;
    out += kCrLf;
  }
  if (!out.empty()) out.resize(out.size() - kCrLf.size());
  return out;
}

std::string DeleteBlankLines(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    const std::string_view trimmed = TrimLeadingSpaces(line);
    if (!trimmed.empty()) kept.emplace_back(trimmed);
  }
  return JoinTexts(kept, kCrLf, false);
}

OffsetIntegration IntegrateOffset(std::string_view text, bool threeDecimals) {
  OffsetIntegration result;
  const std::vector<std::string> lines = SplitText(text, kCrLf);
  const auto offsetLine = std::find_if(lines.begin(), lines.end(),
                                       [](const std::string& line) { return IsOffsetLine(line); });
  if (offsetLine == lines.end()) return result;
  // The value is the tag's own: "[offset:102][00:00.17]" is 102, and an unclosed
  // "[offset:500" is 500.
  const size_t close = offsetLine->find(']');
  const std::string_view tag =
      std::string_view(*offsetLine).substr(0, close + (close != std::string::npos));
  const std::string_view value = tag.substr(8, close == std::string::npos ? close : close - 8);
  const double milliseconds = TextToNumber(value);
  if (!IsNumberOrEmpty(value) || !std::isfinite(milliseconds) ||
      std::fabs(milliseconds) > kMaxOffsetMilliseconds) {
    result.outcome = OffsetIntegration::Outcome::kUnusableOffset;
    result.offsetTag = tag;
    return result;
  }
  const double offset = milliseconds / 1000.0;

  std::string& out = result.text;
  for (const std::string& original : lines) {
    std::string_view line = original;
    if (IsOffsetLine(line)) {
      // Only the offset tag goes: what follows it on its line is lyric like any other.
      const size_t close = line.find(']');
      line = close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
      if (TrimSpaces(line).empty()) continue;
    }
    const std::vector<std::string> tags = TagList(line);
    // Word tags move with the line tags, or the words would drift from their line.
    if (IsInfoLine(line)) {
      out += line;
    } else if (tags.empty()) {
      out += ShiftWordTags(line, offset, threeDecimals);
    } else {
      for (const std::string& t : tags)
        out += Bracketed(FormatTime(ParseTime(t) + offset, threeDecimals));
      out += ShiftWordTags(StripTags(line, 0), offset, threeDecimals);
    }
    out += kCrLf;
  }
  result.outcome = OffsetIntegration::Outcome::kDone;
  return result;
}

std::vector<std::string> SplitTags(std::string_view line) {
  const std::vector<std::string> tags = TagList(line);
  if (tags.size() < 2) return {std::string(line)};
  const std::string body = StripTags(line, 0);
  const std::optional<double> earliest = EarliestTime(tags);
  std::vector<std::string> out;
  out.reserve(tags.size());
  for (const std::string& tag : tags) {
    out.push_back(Bracketed(tag) +
                  (IsTimeTag(tag) ? WordsMovedTo(body, earliest, ParseTime(tag)) : body));
  }
  return out;
}

std::vector<std::string> SortByTime(std::vector<std::string> lines) {
  std::vector<std::string> untagged;
  std::vector<std::pair<double, size_t>> tagged;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> tags = TagList(lines[i]);
    if (tags.empty()) {
      untagged.push_back(std::move(lines[i]));
    } else {
      tagged.emplace_back(ParseTime(tags.front()), i);
    }
  }
  // Equal times keep their order: a lyric and its translation stay together.
  std::stable_sort(tagged.begin(), tagged.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [time, i] : tagged) untagged.push_back(std::move(lines[i]));
  return untagged;
}

void LyricEditor::ClampRange() {
  const int lastLine = box_.LineCount() - 1;
  first_ = std::clamp(first_, 0, lastLine);
  last_ = std::clamp(last_, first_, lastLine);
}

void LyricEditor::HighlightRange() {
  ClampRange();
  box_.SelectLines(first_, last_);
  box_.HighlightLines(first_, last_);
}

void LyricEditor::UnhighlightRange() {
  ClampRange();
  box_.SelectLines(first_, last_);
  box_.HighlightLines(1, 0);
}

void LyricEditor::AdvanceRange() {
  if (last_ < box_.LineCount() - 1) ++last_;
  first_ = last_;
}

void LyricEditor::MoveRangeUp() {
  if (first_ > 0) --first_;
  last_ = first_;
}

void LyricEditor::ResetHighlight(bool resetToTop) {
  box_.HighlightLines(1, 0);
  if (resetToTop) first_ = last_ = 0;
  HighlightRange();
}

void LyricEditor::ReplaceRange(const std::string& text) {
  box_.ReplaceSelection(text);
  ClampRange();
  box_.SelectLines(first_, last_);
}

void LyricEditor::RangeFromSelection() {
  first_ = box_.SelectionFirstLine();
  last_ = box_.SelectionLastLine();
  HighlightRange();
}

void LyricEditor::CommonStart(const std::function<void()>& focusCommandControl) {
  if (!box_.HasFocus()) return;
  if (focusCommandControl) focusCommandControl();
  // Done here too, in case the focus could not move (a window in the background).
  RangeFromSelection();
}

void LyricEditor::MoveHighlightUp() {
  UnhighlightRange();
  MoveRangeUp();
  HighlightRange();
}

void LyricEditor::MoveHighlightDown() {
  UnhighlightRange();
  AdvanceRange();
  HighlightRange();
}

void LyricEditor::ScrollWithRange() {
  if (first_ == last_ && box_.FirstVisibleLine() < last_ - kAutoScrollMargin) box_.ScrollLines(1);
}

void LyricEditor::Stamp(const Clock& now, bool threeDecimals, bool replace) {
  ClampRange();
  ScrollWithRange();
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(last_ - first_ + 1));
  for (int n = first_; n <= last_; ++n) {
    const std::string line = box_.Line(n);
    const std::string time = FormatTime(now ? now() : 0.0, threeDecimals);
    if (replace) {
      // The line's words keep their place in it: they move with its new time.
      lines.push_back(Bracketed(time) + WordsMovedTo(StripTags(line, 0),
                                                     EarliestTime(TagList(line)), ParseTime(time)));
    } else {
      lines.push_back(Bracketed(time) + line);
    }
  }
  box_.SelectLines(first_, last_);
  ReplaceRange(JoinTexts(lines, kCrLf, false));
  UnhighlightRange();
  AdvanceRange();
  HighlightRange();
}

void LyricEditor::AddTag(const Clock& now, bool threeDecimals) {
  Stamp(now, threeDecimals, false);
}

void LyricEditor::ReplaceTags(const Clock& now, bool threeDecimals) {
  Stamp(now, threeDecimals, true);
}

void LyricEditor::DeleteTag() {
  ClampRange();
  std::vector<std::string> lines;
  for (int n = first_; n <= last_; ++n) lines.push_back(StripTags(box_.Line(n), 1));
  box_.SelectLines(first_, last_);
  ReplaceRange(JoinTexts(lines, kCrLf, false));
  HighlightRange();
}

void LyricEditor::SplitRangeTags() {
  ClampRange();
  std::vector<std::string> lines;
  for (int n = first_; n <= last_; ++n) {
    for (std::string& piece : SplitTags(box_.Line(n))) lines.push_back(std::move(piece));
  }
  box_.SelectLines(first_, last_);
  last_ = first_ + static_cast<int>(lines.size()) - 1;
  ReplaceRange(JoinTexts(lines, kCrLf, false));
  HighlightRange();
}

void LyricEditor::SortRangeByTime() {
  ClampRange();
  std::vector<std::string> lines;
  for (int n = first_; n <= last_; ++n) lines.push_back(box_.Line(n));
  box_.SelectLines(first_, last_);
  ReplaceRange(JoinTexts(SortByTime(std::move(lines)), kCrLf, false));
  HighlightRange();
}

void LyricEditor::RewriteRange(
    const std::function<std::optional<std::string>(const std::string&)>& rewrite) {
  ClampRange();
  std::vector<std::string> lines;
  bool changed = false;
  for (int n = first_; n <= last_; ++n) {
    lines.push_back(box_.Line(n));
    if (std::optional<std::string> line = rewrite(lines.back())) {
      lines.back() = std::move(*line);
      changed = true;
    }
  }
  // Nothing rewritten, nothing replaced: no empty step in the undo history.
  if (!changed) return;
  box_.SelectLines(first_, last_);
  ReplaceRange(JoinTexts(lines, kCrLf, false));
}

void LyricEditor::AddWordTag(const Clock& now, bool threeDecimals) {
  RewriteRange([&](const std::string& line) {
    return WordsDone(line) ? std::nullopt
                           : StampNextWord(line, FormatTime(now ? now() : 0.0, threeDecimals));
  });
  bool done = true;
  for (int n = first_; n <= last_ && done; ++n) done = WordsDone(box_.Line(n));
  if (done) {
    ScrollWithRange();
    UnhighlightRange();
    AdvanceRange();
  }
  HighlightRange();
}

void LyricEditor::StepBackToStartedLine() {
  ClampRange();
  if (first_ == last_ && first_ > 0 && !WordsStarted(box_.Line(first_)) &&
      WordsStarted(box_.Line(first_ - 1))) {
    UnhighlightRange();
    MoveRangeUp();
  }
}

void LyricEditor::DeleteWordTag() {
  StepBackToStartedLine();
  RewriteRange([](const std::string& line) { return TakeBackWordStamp(line); });
  HighlightRange();
}

void LyricEditor::RestartWordTags() {
  StepBackToStartedLine();
  RewriteRange([](const std::string& line) { return RestartWordStamps(line); });
  HighlightRange();
}

void LyricEditor::StripRangeWordTags() {
  RewriteRange([](const std::string& line) -> std::optional<std::string> {
    std::string plain = StripWordTags(line);
    if (plain == line) return std::nullopt;
    return plain;
  });
  HighlightRange();
}

void LyricEditor::NudgeRange(double delta, bool threeDecimals) {
  RewriteRange([&](const std::string& line) { return NudgeTimeTags(line, delta, threeDecimals); });
  HighlightRange();
}

bool LyricEditor::MoveLineTag(int n, int index, double seconds, bool threeDecimals) {
  if (n < 0 || n >= box_.LineCount()) return false;
  const std::optional<std::string> moved = MoveTimeTag(box_.Line(n), index, seconds, threeDecimals);
  if (!moved) return false;
  box_.SelectLines(n, n);
  box_.ReplaceSelection(*moved);
  ClampRange();
  box_.SelectLines(first_, last_);
  return true;
}

void LyricEditor::SetWholeTextAndReset(const std::string& text) {
  box_.SetWholeText(text);
  ResetHighlight(true);
}

void LyricEditor::FoldText() {
  SetWholeTextAndReset(FoldSameText(GetLyricText(box_)));
}

void LyricEditor::RemoveBlankLines() {
  std::vector<std::string> lines;
  const int count = box_.LineCount();
  lines.reserve(static_cast<size_t>(count));
  for (int n = 0; n < count; ++n) lines.push_back(box_.Line(n));
  SetWholeTextAndReset(DeleteBlankLines(lines));
}

bool LyricEditor::IntegrateOffsetTags(bool threeDecimals, std::string* refusedTag) {
  OffsetIntegration result = IntegrateOffset(GetLyricText(box_), threeDecimals);
  if (refusedTag) refusedTag->clear();
  if (result.outcome != OffsetIntegration::Outcome::kDone) {
    if (refusedTag) *refusedTag = std::move(result.offsetTag);
    return false;
  }
  SetWholeTextAndReset(result.text);
  return true;
}

std::optional<double> LyricEditor::NextJumpTime() {
  ClampRange();
  std::string line = box_.Line(first_);
  const std::vector<std::string> tags = TagList(line);
  if (IsInfoLine(line) || tags.empty()) return std::nullopt;
  if (jump_line_ != line) {
    jump_line_ = std::move(line);
    jump_index_ = 0;
  } else if (++jump_index_ >= tags.size()) {
    jump_index_ = 0;
  }
  return ParseTime(tags[jump_index_]);
}

}  // namespace lirotag
