#pragma once

// The time tags of the whole text in time order: where the marks of the waveform go, and
// which line is being sung at a given moment.

#include <string>
#include <utility>
#include <vector>

#include "lyrics/lyric_box.h"

namespace lirotag {

class TagIndex {
 public:
  struct Entry {
    double time;
    int line;
  };

  // Every tag that is a time (its text starts with a digit) of every line that is not a
  // header line; built once per change of the text.
  void Rebuild(const LyricBox& box);
  const std::vector<Entry>& Entries() const { return entries_; }
  // The line whose tag is the last at or before `seconds` over the whole text, whatever
  // the order of the lines; -1 before the first tag. Ties go to the later line.
  int SungLine(double seconds) const;
  // The times of line n's tags, in the line's order.
  std::vector<double> TimesOfLine(const LyricBox& box, int n) const;

 private:
  std::vector<Entry> entries_;
};

// Whether a tag's text is a time rather than a header such as "la:English".
bool IsTimeTag(const std::string& tag);

}  // namespace lirotag
