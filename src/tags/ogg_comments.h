#pragma once

// The comments of an Ogg stream: Vorbis, Opus or FLAC.

#include <string>
#include <vector>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// False (the record untouched) when the first stream of the source is not Vorbis, Opus
// or FLAC, or its comment header cannot be found. Otherwise the record is replaced by the
// comments Title, Artist, Album, Year, Genre, Comment, Track and Lyrics (any case), with
// the standard names where those are missing (FillFromStandardNames). With `picture`, the
// image of a front cover, else of the last picture (METADATA_BLOCK_PICTURE comments, or
// Ogg FLAC's PICTURE blocks), else of the first COVERART comment goes there when there
// is one.
bool ReadOggComments(ByteSource& src, SongTags* tags, std::vector<TagItem>* items = nullptr,
                     std::string* picture = nullptr);
bool ReadOggComments(const std::string& path, SongTags* tags, std::vector<TagItem>* items = nullptr,
                     std::string* picture = nullptr);

}  // namespace lirotag
