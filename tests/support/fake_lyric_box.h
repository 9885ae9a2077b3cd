#pragma once

#include <string>
#include <vector>

#include "lyrics/lyric_box.h"

namespace lirotag::testing {

// An in-memory lyric box for driving the editing commands without widgets.
class FakeLyricBox : public LyricBox {
 public:
  explicit FakeLyricBox(std::vector<std::string> lines = {""}) : lines_(std::move(lines)) {
    if (lines_.empty()) lines_.push_back("");
  }

  int LineCount() const override { return static_cast<int>(lines_.size()); }
  std::string Line(int n) const override {
    return n >= 0 && n < LineCount() ? lines_[static_cast<size_t>(n)] : std::string();
  }
  int SelectionFirstLine() const override { return sel_first_; }
  int SelectionLastLine() const override { return sel_last_; }
  void SelectLines(int first, int last) override {
    sel_first_ = first;
    sel_last_ = last;
  }
  void ReplaceSelection(const std::string& text) override {
    std::vector<std::string> replacement = SplitLines(text);
    lines_.erase(lines_.begin() + sel_first_, lines_.begin() + sel_last_ + 1);
    lines_.insert(lines_.begin() + sel_first_, replacement.begin(), replacement.end());
    sel_last_ = sel_first_ + static_cast<int>(replacement.size()) - 1;
  }
  void SetWholeText(const std::string& text) override {
    lines_ = SplitLines(text);
    sel_first_ = 0;
    sel_last_ = LineCount() - 1;
  }
  void HighlightLines(int first, int last) override {
    highlight_first = first;
    highlight_last = last;
  }
  int FirstVisibleLine() const override { return first_visible; }
  void ScrollLines(int delta) override { first_visible += delta; }
  bool HasFocus() const override { return focused; }
  void SetFocus() override { focused = true; }

  const std::vector<std::string>& lines() const { return lines_; }

  int highlight_first = 0;
  int highlight_last = -1;
  int first_visible = 0;
  bool focused = false;

 private:
  static std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      if (text[i] == '\n' || text[i] == '\r') {
        out.emplace_back();
      } else {
        out.back() += text[i];
      }
    }
    return out;
  }

  std::vector<std::string> lines_;
  int sel_first_ = 0;
  int sel_last_ = 0;
};

}  // namespace lirotag::testing
