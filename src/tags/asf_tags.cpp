#include "tags/asf_tags.h"

#include <algorithm>
#include <optional>

namespace lirotag {

namespace {

using std::string_view_literals::operator""sv;

constexpr std::string_view kHeaderGuid =
    "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr std::string_view kContentGuid =
    "\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr std::string_view kExtendedGuid =
    "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50"sv;

enum Entry {
  kTitle,
  kAuthor,
  kRights,
  kDescription,
  kAlbum,
  kYear,
  kTrackNumber,
  kTrack,
  kEncodedBy,
  kGenre,
  kLyrics,
  kUrl,
  kUserWebUrl,
  kSdkVersion,
  kPicture
};

struct Name {
  std::string_view name;
  Entry entry;
};
constexpr std::array<Name, 11> kNames = {{{"WM/AlbumTitle", kAlbum},
                                          {"WM/EncodedBy", kEncodedBy},
                                          {"WM/Genre", kGenre},
                                          {"WM/Lyrics", kLyrics},
                                          {"WM/Track", kTrack},
                                          {"WM/Year", kYear},
                                          {"WM/URL", kUrl},
                                          {"WM/UserWebURL", kUserWebUrl},
                                          {"WMFSDKVersion", kSdkVersion},
                                          {"WM/TrackNumber", kTrackNumber},
                                          {"WM/Picture", kPicture}}};

enum ValueType { kText = 0, kBool = 2, kDword = 3, kQword = 4, kWord = 5 };

std::string Utf16Le(std::string_view b) {
  return Utf16BytesToUtf8(b, false);
}

void ReadContentDescription(ByteReader r, AsfAttributes* w) {
  uint16_t lengths[5];
  for (uint16_t& n : lengths) {
    if (!r.U16LE(&n)) return;
  }
  std::string b;
  for (int i = 0; i < 4; ++i) {
    if (!r.Read(lengths[i], &b)) return;
    (*w)[i] = Utf16Le(b);
  }
}

// Little-endian number of up to eight bytes, as decimal text.
std::string NumberText(std::string_view b) {
  uint64_t v = 0;
  for (size_t i = std::min<size_t>(b.size(), 8); i-- > 0;) v = v << 8 | static_cast<uint8_t>(b[i]);
  return std::to_string(v);
}

void ReadExtended(ByteReader r, AsfAttributes* w, std::string* picture) {
  uint16_t count;
  if (!r.U16LE(&count)) return;
  for (int i = 0; i < count; ++i) {
    uint16_t name_length, type, length;
    std::string name, value;
    if (!r.U16LE(&name_length) || !r.Read(name_length, &name) || !r.U16LE(&type) ||
        !r.U16LE(&length) || !r.Read(length, &value)) {
      return;
    }
    const std::string n = Utf16Le(name);
    const auto* it =
        std::find_if(kNames.begin(), kNames.end(), [&](const Name& k) { return k.name == n; });
    if (it == kNames.end()) continue;
    if (it->entry == kPicture) {
      if (picture) *picture = PictureFromAsf(value);
    } else if (type == kDword || type == kQword || type == kWord || type == kBool) {
      (*w)[it->entry] = NumberText(value);
    } else {
      (*w)[it->entry] = Utf16Le(value);
    }
  }
}

// The offset after a NUL-terminated UTF-16 text starting at `from`.
std::optional<size_t> AfterUtf16(std::string_view b, size_t from) {
  for (size_t i = from; i + 1 < b.size(); i += 2) {
    if (b[i] == '\0' && b[i + 1] == '\0') return i + 2;
  }
  return std::nullopt;
}

}  // namespace

std::string PictureFromAsf(std::string_view value) {
  // Picture type, image length, MIME type, description, image.
  const auto mime_end = AfterUtf16(value, 5);
  const auto desc_end = mime_end ? AfterUtf16(value, *mime_end) : std::nullopt;
  if (desc_end && *desc_end < value.size()) {
    return std::string(value.substr(*desc_end, ReadLE32(value, 1)));
  }
  // No structure to go by: cut at the signature the MIME type names.
  const std::string mime = value.size() > 5 ? Utf16Le(value.substr(5, 22)) : "";
  const std::string upper = AsciiUpper(mime);
  const size_t at = upper.find("IMAGE/");
  return ExtractPicture(value, at == std::string::npos
                                   ? upper.substr(std::min<size_t>(4, upper.size()))
                                   : upper.substr(at + 6));
}

bool ReadAsfTags(ByteSource& src, SongTags* tags, AsfAttributes* working, std::string* picture,
                 bool wantPicture) {
  ByteReader r(src);
  std::string guid;
  uint64_t size;
  if (!r.Read(16, &guid) || guid != kHeaderGuid || !r.U64LE(&size) || !r.Skip(6)) return false;
  AsfAttributes w;
  ByteReader header(src, r.Pos(), size);
  uint64_t object_size;
  while (header.Read(16, &guid) && header.U64LE(&object_size) && object_size >= 24) {
    ByteReader body = header.Take(object_size - 24);
    if (guid == kContentGuid) {
      ReadContentDescription(body, &w);
    } else if (guid == kExtendedGuid) {
      ReadExtended(body, &w, wantPicture ? picture : nullptr);
    }
  }
  *tags = SongTags{w[kTitle], w[kAuthor],      w[kAlbum],       w[kYear],
                   w[kGenre], w[kDescription], w[kTrackNumber], w[kLyrics]};
  if (working) *working = std::move(w);
  return true;
}

bool ReadAsfTags(const std::string& path, SongTags* tags, AsfAttributes* working,
                 std::string* picture, bool wantPicture) {
  if (path.size() < 4 || AsciiUpper(path.substr(path.size() - 4)) != ".WMA") return false;
  return WithFileSource(
      path, [&](ByteSource& src) { return ReadAsfTags(src, tags, working, picture, wantPicture); });
}

}  // namespace lirotag
