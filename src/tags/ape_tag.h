#pragma once

// The APE tag (versions 1 and 2) at the end of a file, or before an ID3v1 block there.

#include <string>
#include <vector>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// True when an APE tag was found; then all eight fields are replaced by the items named
// Title, Artist, Album, Year, Genre, Comment, Track and Lyrics (any letter case), and
// `items`, when given, receives every item read.
bool ReadApeTag(ByteSource& src, SongTags* tags, std::vector<TagItem>* items = nullptr);
bool ReadApeTag(const std::string& path, SongTags* tags, std::vector<TagItem>* items = nullptr);

}  // namespace lirotag
