#include "tags/mp4_tags.h"

#include <algorithm>

#include "tags/id3v1.h"

namespace lirotag {

namespace {

struct Atom {
  std::string type;
  uint64_t begin = 0, end = 0;  // of the content
};

// The atom at `r`'s position; `r` moves past it. Size 1 means a 64-bit size follows,
// size 0 an atom that runs to the end of its parent; an atom running past its parent is
// cut to it. False when no whole atom header is there or the size is below it.
bool NextAtom(ByteReader* r, Atom* a) {
  const uint64_t start = r->Pos();
  uint32_t size32;
  uint64_t size;
  if (!r->U32BE(&size32) || !r->Read(4, &a->type)) return false;
  size = size32;
  if (size32 == 1 && !r->U64BE(&size)) return false;
  if (size32 == 0) size = r->End() - start;
  if (size < r->Pos() - start) return false;
  a->begin = r->Pos();
  a->end = start + std::min(size, r->End() - start);
  r->Seek(a->end);
  return true;
}

bool FindAtom(ByteSource& src, uint64_t begin, uint64_t end, std::string_view type, Atom* a) {
  ByteReader r(src, begin, end);
  while (NextAtom(&r, a)) {
    if (a->type == type) return true;
  }
  return false;
}

// The payload of the item's first "data" atom, after its type indicator and locale.
bool ItemData(ByteSource& src, const Atom& item, uint32_t* kind, std::string* value) {
  Atom data;
  if (!FindAtom(src, item.begin, item.end, "data", &data)) return false;
  ByteReader r(src, data.begin, data.end);
  return r.U32BE(kind) && r.Skip(4) && r.Remaining() <= kMaxValueBytes &&
         r.Read(r.Remaining(), value);
}

std::string ItemText(uint32_t kind, std::string_view value) {
  // Type 2 is UTF-16BE; everything else that is text is UTF-8.
  if ((kind & 0xFFFFFF) == 2) return Utf16BytesToUtf8(value, true);
  return Utf8TagText(value);
}

// A freeform item's name and its value when the name is LYRICS.
void ReadFreeform(ByteSource& src, const Atom& item, SongTags* tags) {
  Atom name;
  std::string text;
  if (!FindAtom(src, item.begin, item.end, "name", &name)) return;
  ByteReader r(src, name.begin, name.end);
  if (!r.Skip(4) || r.Remaining() > 256 || !r.Read(r.Remaining(), &text)) return;
  if (!EqualsIgnoreAsciiCase(text.substr(0, text.find('\0')), "LYRICS")) return;
  uint32_t kind;
  std::string value;
  if (!ItemData(src, item, &kind, &value)) return;
  tags->Lyrics = kind != 0           ? ItemText(kind, value)
                 : value.size() >= 4 ? std::to_string(ReadBE32(value, 0))
                                     : "";
}

constexpr std::string_view kTextItems[] = {"\xA9nam",
                                           "\xA9"
                                           "ART",
                                           "\xA9"
                                           "alb",
                                           "\xA9"
                                           "day",
                                           "\xA9gen",
                                           "\xA9"
                                           "cmt"};
constexpr int kTextFields[] = {0, 1, 2, 3, 4, 5};

void ReadItems(ByteSource& src, const Atom& ilst, SongTags* found, std::string* picture) {
  ByteReader r(src, ilst.begin, ilst.end);
  Atom item;
  std::string genre_number, lyr;
  while (NextAtom(&r, &item)) {
    uint32_t kind;
    std::string value;
    if (item.type == "----") {
      ReadFreeform(src, item, found);
      continue;
    }
    if (item.type == "\xA9lyr") {
      if (ItemData(src, item, &kind, &value)) lyr = ItemText(kind, value);
      continue;
    }
    if (item.type == "covr") {
      if (picture && ItemData(src, item, &kind, &value)) *picture = std::move(value);
      continue;
    }
    const auto* text = std::find(std::begin(kTextItems), std::end(kTextItems), item.type);
    const bool wanted = text != std::end(kTextItems) || item.type == "trkn" || item.type == "gnre";
    if (!wanted || !ItemData(src, item, &kind, &value)) continue;
    if (text != std::end(kTextItems)) {
      found->Field(kTextFields[text - std::begin(kTextItems)]) = ItemText(kind, value);
    } else if (value.size() >= 4 && item.type == "trkn") {
      found->Track = std::to_string(ReadBE32(value, 0));
    } else if (value.size() >= 2 && item.type == "gnre") {
      // An ID3v1 genre number plus one, as older iTunes stored its predefined genres.
      genre_number =
          GenreName((static_cast<uint8_t>(value[0]) << 8 | static_cast<uint8_t>(value[1])) - 1);
    }
  }
  if (found->Genre.empty()) found->Genre = genre_number;
  // iTunes' own lyric item is the one players show; a freeform LYRICS is a fallback.
  if (!lyr.empty()) found->Lyrics = std::move(lyr);
}

bool FindItemList(ByteSource& src, Atom* ilst) {
  ByteReader top(src);
  Atom moov, udta, meta;
  if (!NextAtom(&top, &moov) || moov.type != "ftyp" ||
      !FindAtom(src, moov.end, src.Size(), "moov", &moov) ||
      !FindAtom(src, moov.begin, moov.end, "udta", &udta) ||
      !FindAtom(src, udta.begin, udta.end, "meta", &meta)) {
    return false;
  }
  // ISO's meta starts with a version-and-flags word; QuickTime's has none.
  std::string word;
  const bool full = src.ReadAt(meta.begin, 4, &word) && word == std::string(4, '\0');
  return FindAtom(src, meta.begin + (full ? 4 : 0), meta.end, "ilst", ilst);
}

}  // namespace

bool ReadMp4Tags(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture) {
  SongTags found;
  found.Lyrics = tags->Lyrics;
  Atom ilst;
  if (FindItemList(src, &ilst)) ReadItems(src, ilst, &found, wantPicture ? picture : nullptr);
  *tags = std::move(found);
  return true;
}

bool ReadMp4TextItem(ByteSource& src, std::string_view type, std::string* text) {
  Atom ilst, item;
  uint32_t kind;
  std::string value;
  if (!FindItemList(src, &ilst) || !FindAtom(src, ilst.begin, ilst.end, type, &item) ||
      !ItemData(src, item, &kind, &value)) {
    return false;
  }
  *text = ItemText(kind, value);
  return true;
}

bool ReadMp4Tags(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture) {
  return WithFileSource(
      path, [&](ByteSource& src) { return ReadMp4Tags(src, tags, picture, wantPicture); });
}

}  // namespace lirotag
