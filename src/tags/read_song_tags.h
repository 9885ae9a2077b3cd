#pragma once

// The front end: which reader a song file's extension calls, and the ordered reading
// with merge that MP3 files get.

#include <string>
#include <string_view>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

enum class TagFormat { kNone, kMp3, kAsf, kApe, kOgg, kMp4, kFlac };

// By the text after the path's last "." (the whole path without one), letter case
// ignored: MP3; WMA; APE AAC WAV OFR OFS MPC WV TTA; OGG OGA OPUS; MP4 M4A; FLAC FLA.
TagFormat TagFormatOf(std::string_view path);

// Runs the format's reader(s) on a fresh record and puts it in `*tags`; the picture only
// when wanted and found. False only for kNone (then `*tags` is empty).
bool ReadTagsOfFormat(TagFormat format, ByteSource& src, SongTags* tags, std::string* picture,
                      bool wantPicture);

// The same for a file by its extension. A file that cannot be opened reads as one
// without tags; false only for a type without a reader.
bool ReadSongTags(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture);

// The readers named in `order` ("ID3V2->APE->ID3V1", pieces in any case, others ignored)
// one after the other, each field from the first tag that has it.
SongTags ReadTagsInOrder(ByteSource& src, std::string_view order, std::string* picture,
                         bool wantPicture);
SongTags ReadTagsInOrder(const std::string& path, std::string_view order, std::string* picture,
                         bool wantPicture);

// The open song's tags, read once per song opened (the window's one copy of them).
struct SongTagsCache {
  bool read = false;  // cleared whenever a song opens
  SongTags tags;
};

}  // namespace lirotag
