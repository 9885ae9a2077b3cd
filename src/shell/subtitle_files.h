#pragma once

// A timed lyric saved as subtitles (SRT, WebVTT, ASS karaoke, TTML) from the save
// dialog's subtitle types, and subtitle files loaded as lyrics.

#include <cstdint>
#include <optional>
#include <string>

#include "lyrics/subtitles.h"

class QWidget;

namespace lirotag {

class FileSystem;

// The save dialog's types: LRC first, then the four subtitle formats, then every file.
extern const char kSaveFilterWithSubtitles[];
// The export dialog's types: the four subtitle formats.
extern const char kSubtitleExportFilter[];
// The load dialog's types: lyrics and text, subtitles, every file.
extern const char kLoadFilterWithSubtitles[];

// The format to save in: the subtitle type chosen, or with another type than LRC's a
// subtitle file's extension; none for an LRC file.
std::optional<SubtitleFormat> SubtitleFormatToSave(const std::string& chosenType,
                                                   const std::string& path);

// Writes the lyric text's cues to `path` (UTF-8, with byte-order mark for SRT and ASS);
// the last cue ends at `songLengthMs` when known. The text and the saving settings are
// not touched. On failure a message says why and the result is false.
bool ExportSubtitles(QWidget* window, FileSystem& fs, const std::string& lyricText,
                     SubtitleFormat format, std::optional<int64_t> songLengthMs,
                     const std::string& path);

// The lyric text of a subtitle file (its text already decoded); none, after a message,
// when the file holds no cue.
std::optional<std::string> ImportSubtitles(QWidget* window, const std::string& path,
                                           const std::string& text, SubtitleFormat format,
                                           bool threeDecimals);

}  // namespace lirotag
