#include "tags/flac_tags.h"

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

std::string PictureFromFlac(std::string_view block) {
  const size_t p = block.find("image/");
  if (p == std::string_view::npos) return {};
  uint32_t type;
  std::string_view image;
  if (SplitPicture(block, &type, &image)) return std::string(image);
  return ExtractPicture(block, AsciiUpper(block.substr(p + 6, 3)));
}

bool ReadFlacTags(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture,
                  std::vector<TagItem>* items) {
  std::string b;
  if (!src.ReadAt(0, 4, &b) || b != "fLaC") return false;
  ByteReader r(src, 4, src.Size());
  std::vector<TagItem> list;
  bool front = false;
  uint32_t header;
  while (r.U32BE(&header)) {
    // A block cut short by the file's end is read as far as it goes.
    ByteReader block = r.Take(header & 0xFFFFFF);
    const uint32_t type = header >> 24 & 0x7F;
    if (type == kCommentBlock) {
      ReadVorbisComments(block, true, &list);
    } else if (type == kPictureBlock && wantPicture && picture && !front) {
      std::string body;
      block.Read(block.Remaining(), &body);
      uint32_t kind = 0;
      std::string_view image;
      front = SplitPicture(body, &kind, &image) && kind == kFrontCover;
      *picture = PictureFromFlac(body);
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
