#pragma once

// The ID3v2 tag (versions 2.2, 2.3 and 2.4) at the start of a file.

#include <functional>
#include <string>
#include <string_view>

#include "tags/byte_source.h"
#include "tags/song_tags.h"

namespace lirotag {

// True when the source starts with an ID3v2 tag of version 2 or later. Writes only the
// fields whose frames it meets (TIT2 TPE1 TALB TYER TCON COMM TRCK USLT, in version 2.2
// TT2 TP1 TAL TYE TCO COM TRK ULT; TDRC gives the year when no TYER does); the picture
// (APIC or PIC, a front cover first) only when wanted.
// `visit`, when given, also sees every readable frame, known or not, in tag order: its
// name and its body with the format flags undone (unsynchronisation, grouping identity,
// data length indicator).
using Id3FrameVisitor = std::function<void(std::string_view id, std::string_view body)>;
bool ReadId3v2(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture,
               const Id3FrameVisitor* visit = nullptr);
// The same for a file, read only when its name ends in ".mp3" (any case).
bool ReadId3v2(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture);

// The bytes of the ID3v2 tag that starts at `at` (header, frames, padding and footer);
// 0 when none starts there.
uint64_t Id3v2TagBytes(ByteSource& src, uint64_t at);

// Text of a frame by its encoding byte: 0 legacy text, 1 UTF-16 after its byte-order
// mark, 2 UTF-16BE, 3 UTF-8, anything else as 0. The first value only (up to the NUL).
std::string DecodeId3Text(std::string_view data, int encoding);

// The image of an APIC frame's content after the encoding byte.
std::string PictureFromFrame(std::string_view data, int encoding = 0);

}  // namespace lirotag
