#include "tags/read_song_tags.h"

#include <array>

#include "tags/ape_tag.h"
#include "tags/asf_tags.h"
#include "tags/flac_tags.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mp4_tags.h"
#include "tags/ogg_comments.h"

namespace lirotag {

namespace {

struct Row {
  std::string_view ext;
  TagFormat format;
};
constexpr std::array<Row, 17> kDispatch = {{{"MP3", TagFormat::kMp3},
                                            {"WMA", TagFormat::kAsf},
                                            {"APE", TagFormat::kApe},
                                            {"AAC", TagFormat::kApe},
                                            {"WAV", TagFormat::kApe},
                                            {"OFR", TagFormat::kApe},
                                            {"OFS", TagFormat::kApe},
                                            {"MPC", TagFormat::kApe},
                                            {"WV", TagFormat::kApe},
                                            {"TTA", TagFormat::kApe},
                                            {"OGG", TagFormat::kOgg},
                                            {"OGA", TagFormat::kOgg},
                                            {"OPUS", TagFormat::kOgg},
                                            {"MP4", TagFormat::kMp4},
                                            {"M4A", TagFormat::kMp4},
                                            {"FLAC", TagFormat::kFlac},
                                            {"FLA", TagFormat::kFlac}}};

}  // namespace

TagFormat TagFormatOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  const std::string ext = AsciiUpper(dot == std::string_view::npos ? path : path.substr(dot + 1));
  for (const Row& row : kDispatch) {
    if (row.ext == ext) return row.format;
  }
  return TagFormat::kNone;
}

SongTags ReadTagsInOrder(ByteSource& src, std::string_view order, std::string* picture,
                         bool wantPicture) {
  SongTags work;
  std::vector<SongTags> found;
  for (size_t begin = 0; begin <= order.size();) {
    size_t end = order.find("->", begin);
    if (end == std::string_view::npos) end = order.size();
    const std::string piece = AsciiUpper(order.substr(begin, end - begin));
    begin = end + 2;
    bool read = false;
    if (piece == "ID3V1") {
      read = ReadId3v1(src, &work);
    } else if (piece == "ID3V2") {
      read = ReadId3v2(src, &work, picture, wantPicture);
    } else if (piece == "APE") {
      read = ReadApeTag(src, &work);
    }
    if (read) found.push_back(work);
  }
  return MergeSongTags(found);
}

SongTags ReadTagsInOrder(const std::string& path, std::string_view order, std::string* picture,
                         bool wantPicture) {
  SongTags out;
  WithFileSource(path, [&](ByteSource& src) {
    out = ReadTagsInOrder(src, order, picture, wantPicture);
    return true;
  });
  return out;
}

bool ReadTagsOfFormat(TagFormat format, ByteSource& src, SongTags* tags, std::string* picture,
                      bool wantPicture) {
  SongTags t;
  switch (format) {
    case TagFormat::kNone:
      *tags = t;
      return false;
    case TagFormat::kMp3:
      t = ReadTagsInOrder(src, "ID3V2->APE->ID3V1", picture, wantPicture);
      break;
    case TagFormat::kAsf:
      ReadAsfTags(src, &t, nullptr, picture, wantPicture);
      break;
    case TagFormat::kApe:
      ReadApeTag(src, &t);
      break;
    case TagFormat::kOgg:
      ReadOggComments(src, &t, nullptr, wantPicture ? picture : nullptr);
      break;
    case TagFormat::kMp4:
      ReadMp4Tags(src, &t, picture, wantPicture);
      break;
    case TagFormat::kFlac: {
      // An ID3v2 tag some taggers put in front fills what the comments leave empty.
      // Its cover serves when the FLAC blocks give none.
      const bool want = wantPicture && picture;
      std::string flac_picture = picture ? *picture : std::string(), id3_picture;
      SongTags id3;
      ReadFlacTags(src, &t, &flac_picture, want);
      if (ReadId3v2(src, &id3, &id3_picture, want)) t = MergeSongTags({t, id3});
      if (!picture) break;
      const bool none = flac_picture.empty() || flac_picture == *picture;
      *picture = none && !id3_picture.empty() ? std::move(id3_picture) : std::move(flac_picture);
      break;
    }
  }
  *tags = std::move(t);
  return true;
}

bool ReadSongTags(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture) {
  const TagFormat format = TagFormatOf(path);
  *tags = SongTags();
  if (format == TagFormat::kNone) return false;
  WithFileSource(path, [&](ByteSource& src) {
    return ReadTagsOfFormat(format, src, tags, picture, wantPicture);
  });
  return true;
}

}  // namespace lirotag
