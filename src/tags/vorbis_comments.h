#pragma once

// The Vorbis comment list that FLAC files and Ogg streams share: a vendor text, then
// NAME=value texts in UTF-8.

#include <vector>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// Appends the comments of the body at `r` to `items`. With `countLimits` the declared
// count ends the list (FLAC); otherwise only the body's end does (Ogg). A comment whose
// length runs past the end ends the list without becoming an item; with `namedOnly` so
// does one that is not NAME=value. True when exactly the declared count was read; then
// `*end`, when given, is where the last comment ends.
bool ReadVorbisComments(ByteReader r, bool countLimits, std::vector<TagItem>* items,
                        uint64_t* end = nullptr, bool namedOnly = false);

// After the reader's own names: Year, Comment and Track still empty take the comments
// DATE, DESCRIPTION and TRACKNUMBER, the names the Vorbis comment standard gives them
// and every common writer uses.
void FillFromStandardNames(const std::vector<TagItem>& items, SongTags* tags);

// NAME=value at the first "="; a comment without one has an empty name.
TagItem SplitComment(std::string_view comment);

}  // namespace lirotag
