#include "tags/vorbis_comments.h"

namespace lirotag {

namespace {

// A field name as the comment format defines it: printable ASCII other than "=".
bool IsFieldName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c < 0x20 || c > 0x7D || c == '=') return false;
  }
  return true;
}

}  // namespace

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

bool ReadVorbisComments(ByteReader r, bool countLimits, std::vector<TagItem>* items, uint64_t* end,
                        bool namedOnly) {
  uint32_t vendor, count;
  if (!r.U32LE(&vendor) || !r.Skip(vendor) || !r.U32LE(&count)) return false;
  uint32_t i = 0;
  for (; (!countLimits || i < count) && r.Remaining() >= 4; ++i) {
    uint32_t length;
    r.U32LE(&length);
    if (length > r.Remaining()) return false;
    if (length > kMaxValueBytes) {  // an embedded picture no field wants
      r.Skip(length);
      continue;
    }
    std::string comment;
    r.Read(length, &comment);
    if (namedOnly && !IsFieldName(std::string_view(comment).substr(0, comment.find('='))))
      return false;
    if (namedOnly && comment.find('=') == std::string::npos) return false;
    items->push_back(SplitComment(comment));
  }
  if (end) *end = r.Pos();
  return i == count;
}

}  // namespace lirotag
