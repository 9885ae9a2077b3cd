#pragma once

// The ID3v2 tag (versions 2.3 and 2.4) at the start of a file.

#include <functional>
#include <string>
#include <string_view>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// True when the source starts with an ID3v2 tag of version 3 or later. Writes only the
// fields whose frames it meets (TIT2 TPE1 TALB TYER TCON COMM TRCK USLT; TDRC gives the
// year when no TYER does); the picture (APIC, a front cover first) only when wanted.
// `visit`, when given, also sees every readable frame, known or not, in tag order: its
// name and its body with the format flags undone (unsynchronisation, grouping identity,
// data length indicator).
using Id3FrameVisitor = std::function<void(std::string_view id, std::string_view body)>;
bool ReadId3v2(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture,
               const Id3FrameVisitor* visit = nullptr);
// The same for a file, read only when its name ends in ".mp3" (any case).
bool ReadId3v2(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture);

// Text of a frame by its encoding byte: 0 legacy text, 1 UTF-16 after its byte-order
// mark, 2 UTF-16BE, 3 UTF-8, anything else as 0. The first value only (up to the NUL).
std::string DecodeId3Text(std::string_view data, int encoding);

// The image of an APIC frame's content after the encoding byte.
std::string PictureFromFrame(std::string_view data, int encoding = 0);

}  // namespace lirotag
