#include "tags/flac_tags.h"

#include <algorithm>

#include "tags/id3v2.h"
#include "tags/vorbis_comments.h"

namespace lirotag {

namespace {

constexpr uint32_t kCommentBlock = 4, kPictureBlock = 6, kFrontCover = 3;

// Picture type, MIME type, description, four numbers, image: the image.
bool SplitPicture(std::string_view b, uint32_t* type, std::string_view* image) {
  MemorySource mem(b);
  ByteReader r(mem);
  uint32_t mime, desc, length;
  if (!r.U32BE(type) || !r.U32BE(&mime) || !r.Skip(mime) || !r.U32BE(&desc) || !r.Skip(desc) ||
      !r.Skip(16) || !r.U32BE(&length) || length > r.Remaining()) {
    return false;
  }
  *image = b.substr(r.Pos(), length);
  return true;
}

// The length a PICTURE block's own fields give it, read at `at`; 0 when they do not fit
// the file.
uint64_t PictureLengthByFields(ByteSource& src, uint64_t at) {
  ByteReader r(src, at, src.Size());
  uint32_t type, mime, desc, length;
  if (!r.U32BE(&type) || !r.U32BE(&mime) || mime > 256 || !r.Skip(mime) || !r.U32BE(&desc) ||
      !r.Skip(desc) || !r.Skip(16) || !r.U32BE(&length) || length > r.Remaining()) {
    return 0;
  }
  return r.Pos() + length - at;
}

// Whether what follows metadata at `at` looks like it: the file's end, another block
// whose length fits the file, or the first audio frame's sync code.
bool BlockOrAudioAt(ByteSource& src, uint64_t at) {
  std::string h;
  if (at == src.Size()) return true;
  if (!src.ReadAt(at, std::min<uint64_t>(4, src.Size() - at), &h) || h.size() < 2) return false;
  if (h[0] == '\xFF' && (static_cast<unsigned char>(h[1]) & 0xFE) == 0xF8) return true;
  return h.size() == 4 && (h[0] & 0x7F) <= kPictureBlock &&
         (ReadBE32(h, 0) & 0xFFFFFF) <= src.Size() - at - 4;
}

}  // namespace

void OfferFlacPicture(std::string_view block, bool* haveFront, std::string* picture) {
  if (*haveFront) return;
  uint32_t kind = 0;
  std::string_view image;
  *haveFront = SplitPicture(block, &kind, &image) && kind == kFrontCover;
  *picture = PictureFromFlac(block);
}

std::string PictureFromFlac(std::string_view block) {
  const size_t p = block.find("image/");
  if (p == std::string_view::npos) return {};
  uint32_t type;
  std::string_view image;
  if (SplitPicture(block, &type, &image)) return std::string(image);
  return ExtractPicture(block, AsciiUpper(block.substr(p + 6, 3)));
}

uint64_t FlacStart(ByteSource& src) {
  // Some taggers put an ID3v2 tag (now and then more than one) before the signature.
  uint64_t at = 0;
  for (uint64_t n; (n = Id3v2TagBytes(src, at)) > 0;) at += n;
  std::string b;
  return src.ReadAt(at, 4, &b) && b == "fLaC" ? at + 4 : 0;
}

bool ReadFlacTags(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture,
                  std::vector<TagItem>* items) {
  const uint64_t start = FlacStart(src);
  if (start == 0) return false;
  ByteReader r(src, start, src.Size());
  std::vector<TagItem> list;
  bool front = false;
  uint32_t header;
  while (r.U32BE(&header)) {
    // A block cut short by the file's end is read as far as it goes.
    const uint64_t body_at = r.Pos();
    ByteReader block = r.Take(header & 0xFFFFFF);
    const uint32_t type = header >> 24 & 0x7F;
    if (type == kCommentBlock) {
      std::vector<TagItem> found;
      uint64_t end = 0;
      if (!ReadVorbisComments(block, true, &found)) {
        // Old libFLAC versions wrote some comment blocks with too short a length: when the
        // comments run on past it, every one NAME=value, up to the count announced, the
        // block really ends where they do.
        std::vector<TagItem> longer;
        if (ReadVorbisComments(ByteReader(src, body_at, src.Size()), true, &longer, &end, true)) {
          found = std::move(longer);
          if (end > r.Pos()) r.Seek(end);
        }
      }
      list.insert(list.end(), found.begin(), found.end());
    } else if (type == kPictureBlock) {
      // Some writers declared a picture block shorter than the picture in it; the
      // picture's own lengths say where it really ends.
      uint64_t by_fields = PictureLengthByFields(src, body_at);
      if (by_fields <= block.Remaining() || !BlockOrAudioAt(src, body_at + by_fields))
        by_fields = 0;
      const uint64_t length = std::max(by_fields, block.Remaining());
      if (by_fields > 0) r.Seek(body_at + by_fields);
      ByteReader whole(src, body_at, body_at + length);
      std::string body;
      if (wantPicture && picture && !front && whole.Remaining() <= kMaxValueBytes &&
          whole.Read(whole.Remaining(), &body)) {
        OfferFlacPicture(body, &front, picture);
      }
    }
    if (header & 0x80000000u) break;  // the last metadata block
  }
  MapTagItems(list, AllFields(tags),
              {"Title", "Artist", "Album", "DATE", "Genre", "Comment", "Tracknumber", "Lyrics"});
  FillFromStandardNames(list, tags);
  if (items) *items = std::move(list);
  return true;
}

bool ReadFlacTags(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture,
                  std::vector<TagItem>* items) {
  return WithFileSource(
      path, [&](ByteSource& src) { return ReadFlacTags(src, tags, picture, wantPicture, items); });
}

}  // namespace lirotag
