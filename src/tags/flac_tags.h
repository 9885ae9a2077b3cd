#pragma once

// FLAC metadata: the Vorbis comment block and the PICTURE block.

#include <string>
#include <string_view>
#include <vector>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// Just after "fLaC" at the source's start or after the ID3v2 tags before it; 0 when the
// signature is not there.
uint64_t FlacStart(ByteSource& src);

// False (the record untouched) when FlacStart finds no "fLaC". Otherwise
// maps the comments Title, Artist, Album, DATE, Genre, Comment, Tracknumber and Lyrics
// (any case) into the fields they name, DESCRIPTION into an empty Comment, leaving the
// others as they were, and returns true. The picture, when wanted, is that of a front cover, else
// of the last PICTURE.
bool ReadFlacTags(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture,
                  std::vector<TagItem>* items = nullptr);
bool ReadFlacTags(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture,
                  std::vector<TagItem>* items = nullptr);

// The image of a PICTURE block body; empty when its MIME type holds no "image/".
std::string PictureFromFlac(std::string_view block);

// PICTURE block bodies offered one after the other: the image of a front cover stays,
// any other replaces the one before it.
void OfferFlacPicture(std::string_view block, bool* haveFront, std::string* picture);

}  // namespace lirotag
