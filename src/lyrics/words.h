#pragma once

// Word timing: a "<mm:ss.xx>" (or "<mm:ss.xxx>") tag inside a line, after its line tags,
// in front of each word, as karaoke players and music apps read it:
// "[00:12.00]<00:12.00>床<00:12.48>前". Positions are bytes of the UTF-8 line, as
// everywhere in lyrics/.
//
// A word is one CJK ideograph, one hangul syllable, one kana (with the small ゃゅょぁ…
// after it, "きょ": one beat is sung to the pair; っ and ー stay words of their own), or
// a run of other letters and digits, combining marks included, with an apostrophe
// between two letters kept inside ("don't", "rock'n'roll"). Spaces, punctuation and
// symbols are no word: they stay where they are and belong to the word before them;
// those in front of the first word belong to the first. A tag also ends a run, so
// "beau<00:01.00>ti<00:01.20>ful" is three words, as the tags say.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

// A "<…>" holding a time: ASCII digits, ':' and at most one '.', with a digit and a ':'
// ("<3" and "<br>" are lyric text).
struct WordTag {
  size_t begin = 0;  // at '<'
  size_t end = 0;    // after '>'
  double time = 0;
  int word = -1;  // the word it times: the next word after it; -1 for an end tag
};

struct Word {
  size_t begin = 0;  // the word's own letters: what marks the word being sung
  size_t end = 0;
  size_t stop = 0;  // after the spaces and punctuation that follow it (tags not counted)
  // Where its tag is, or where a stamp writes it: just before the word, and for the first
  // word just after the line tags in front of it, so that leading punctuation goes with it.
  size_t start = 0;
  int tag = -1;      // its tag in LineWords::tags (the last one if several precede it)
  double time = -1;  // that tag's time; -1 for a word without a tag
};

struct LineWords {
  std::vector<Word> words;
  std::vector<WordTag> tags;  // every word tag in the line, in line order
};

// Words and word tags of a line; nothing for a header line. Bracketed parts are skipped
// as the tag commands skip them (an unclosed '[' takes the rest of the line).
LineWords FindWords(std::string_view line);

// The line without its word tags: the plain line-timed text. A tag between two spaces
// takes one of them along, so no double space is left.
std::string StripWordTags(std::string_view line);
// Every word tag moved by `offset` seconds and written as FormatTime writes line tags, in
// thousandths when `threeDecimals` says so (none: as each tag was written); a line
// without word tags comes back byte for byte.
std::string ShiftWordTags(std::string_view line, double offset, std::optional<bool> threeDecimals);

// One word stamp on one line, `time` already formatted: the line tag in front when the
// line has no bracketed tag, and "<time>" before the first word after the last timed
// one. The first word stamp of a line that already has a time (a loaded lyric) gives
// the line's earliest time tag that time too. None when there is nothing left to stamp
// (see WordsDone).
std::optional<std::string> StampNextWord(std::string_view line, std::string_view time);
// Nothing left to stamp: a header line, or a line with a line tag whose last word is timed
// (or that has no word).
bool WordsDone(std::string_view line);
// The line has word stamps to take back: word tags, or, having no word, a line tag.
// A line timed line by line only is not started: its line tag is not a word stamp.
bool WordsStarted(std::string_view line);
// The last word stamp taken back: the last word tag, and with the only one left the first
// line tag too (a word-less line loses its first line tag). None when not started.
std::optional<std::string> TakeBackWordStamp(std::string_view line);
// Every word tag and the first line tag gone, so the line is stamped again from its first
// word. None when not started.
std::optional<std::string> RestartWordStamps(std::string_view line);

// The word being sung: the one whose tag has the latest time at or before `seconds`
// (ties: the later tag); an index in `line.words`, or -1 before the first word tag, in a
// line without them, and after an end tag (a tag with no word after it).
int SungWord(const LineWords& line, double seconds);

}  // namespace lirotag
