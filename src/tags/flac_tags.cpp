#include "tags/flac_tags.h"

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
    } else if (type == kPictureBlock && wantPicture && picture && !front) {
      std::string body;
      block.Read(block.Remaining(), &body);
      OfferFlacPicture(body, &front, picture);
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
