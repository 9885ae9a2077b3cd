#include "lyrics/text_box.h"

#include <algorithm>

namespace lirotag {

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
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

}  // namespace

TextLyricBox::TextLyricBox(std::vector<std::string> lines) : lines_(std::move(lines)) {
  if (lines_.empty()) lines_.emplace_back();
}

TextLyricBox TextLyricBox::FromText(const std::string& text) {
  return TextLyricBox(SplitLines(text));
}

std::string TextLyricBox::Line(int n) const {
  return n >= 0 && n < LineCount() ? lines_[static_cast<size_t>(n)] : std::string();
}

void TextLyricBox::SelectLines(int first, int last) {
  sel_first_ = std::clamp(first, 0, LineCount() - 1);
  sel_last_ = std::clamp(last, sel_first_, LineCount() - 1);
}

void TextLyricBox::ReplaceSelection(const std::string& text) {
  std::vector<std::string> replacement = SplitLines(text);
  const auto at = lines_.begin() + sel_first_;
  lines_.erase(at, lines_.begin() + sel_last_ + 1);
  lines_.insert(lines_.begin() + sel_first_, std::make_move_iterator(replacement.begin()),
                std::make_move_iterator(replacement.end()));
  sel_last_ = sel_first_ + static_cast<int>(replacement.size()) - 1;
}

void TextLyricBox::SetWholeText(const std::string& text) {
  lines_ = SplitLines(text);
  sel_first_ = 0;
  sel_last_ = LineCount() - 1;
}

void TextLyricBox::HighlightLines(int first, int last) {
  highlight_first_ = first;
  highlight_last_ = last;
}

void TextLyricBox::ScrollLines(int delta) {
  first_visible_ = std::clamp(first_visible_ + delta, 0, LineCount() - 1);
}

}  // namespace lirotag
