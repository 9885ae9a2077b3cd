#pragma once

// A timed lyric as a subtitle track, and back: SRT, WebVTT, ASS (karaoke) and TTML.
// Every format goes through one cue model, so that the same lyric gives the same cue
// times in each. Times are whole milliseconds, taken from the tags once and never
// recomputed from formatted text.
//
// From a lyric: each time tag of a line is one cue (a line with two tags is sung twice),
// ordered by time, lines of equal time in text order. Header lines and lines without a
// time make no cue. A cue ends where the next later cue starts, at most 10 s after its
// own start, so that an instrumental break shows no stale line; the last ends at the
// song's end when it is known, else 5 s after it starts. A timed line without text (the
// usual "clear the screen" mark) ends the cues before it and makes none itself. Word tags
// become the cue's syllables, moved with the line's tag as splitting a line moves them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

enum class SubtitleFormat { kSrt, kWebVtt, kAss, kTtml };

// "srt", "vtt", "ass", "ttml" (any case); none for another name.
std::optional<SubtitleFormat> SubtitleFormatFromName(std::string_view name);
// By the file name's extension (any case): .srt, .vtt, .ass and .ssa, .ttml.
std::optional<SubtitleFormat> SubtitleFormatOfPath(std::string_view path);
// By the text: a WebVTT header, an ASS/SSA section, a TTML root element, an SRT timing
// line; none when it looks like none of them.
std::optional<SubtitleFormat> GuessSubtitleFormat(std::string_view text);
// The usual extension, without the dot.
const char* SubtitleExtension(SubtitleFormat format);

// A piece of a cue's text sung from `start` on, up to the next syllable's start (the
// last one up to the cue's end). A syllable without text is a pause, or at the end the
// moment the singing stops before the cue ends (a lyric's end word tag).
struct Syllable {
  int64_t start = 0;
  std::string text;
};

struct SubtitleCue {
  int64_t start = 0;  // milliseconds
  int64_t end = 0;
  // One or more lines separated by '\n'; the concatenated syllables when there are any.
  std::string text;
  // Word timing; empty for a cue timed as a whole. Starts never go back and stay within
  // the cue.
  std::vector<Syllable> syllables;
};

struct SubtitleTrack {
  std::string title, artist, album;  // [ti:] [ar:] [al:]
  std::vector<SubtitleCue> cues;
};

// The cues of a lyric text (CR LF or LF lines); `songLengthMs` ends the last cue when
// known. An [offset:] tag moves every time as the editor's "整合偏移值" does.
SubtitleTrack CuesFromLyrics(std::string_view text, std::optional<int64_t> songLengthMs);

// The file's text, UTF-8 without byte-order mark (see SubtitleNeedsBom).
std::string WriteSubtitles(const SubtitleTrack& track, SubtitleFormat format);
// SRT and ASS files carry a UTF-8 byte-order mark, as the programs that read them expect.
bool SubtitleNeedsBom(SubtitleFormat format);

// The cues of a subtitle file's text (already decoded; a leading byte-order mark is
// skipped). Styling is dropped; a cue keeps its line breaks. None, with `error` saying
// why in a few words, when the text holds no cue of the format.
std::optional<SubtitleTrack> ReadSubtitles(std::string_view text, SubtitleFormat format,
                                           std::string* error);

// The track as lyric lines joined by CR LF: [ti:] [ar:] [al:] first, then one line per
// text line of each cue at the cue's time, word tags from the syllables, and an empty
// timed line where the screen is cleared before the next cue (or after the last).
std::string LyricsFromCues(const SubtitleTrack& track, bool threeDecimals);

}  // namespace lirotag
