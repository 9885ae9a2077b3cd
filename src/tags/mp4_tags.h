#pragma once

// MP4/M4A metadata: the items of moov/udta/meta/ilst.

#include <string>
#include <string_view>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// Walks the atoms by their sizes (64-bit ones included), reading only the headers on
// the way and never the media data. Title to Track are replaced by what the items ©nam,
// ©ART, ©alb, ©day, ©gen (else gnre), ©cmt and trkn hold, empty where none; Lyrics only
// by a freeform item named LYRICS. The picture (covr) only when wanted. A file whose
// first atom is not ftyp gives no tags. Always true: finding nothing is not a failure.
bool ReadMp4Tags(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture);
// False only when the file cannot be opened.
bool ReadMp4Tags(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture);

// The text of the first item of `type` (such as "\xA9lyr"); false when there is none.
bool ReadMp4TextItem(ByteSource& src, std::string_view type, std::string* text);

}  // namespace lirotag
