#pragma once

// Writing a lyric into a song file, without putting the song at risk: the tags are
// changed in a copy beside it (with TagLib), the copy is checked, and only then does it
// take the song's place, in one rename.

#include <string>
#include <string_view>

namespace lirotag {

enum class EmbedError {
  kNone,
  kEmpty,        // nothing but white space to write
  kUnsupported,  // a type whose lyric field we cannot write
  kNotFound,     // no such file, or not a regular file
  kReadOnly,     // the song, or its folder, cannot be written
  kNoSpace,      // the disk is full
  kWriteFailed,  // the copy could not be made or tagged
  kCheckFailed,  // the tagged copy did not read back right: the song was left alone
  kNoWriter,     // the writer's module (TagLib) cannot be loaded
};

// Replaces the song's lyric (USLT in ID3v2, keeping the tag's version 2.3 or 2.4 and
// writing 2.4 where there was none; LYRICS in Vorbis comments; ©lyr in MP4; WM/Lyrics in
// WMA; the APE item Lyrics) by `lyrics` with "\n" line ends, removing the other places
// an older lyric may be (SYLT, UNSYNCEDLYRICS, a freeform LYRICS item) so that no player
// finds a stale copy. Every other tag, the cover and the audio bytes stay as they are;
// the song keeps its permissions. Whatever fails, the song is unchanged and no copy is
// left behind; a process killed mid-way leaves the song whole and a hidden copy
// (".NAME.lirotag-XXXXXX") that the next write into the same song removes. A symbolic
// link stays a link: its target is what changes.
EmbedError WriteEmbeddedLyrics(const std::string& songPath, std::string_view lyrics);

// A few English words for the command line.
const char* EmbedErrorText(EmbedError error);

}  // namespace lirotag
