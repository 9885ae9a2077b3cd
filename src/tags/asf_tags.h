#pragma once

// The descriptive attributes of an ASF (WMA) file: the Content Description Object and
// the Extended Content Description Object inside the Header Object.

#include <array>
#include <string>
#include <string_view>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// Title, author, rights notice, description (Content Description), then WM/AlbumTitle,
// WM/Year, WM/TrackNumber, WM/Track, WM/EncodedBy, WM/Genre, WM/Lyrics, WM/URL,
// WM/UserWebURL and WMFSDKVersion.
using AsfAttributes = std::array<std::string, 14>;

// True when the source starts with an ASF Header Object; then all eight fields are
// replaced: Title, Artist, Album, Year, Genre, Comment, Track, Lyrics from title, author,
// WM/AlbumTitle, WM/Year, WM/Genre, description, WM/TrackNumber, WM/Lyrics.
bool ReadAsfTags(ByteSource& src, SongTags* tags, AsfAttributes* working, std::string* picture,
                 bool wantPicture);
// The same for a file, read only when its name ends in ".wma" (any case).
bool ReadAsfTags(const std::string& path, SongTags* tags, AsfAttributes* working,
                 std::string* picture, bool wantPicture);

// The image of a WM/Picture value.
std::string PictureFromAsf(std::string_view value);

}  // namespace lirotag
