#pragma once

// The record every tag reader fills, and the helpers they share: merging, mapping named
// items to fields, text conversions and cutting a picture out of its container.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tags/legacy_text.h"

namespace lirotag {

// Eight texts in UTF-8, in this fixed order (merging walks them in it). An absent value
// is the empty text; numbers are decimal text as stored.
struct SongTags {
  std::string Title = {}, Artist = {}, Album = {}, Year = {}, Genre = {}, Comment = {}, Track = {},
              Lyrics = {};

  static constexpr int kFieldCount = 8;
  std::string& Field(int i);
  const std::string& Field(int i) const;
  bool operator==(const SongTags&) const = default;
};

// The record's field names, in field order; also the default item names of MapTagItems.
inline constexpr std::array<std::string_view, SongTags::kFieldCount> kSongTagNames = {
    "Title", "Artist", "Album", "Year", "Genre", "Comment", "Track", "Lyrics"};

// A named value as APE tags and Vorbis comments store them.
struct TagItem {
  std::string name, value;
  bool operator==(const TagItem&) const = default;
};

// Each field from the first record of the list that has it non-empty.
SongTags MergeSongTags(const std::vector<SongTags>& list);

// For each item in order, the first of `names` equal to its name (ASCII case ignored)
// selects the field; its output, when given, takes the value, so a later item of the
// same name wins. An empty name stands for the default (kSongTagNames). Fields that no
// item names keep their values.
using TagOutputs = std::array<std::string*, SongTags::kFieldCount>;
using TagItemNames = std::array<std::string_view, SongTags::kFieldCount>;
void MapTagItems(const std::vector<TagItem>& items, const TagOutputs& outputs,
                 const TagItemNames& names = {});
// All eight outputs of `tags`.
TagOutputs AllFields(SongTags* tags);

// UTF-16 bytes → UTF-8, the whole run at once (surrogate pairs stay one character): an
// odd last byte is ignored, U+FEFF is dropped and the text ends at the first U+0000.
std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);
// ASCII letters upper-cased, every other byte kept.
std::string AsciiUpper(std::string_view s);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

std::string ReverseBytes(std::string_view bytes);
std::string JoinBytes(std::initializer_list<std::string_view> buffers);

// `data` from the first occurrence of the signature named by `hint` (JPG/JPE/JPEG: FF D8
// FF, BMP: "BM", PNG: 89 "PNG", anything else: the hint's own bytes; case ignored) to its
// end; all of `data` when the signature is absent.
std::string ExtractPicture(std::string_view data, std::string_view hint);

// Values read into memory are capped: no real tag text or cover comes near this, and a
// damaged size can then cost at most this much memory on top of the file's own bound.
inline constexpr uint64_t kMaxValueBytes = 64ull << 20;

}  // namespace lirotag
