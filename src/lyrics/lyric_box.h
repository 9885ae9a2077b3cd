#pragma once

#include <string>

namespace lirotag {

// The lyric edit box as the editing commands see it. The text is a list of lines
// (0-based); the selection is always thought of in whole lines, the way the
// highlighted range is. Colours and fonts are the widget's business.
class LyricBox {
 public:
  virtual ~LyricBox() = default;

  // Always at least 1: an empty box holds one empty line.
  virtual int LineCount() const = 0;
  // Line n without its line break; empty when n is out of range.
  virtual std::string Line(int n) const = 0;

  // Lines that hold the start and the end of the current selection (a selection that
  // ends exactly at the start of a line ends on that line).
  virtual int SelectionFirstLine() const = 0;
  virtual int SelectionLastLine() const = 0;
  // Selects from the first character of line `first` to just before the line break
  // that ends line `last` (to the end of the text on the last line).
  virtual void SelectLines(int first, int last) = 0;
  // Replaces the selected text; `text` uses "\r\n" or "\n" between lines.
  virtual void ReplaceSelection(const std::string& text) = 0;
  // Replaces everything (one undo step).
  virtual void SetWholeText(const std::string& text) = 0;
  // Shows lines first..last in the highlight colour; everything else in the normal
  // colour. `first` > `last` clears the highlight.
  virtual void HighlightLines(int first, int last) = 0;

  virtual int FirstVisibleLine() const = 0;
  virtual void ScrollLines(int delta) = 0;
  virtual bool HasFocus() const = 0;
  virtual void SetFocus() = 0;
};

// All lines joined by CR LF, each stripped of stray CR and LF, with no trailing break.
std::string GetLyricText(const LyricBox& box);

}  // namespace lirotag
