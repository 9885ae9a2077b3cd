#pragma once

// The comment header of an Ogg Vorbis stream.

#include <string>
#include <vector>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// False (the record untouched) when the first stream of the source is not Vorbis or its
// comment header cannot be found. Otherwise the record is replaced by the comments
// Title, Artist, Album, Year, Genre, Comment, Track and Lyrics (any case), with the
// standard names where those are missing (FillFromStandardNames).
bool ReadOggComments(ByteSource& src, SongTags* tags, std::vector<TagItem>* items = nullptr);
bool ReadOggComments(const std::string& path, SongTags* tags,
                     std::vector<TagItem>* items = nullptr);

}  // namespace lirotag
