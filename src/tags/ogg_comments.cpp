#include "tags/ogg_comments.h"

#include "tags/vorbis_comments.h"

namespace lirotag {

namespace {

constexpr size_t kPageHeaderBytes = 27;
// The headers come first in a stream; a walk this far without them is not a Vorbis file.
constexpr uint64_t kMaxHeaderWalk = 2 * kMaxValueBytes;

// The second packet of the first logical stream, put together from as many pages as it
// spans. False when the first packet is not a Vorbis identification header or the pages
// end before the second packet does.
bool ReadCommentPacket(ByteSource& src, std::string* packet) {
  ByteReader r(src, 0, std::min(src.Size(), kMaxHeaderWalk));
  std::string h, lacing, body;
  uint32_t serial = 0;
  int index = 0;  // of the packet being read
  for (bool first = true; r.Read(kPageHeaderBytes, &h) && h.starts_with("OggS"); first = false) {
    const uint32_t page_serial = ReadLE32(h, 14);
    if (first) serial = page_serial;
    if (!r.Read(static_cast<unsigned char>(h[26]), &lacing)) return false;
    uint64_t body_size = 0;
    for (char l : lacing) body_size += static_cast<unsigned char>(l);
    if (page_serial != serial) {
      if (!r.Skip(body_size)) return false;
      continue;
    }
    if (!r.Read(body_size, &body)) return false;
    size_t at = 0;
    for (char l : lacing) {
      const auto n = static_cast<unsigned char>(l);
      if (index == 0 && at == 0 && !body.starts_with("\x01vorbis")) return false;
      if (index == 1) packet->append(body, at, n);
      at += n;
      if (n < 255 && ++index == 2) return true;
    }
    if (packet->size() > kMaxValueBytes) return false;
  }
  return false;
}

}  // namespace

bool ReadOggComments(ByteSource& src, SongTags* tags, std::vector<TagItem>* items) {
  std::string packet;
  if (!ReadCommentPacket(src, &packet) || !packet.starts_with("\x03vorbis")) return false;
  MemorySource mem(packet);
  std::vector<TagItem> list;
  ReadVorbisComments(ByteReader(mem, 7, packet.size()), false, &list);
  SongTags t;
  MapTagItems(list, AllFields(&t));
  FillFromStandardNames(list, &t);
  *tags = std::move(t);
  if (items) *items = std::move(list);
  return true;
}

bool ReadOggComments(const std::string& path, SongTags* tags, std::vector<TagItem>* items) {
  return WithFileSource(path, [&](ByteSource& src) { return ReadOggComments(src, tags, items); });
}

}  // namespace lirotag
