#include "tags/id3v2.h"

#include <algorithm>
#include <array>
#include <optional>

#include "files/encoding.h"

namespace lirotag {

namespace {

enum Frame { kTitle, kArtist, kAlbum, kYear, kGenre, kComment, kTrack, kLyrics, kPicture, kDate };

constexpr std::array<std::string_view, 10> kFrameNames = {"TIT2", "TPE1", "TALB", "TYER", "TCON",
                                                          "COMM", "TRCK", "USLT", "APIC", "TDRC"};
// Version 2.2 (older iTunes, id3lib) names the same frames with three letters.
constexpr std::array<std::string_view, 10> kFrameNames22 = {"TT2", "TP1", "TAL", "TYE", "TCO",
                                                            "COM", "TRK", "ULT", "PIC", ""};

uint32_t Synchsafe(uint32_t v) {
  return (v & 0x7F) | (v >> 8 & 0x7F) << 7 | (v >> 16 & 0x7F) << 14 | (v >> 24 & 0x7F) << 21;
}

// Undoes unsynchronisation: every FF 00 goes back to FF.
std::string Resync(std::string_view b) {
  std::string out;
  out.reserve(b.size());
  for (size_t i = 0; i < b.size(); ++i) {
    out.push_back(b[i]);
    if (b[i] == '\xFF' && i + 1 < b.size() && b[i + 1] == '\0') ++i;
  }
  return out;
}

bool IsFrameId(std::string_view id) {
  for (char c : id) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// Where a frame ending at `next` leaves the walk is plausible: on the next frame's name,
// on padding, or on the tag's end.
bool LandsOnFrame(ByteReader r, uint64_t next) {
  if (next == r.End()) return true;
  std::string id;
  if (!r.Seek(next) || !r.Read(std::min<uint64_t>(4, r.Remaining()), &id)) return false;
  return id[0] == '\0' || (id.size() == 4 && IsFrameId(id));
}

// Version 2.4 sizes are synchsafe, but some writers stored plain ones.
enum class V4Sizes { kSynchsafe, kPlain, kGuessEach };

// Padding is zeros to the tag's end; a look at its start is enough to tell it from frame
// content that a misread size ended in.
bool IsPadding(ByteReader r) {
  std::string rest;
  if (!r.Read(std::min<uint64_t>(r.Remaining(), 64 << 10), &rest)) return false;
  return rest.find_first_not_of('\0') == std::string::npos;
}

// Whether the frames from `r`'s position, read with synchsafe or with plain sizes, follow
// one another to the tag's end or to its padding.
bool WalksCleanly(ByteReader r, bool synchsafe) {
  while (r.Remaining() >= 10) {
    std::string id;
    uint32_t raw;
    r.Read(4, &id);
    if (id[0] == '\0') {
      r.Seek(r.Pos() - 4);
      return IsPadding(r);
    }
    if (!IsFrameId(id) || !r.U32BE(&raw) || !r.Skip(2)) return false;
    if (synchsafe && (raw & 0x80808080u)) return false;
    if (!r.Skip(synchsafe ? Synchsafe(raw) : raw)) return false;
  }
  return IsPadding(r);
}

V4Sizes ChooseV4Sizes(const ByteReader& r) {
  if (WalksCleanly(r, true)) return V4Sizes::kSynchsafe;
  if (WalksCleanly(r, false)) return V4Sizes::kPlain;
  return V4Sizes::kGuessEach;
}

// For a tag that walks cleanly neither way: the reading of this one size that lands on a
// frame, padding or the end.
uint64_t V4FrameSize(const ByteReader& r, uint32_t raw, V4Sizes sizes) {
  if (sizes == V4Sizes::kPlain || (raw & 0x80808080u)) return raw;
  const uint32_t safe = Synchsafe(raw);
  if (sizes == V4Sizes::kSynchsafe || safe == raw || LandsOnFrame(r, r.Pos() + safe)) return safe;
  if (LandsOnFrame(r, r.Pos() + raw)) return raw;
  return safe;
}

// Offset of the text after a description ended by the encoding's terminator, searched
// from `from`.
std::optional<size_t> AfterTerminator(std::string_view d, size_t from, int encoding) {
  if (encoding == 1 || encoding == 2) {
    for (size_t i = from; i + 1 < d.size(); i += 2) {
      if (d[i] == '\0' && d[i + 1] == '\0') return i + 2;
    }
    return std::nullopt;
  }
  const size_t nul = d.find('\0', from);
  if (nul == std::string_view::npos) return std::nullopt;
  return nul + 1;
}

// Language, description, terminator, text: the text, decoded, and whether the
// description was empty (a plain comment rather than a named one such as iTunNORM).
std::string CommentText(std::string_view d, int encoding, bool* plain) {
  *plain = true;
  if (d.size() < 3) return {};
  const auto at = AfterTerminator(d, 3, encoding);
  if (!at) return DecodeId3Text(d.substr(3), encoding);
  *plain = DecodeId3Text(d.substr(3, *at - 3), encoding).empty();
  return DecodeId3Text(d.substr(*at), encoding);
}

// MIME type, picture type, description, image.
bool SplitPicture(std::string_view d, int encoding, int* type, std::string_view* image) {
  const size_t mime_end = d.find('\0');
  if (mime_end == std::string_view::npos || mime_end + 1 >= d.size()) return false;
  *type = static_cast<unsigned char>(d[mime_end + 1]);
  const auto at = AfterTerminator(d, mime_end + 2, encoding);
  if (!at || *at >= d.size()) return false;
  *image = d.substr(*at);
  return true;
}

// Version 2.2: a three-letter image format instead of the MIME type, then as above.
bool SplitPicture22(std::string_view d, int encoding, int* type, std::string_view* image) {
  if (d.size() < 5) return false;
  *type = static_cast<unsigned char>(d[3]);
  const auto at = AfterTerminator(d, 4, encoding);
  if (!at || *at >= d.size()) return false;
  *image = d.substr(*at);
  return true;
}

struct Walk {
  SongTags* tags = nullptr;
  std::string* picture = nullptr;
  bool want_picture = false;
  const Id3FrameVisitor* visit = nullptr;
  bool have_year = false, have_plain_comment = false, have_front_cover = false;
  std::string date;
};

void Store(Walk* w, Frame f, std::string_view body, int major) {
  const int e = static_cast<unsigned char>(body[0]);
  const std::string_view d = body.substr(1);
  switch (f) {
    case kComment: {
      bool plain;
      std::string text = CommentText(d, e, &plain);
      if (plain || !w->have_plain_comment) w->tags->Comment = std::move(text);
      w->have_plain_comment |= plain;
      break;
    }
    case kLyrics: {
      bool plain;
      w->tags->Lyrics = CommentText(d, e, &plain);
      break;
    }
    case kPicture: {
      int type = 0;
      std::string_view image;
      const bool split =
          major == 2 ? SplitPicture22(d, e, &type, &image) : SplitPicture(d, e, &type, &image);
      const bool front = split && type == 3;
      if (front || !w->have_front_cover) {
        *w->picture = split        ? std::string(image)
                      : major == 2 ? ExtractPicture(d.substr(std::min<size_t>(3, d.size())),
                                                    AsciiUpper(d.substr(0, 3)))
                                   : PictureFromFrame(d, e);
      }
      w->have_front_cover |= front;
      break;
    }
    case kDate:
      w->date = DecodeId3Text(d, e);
      break;
    default:
      w->have_year |= f == kYear;
      w->tags->Field(f) = DecodeId3Text(d, e);
  }
}

// A frame header: four-letter name, size, two flag bytes; in version 2.2 a three-letter
// name and a three-byte size only.
bool NextFrameHeader(ByteReader* r, int major, std::string* id, uint32_t* raw, unsigned char* fmt) {
  *fmt = 0;
  if (major == 2) {
    std::string h;
    if (!r->Read(6, &h) || h[0] == '\0' || !IsFrameId(h.substr(0, 3))) return false;
    *id = h.substr(0, 3);
    *raw = ReadBE32(h, 2) & 0xFFFFFF;
    return true;
  }
  std::string flags;
  if (!r->Read(4, id) || (*id)[0] == '\0' || !IsFrameId(*id) || !r->U32BE(raw) ||
      !r->Read(2, &flags)) {
    return false;
  }
  *fmt = static_cast<unsigned char>(flags[1]);
  return true;
}

// The frames from the reader's position to its end.
void WalkFrames(ByteReader r, int major, bool unsynced, Walk* w) {
  const V4Sizes sizes = major >= 4 ? ChooseV4Sizes(r) : V4Sizes::kPlain;
  const auto& names = major == 2 ? kFrameNames22 : kFrameNames;
  std::string id;
  uint32_t raw;
  unsigned char fmt;
  while (r.Remaining() >= (major == 2 ? 6u : 10u) && NextFrameHeader(&r, major, &id, &raw, &fmt)) {
    const uint64_t size = major >= 4 ? V4FrameSize(r, raw, sizes) : raw;
    if (size > r.Remaining()) break;  // runs past the tag: the rest is not frames
    const auto* known = std::find(names.begin(), names.end(), id);
    const auto f = static_cast<Frame>(known - names.begin());
    // Compressed or encrypted content cannot be read without what it was packed with.
    const bool sealed = major >= 4 ? (fmt & 0x0C) != 0 : (fmt & 0xC0) != 0;
    const bool stored = known != names.end() && (f != kPicture || w->want_picture);
    if ((!stored && !w->visit) || sealed || size > kMaxValueBytes) {
      r.Skip(size);
      continue;
    }
    std::string body;
    if (!r.Read(size, &body)) break;
    if (major >= 4) {
      if (fmt & 0x40) body.erase(0, 1);                                 // grouping identity
      if (fmt & 0x01) body.erase(0, std::min<size_t>(4, body.size()));  // data length
      if ((fmt & 0x02) || unsynced) body = Resync(body);
    } else if (fmt & 0x20) {
      body.erase(0, 1);
    }
    if (body.empty()) continue;
    if (w->visit) (*w->visit)(id, body);
    if (stored) Store(w, f, body, major);
  }
}

}  // namespace

std::string DecodeId3Text(std::string_view data, int encoding) {
  switch (encoding) {
    case 1:
      if (data.starts_with("\xFF\xFE")) return Utf16BytesToUtf8(data.substr(2), false);
      if (data.starts_with("\xFE\xFF")) return Utf16BytesToUtf8(data.substr(2), true);
      return {};
    case 2:
      if (data.starts_with("\xFF\xFE")) return Utf16BytesToUtf8(data.substr(2), false);
      return Utf16BytesToUtf8(data, true);
    case 3:  // declared UTF-8, but some writers put the system's code page there
      return Utf8TagText(data);
    default:
      return LegacyTagText(data);
  }
}

uint64_t Id3v2TagBytes(ByteSource& src, uint64_t at) {
  std::string h;
  if (!src.ReadAt(at, 10, &h) || !h.starts_with("ID3") || (ReadBE32(h, 6) & 0x80808080u)) return 0;
  const uint64_t footer = (h[5] & 0x10) ? 10 : 0;
  return 10 + Synchsafe(ReadBE32(h, 6)) + footer;
}

std::string PictureFromFrame(std::string_view data, int encoding) {
  int type;
  std::string_view image;
  if (SplitPicture(data, encoding, &type, &image)) return std::string(image);
  // No frame structure to go by: cut at the signature the MIME type names.
  const size_t p = data.find("image/");
  const size_t at = p == std::string_view::npos ? 4 : p + 6;
  return ExtractPicture(data, AsciiUpper(data.substr(std::min(at, data.size()), 3)));
}

bool ReadId3v2(ByteSource& src, SongTags* tags, std::string* picture, bool wantPicture,
               const Id3FrameVisitor* visit) {
  std::string h;
  if (!src.ReadAt(0, 10, &h) || !h.starts_with("ID3")) return false;
  const int major = static_cast<unsigned char>(h[3]);
  if (major < 2) return false;
  const auto flags = static_cast<unsigned char>(h[5]);
  // Version 2.2 defined whole-tag compression but never a method for it.
  if (major == 2 && (flags & 0x40)) return true;
  const uint64_t size = Synchsafe(ReadBE32(h, 6));
  Walk w;
  w.tags = tags;
  w.picture = picture;
  w.want_picture = wantPicture && picture != nullptr;
  w.visit = visit;
  // Versions 2.2 and 2.3 unsynchronise the whole tag, frame headers included: undo that
  // first.
  std::string resynced;
  std::optional<MemorySource> mem;
  if ((flags & 0x80) && major < 4) {
    ByteReader whole(src, 10, 10 + size);
    std::string raw;
    whole.Read(std::min(whole.Remaining(), kMaxValueBytes), &raw);
    resynced = Resync(raw);
    mem.emplace(resynced);
  }
  ByteReader r = mem ? ByteReader(*mem) : ByteReader(src, 10, 10 + size);
  if ((flags & 0x40) && major >= 3) {  // extended header
    uint32_t n;
    if (!r.U32BE(&n)) return true;
    if (major >= 4 && Synchsafe(n) < 4) return true;
    if (!r.Skip(major >= 4 ? Synchsafe(n) - 4 : n)) return true;
  }
  WalkFrames(r, major, major >= 4 && (flags & 0x80), &w);
  if (!w.have_year && !w.date.empty()) tags->Year = w.date;
  return true;
}

bool ReadId3v2(const std::string& path, SongTags* tags, std::string* picture, bool wantPicture) {
  if (path.size() < 4 || AsciiUpper(path.substr(path.size() - 4)) != ".MP3") return false;
  return WithFileSource(
      path, [&](ByteSource& src) { return ReadId3v2(src, tags, picture, wantPicture); });
}

}  // namespace lirotag
