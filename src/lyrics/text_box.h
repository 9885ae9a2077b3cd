#pragma once

#include <string>
#include <vector>

#include "lyrics/lyric_box.h"

namespace lirotag {

// A lyric box over lines held in memory: what the command-line tool edits, and what the
// tests drive the commands with. It records what a widget would show (the highlighted
// lines, the scroll position, the focus) so that it can be checked.
class TextLyricBox : public LyricBox {
 public:
  explicit TextLyricBox(std::vector<std::string> lines = {""});
  // Splits at CR LF, LF or a lone CR, as the widget does.
  static TextLyricBox FromText(const std::string& text);

  int LineCount() const override { return static_cast<int>(lines_.size()); }
  std::string Line(int n) const override;
  int SelectionFirstLine() const override { return sel_first_; }
  int SelectionLastLine() const override { return sel_last_; }
  void SelectLines(int first, int last) override;
  void ReplaceSelection(const std::string& text) override;
  void SetWholeText(const std::string& text) override;
  void HighlightLines(int first, int last) override;
  int FirstVisibleLine() const override { return first_visible_; }
  void ScrollLines(int delta) override;
  bool HasFocus() const override { return focused_; }
  void SetFocus() override { focused_ = true; }

  const std::vector<std::string>& lines() const { return lines_; }
  int highlight_first() const { return highlight_first_; }
  int highlight_last() const { return highlight_last_; }
  void set_focused(bool focused) { focused_ = focused; }

 private:
  std::vector<std::string> lines_;
  int sel_first_ = 0;
  int sel_last_ = 0;
  int highlight_first_ = 0;
  int highlight_last_ = -1;
  int first_visible_ = 0;
  bool focused_ = false;
};

}  // namespace lirotag
