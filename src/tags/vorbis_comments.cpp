#include "tags/vorbis_comments.h"

namespace lirotag {

TagItem SplitComment(std::string_view comment) {
  const size_t eq = comment.find('=');
  if (eq == std::string_view::npos) return {"", Utf8TagText(comment)};
  return {Utf8TagText(comment.substr(0, eq)), Utf8TagText(comment.substr(eq + 1))};
}

void FillFromStandardNames(const std::vector<TagItem>& items, SongTags* tags) {
  SongTags standard;
  MapTagItems(items, AllFields(&standard), {"", "", "", "DATE", "", "DESCRIPTION", "TRACKNUMBER"});
  for (std::string SongTags::*f : {&SongTags::Year, &SongTags::Comment, &SongTags::Track}) {
    if ((tags->*f).empty()) tags->*f = standard.*f;
  }
}

void ReadVorbisComments(ByteReader r, bool countLimits, std::vector<TagItem>* items) {
  uint32_t vendor, count;
  if (!r.U32LE(&vendor) || !r.Skip(vendor) || !r.U32LE(&count)) return;
  for (uint32_t i = 0; (!countLimits || i < count) && r.Remaining() >= 4; ++i) {
    uint32_t length;
    r.U32LE(&length);
    if (length > r.Remaining()) return;
    if (length > kMaxValueBytes) {  // an embedded picture no field wants
      r.Skip(length);
      continue;
    }
    std::string comment;
    r.Read(length, &comment);
    items->push_back(SplitComment(comment));
  }
}

}  // namespace lirotag
