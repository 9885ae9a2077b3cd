#pragma once

// The 128-byte ID3v1 block at the end of a file.

#include <string>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// True when the last 128 bytes start with "TAG"; then all eight fields are replaced
// (texts by the legacy rule, trimmed of ASCII and ideographic spaces; `Lyrics` empty).
bool ReadId3v1(ByteSource& src, SongTags* tags);
bool ReadId3v1(const std::string& path, SongTags* tags);

// The ID3v1 genre name of `number` (0–147), spelled as the original table has it, or
// the empty text.
std::string GenreName(int number);

}  // namespace lirotag
