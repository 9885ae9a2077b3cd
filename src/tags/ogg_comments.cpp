#include "tags/ogg_comments.h"

#include "tags/flac_tags.h"
#include "tags/vorbis_comments.h"

namespace lirotag {

namespace {

constexpr size_t kPageHeaderBytes = 27;
// The headers come first in a stream; a walk this far without them is not a tagged file.
constexpr uint64_t kMaxHeaderWalk = 2 * kMaxValueBytes;
// Ogg FLAC carries its metadata blocks one a packet; no real file has this many.
constexpr int kMaxFlacBlocks = 1024;

// The packets of the first logical stream in order, each put together from as many
// pages as it spans. Pages of other streams are passed over.
class OggPackets {
 public:
  explicit OggPackets(ByteSource& src) : r_(src, 0, std::min(src.Size(), kMaxHeaderWalk)) {}

  // False at the end of the pages, on a damaged page, or for a packet larger than any
  // value is allowed to be.
  bool Next(std::string* packet) {
    packet->clear();
    for (;;) {
      while (segment_ < lacing_.size()) {
        const auto n = static_cast<unsigned char>(lacing_[segment_++]);
        packet->append(body_, at_, n);
        at_ += n;
        if (packet->size() > kMaxValueBytes) return false;
        if (n < 255) return true;
      }
      if (!NextPage()) return false;
    }
  }

 private:
  bool NextPage() {
    std::string h;
    for (;;) {
      if (!r_.Read(kPageHeaderBytes, &h) || !h.starts_with("OggS") ||
          !r_.Read(static_cast<unsigned char>(h[26]), &lacing_)) {
        return false;
      }
      uint64_t body_size = 0;
      for (char l : lacing_) body_size += static_cast<unsigned char>(l);
      const uint32_t serial = ReadLE32(h, 14);
      if (first_) serial_ = serial;
      first_ = false;
      if (serial == serial_) {
        segment_ = at_ = 0;
        return r_.Read(body_size, &body_);
      }
      if (!r_.Skip(body_size)) return false;
    }
  }

  ByteReader r_;
  bool first_ = true;
  uint32_t serial_ = 0;
  std::string lacing_, body_;
  size_t segment_ = 0, at_ = 0;
};

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 up to its padding or the first character outside the alphabet.
std::string Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const int v = Base64Value(c);
    if (v < 0) break;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16));
      out.push_back(static_cast<char>(bits >> 8));
      out.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) out.push_back(static_cast<char>(bits >> 4));
  if (count == 3) {
    out.push_back(static_cast<char>(bits >> 10));
    out.push_back(static_cast<char>(bits >> 2));
  }
  return out;
}

// The comment list after `skip` bytes of packet type.
void ReadPacketComments(const std::string& packet, size_t skip, std::vector<TagItem>* list) {
  MemorySource mem(packet);
  ReadVorbisComments(ByteReader(mem, skip, packet.size()), false, list);
}

// Ogg FLAC: after the identification packet, one metadata block a packet, up to the one
// flagged last (or the count the first packet gives).
void ReadFlacBlocks(OggPackets* packets, const std::string& first, std::vector<TagItem>* list,
                    bool* front, std::string* picture) {
  const unsigned count =
      static_cast<unsigned char>(first[7]) << 8 | static_cast<unsigned char>(first[8]);
  bool last = first.size() > 13 && (first[13] & 0x80);  // STREAMINFO's flag
  std::string block;
  for (int i = 0; !last && (count == 0 || i < static_cast<int>(count)) && i < kMaxFlacBlocks &&
                  packets->Next(&block);
       ++i) {
    if (block.size() < 4) break;
    last = block[0] & 0x80;
    const int type = block[0] & 0x7F;
    MemorySource mem(block);
    if (type == 4) {
      ReadVorbisComments(ByteReader(mem, 4, block.size()), true, list);
    } else if (type == 6 && picture) {
      OfferFlacPicture(std::string_view(block).substr(4), front, picture);
    }
  }
}

}  // namespace

bool ReadOggComments(ByteSource& src, SongTags* tags, std::vector<TagItem>* items,
                     std::string* picture) {
  OggPackets packets(src);
  std::string first, second, found;
  std::vector<TagItem> list;
  bool front = false;
  if (!packets.Next(&first)) return false;
  if (first.starts_with("\x01vorbis")) {
    if (!packets.Next(&second) || !second.starts_with("\x03vorbis")) return false;
    ReadPacketComments(second, 7, &list);
  } else if (first.starts_with("OpusHead")) {
    if (!packets.Next(&second) || !second.starts_with("OpusTags")) return false;
    ReadPacketComments(second, 8, &list);
  } else if (first.starts_with("\x7F"
                               "FLAC") &&
             first.size() >= 13 && first.compare(9, 4, "fLaC") == 0) {
    ReadFlacBlocks(&packets, first, &list, &front, picture ? &found : nullptr);
  } else {
    return false;
  }
  // Vorbis and Opus keep their pictures as comments: a FLAC PICTURE block in base64, or
  // in older files (COVERART) the image itself.
  if (picture) {
    std::string cover_art;
    for (const TagItem& item : list) {
      if (EqualsIgnoreAsciiCase(item.name, "METADATA_BLOCK_PICTURE")) {
        OfferFlacPicture(Base64Decode(item.value), &front, &found);
      } else if (EqualsIgnoreAsciiCase(item.name, "COVERART") && cover_art.empty()) {
        cover_art = Base64Decode(item.value);
      }
    }
    if (found.empty()) found = std::move(cover_art);
    if (!found.empty()) *picture = std::move(found);
  }
  SongTags t;
  MapTagItems(list, AllFields(&t));
  FillFromStandardNames(list, &t);
  *tags = std::move(t);
  if (items) *items = std::move(list);
  return true;
}

bool ReadOggComments(const std::string& path, SongTags* tags, std::vector<TagItem>* items,
                     std::string* picture) {
  return WithFileSource(
      path, [&](ByteSource& src) { return ReadOggComments(src, tags, items, picture); });
}

}  // namespace lirotag
