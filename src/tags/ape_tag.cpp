#include "tags/ape_tag.h"

namespace lirotag {

namespace {

constexpr uint64_t kFooterBytes = 32;

// The items between `r`'s position and its end. A size that points past the footer ends
// the list: whatever follows is not an item.
std::vector<TagItem> ReadItems(ByteReader r) {
  std::vector<TagItem> items;
  while (r.Remaining() >= 9) {
    uint32_t size, flags;
    r.U32LE(&size);
    r.U32LE(&flags);
    // Names are at most 255 bytes, ended by a NUL.
    std::string name, c;
    bool ended = false;
    while (!ended && name.size() <= 255 && r.Read(1, &c)) {
      ended = c[0] == '\0';
      if (!ended) name += c;
    }
    std::string value;
    if (!ended || size > r.Remaining()) break;
    if (size > kMaxValueBytes) {
      r.Skip(size);
      continue;
    }
    r.Read(size, &value);
    items.push_back({std::move(name), Utf8TagText(value)});
  }
  return items;
}

}  // namespace

bool ReadApeTag(ByteSource& src, SongTags* tags, std::vector<TagItem>* items) {
  const uint64_t size = src.Size();
  std::string b;
  const uint64_t id3v1 = size >= 128 && src.ReadAt(size - 128, 3, &b) && b == "TAG" ? 128 : 0;
  if (size < kFooterBytes + id3v1) return false;
  const uint64_t footer = size - id3v1 - kFooterBytes;
  if (!src.ReadAt(footer, 16, &b) || !b.starts_with("APETAGEX")) return false;
  // The tag size counts the items and the footer, not a header before them.
  const uint64_t tag_size = ReadLE32(b, 12);
  std::vector<TagItem> list;
  if (tag_size >= kFooterBytes && tag_size <= footer + kFooterBytes) {
    list = ReadItems(ByteReader(src, footer + kFooterBytes - tag_size, footer));
  }
  SongTags t;
  MapTagItems(list, AllFields(&t));
  *tags = std::move(t);
  if (items) *items = std::move(list);
  return true;
}

bool ReadApeTag(const std::string& path, SongTags* tags, std::vector<TagItem>* items) {
  return WithFileSource(path, [&](ByteSource& src) { return ReadApeTag(src, tags, items); });
}

}  // namespace lirotag
