#pragma once

// Song files built byte by byte, for the tag reader tests, fuzzers and benchmarks: each
// format's tag with the values given, put together as the format's writers do.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/encoding.h"
#include "tags/song_tags.h"

namespace lirotag {
// Test failures show the eight fields as text.
inline void PrintTo(const SongTags& t, std::ostream* os) {
  for (int i = 0; i < SongTags::kFieldCount; ++i) *os << (i ? ", \"" : "{\"") << t.Field(i) << '"';
  *os << "}";
}
}  // namespace lirotag

namespace lirotag::testing {

using Pairs = std::vector<std::pair<std::string, std::string>>;

inline std::string BE32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}
inline std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
inline std::string LE16(uint16_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8)};
}
inline std::string LE64(uint64_t v) {
  return LE32(static_cast<uint32_t>(v)) + LE32(v >> 32);
}
inline std::string Synchsafe(uint32_t v) {
  return {static_cast<char>(v >> 21 & 0x7F), static_cast<char>(v >> 14 & 0x7F),
          static_cast<char>(v >> 7 & 0x7F), static_cast<char>(v & 0x7F)};
}
inline std::string U16(std::string_view utf8, bool be = false) {
  return Utf16ToBytes(Utf8ToUtf16(utf8), be);
}

// Images that start with their format's signature.
inline std::string FakeJpeg(size_t n = 64) {
  std::string s = "\xFF\xD8\xFF\xE0";
  for (size_t i = 4; i < n; ++i) s.push_back(static_cast<char>(i * 7));
  return s;
}
inline std::string FakePng(size_t n = 64) {
  return "\x89PNG\r\n\x1A\n" + std::string(n - 8, 'p');
}

// ID3v2: frames with plain (2.3) or synchsafe (2.4) sizes, then padding.
inline std::string Id3Frame(std::string_view id, std::string_view body, int major = 3,
                            uint16_t flags = 0) {
  const auto n = static_cast<uint32_t>(body.size());
  return std::string(id) + (major >= 4 ? Synchsafe(n) : BE32(n)) +
         std::string{static_cast<char>(flags >> 8), static_cast<char>(flags)} + std::string(body);
}
// Version 2.2: three-letter name, three-byte size, no flags.
inline std::string Id3Frame22(std::string_view id, std::string_view body) {
  return std::string(id) + BE32(static_cast<uint32_t>(body.size())).substr(1) + std::string(body);
}
inline std::string Id3Text(int encoding, std::string_view data) {
  return static_cast<char>(encoding) + std::string(data);
}
inline std::string Id3Tag(std::string_view frames, int major = 3, uint8_t flags = 0,
                          size_t padding = 16) {
  const auto n = static_cast<uint32_t>(frames.size() + padding);
  return "ID3" + std::string{static_cast<char>(major), 0, static_cast<char>(flags)} + Synchsafe(n) +
         std::string(frames) + std::string(padding, '\0');
}
// An APIC frame body: encoding, MIME type, picture type, description, image.
inline std::string Apic(std::string_view mime, int type, std::string_view desc,
                        std::string_view image, int encoding = 0) {
  const std::string term(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
  return static_cast<char>(encoding) + std::string(mime) + '\0' + static_cast<char>(type) +
         std::string(desc) + term + std::string(image);
}

// ID3v1.1 block: a comment of up to 28 bytes and a track number when `track` > 0.
inline std::string Id3v1(std::string_view title, std::string_view artist, std::string_view album,
                         std::string_view year, std::string_view comment, int track, int genre) {
  auto field = [](std::string_view s, size_t n) {
    return (std::string(s) + std::string(n, '\0')).substr(0, n);
  };
  std::string c = field(comment, 30);
  if (track > 0) c[29] = static_cast<char>(track);
  return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) + c +
         static_cast<char>(genre);
}

// APE tag: items and a footer (no header).
inline std::string ApeTag(const Pairs& items, uint32_t version = 2000) {
  std::string body;
  for (const auto& [name, value] : items) {
    body += LE32(static_cast<uint32_t>(value.size())) + LE32(0) + name + '\0' + value;
  }
  return body + "APETAGEX" + LE32(version) + LE32(static_cast<uint32_t>(body.size() + 32)) +
         LE32(static_cast<uint32_t>(items.size())) + LE32(0) + std::string(8, '\0');
}

// ASF: a Header Object holding a Content Description and an Extended Content
// Description Object (descriptors: name, type, raw value).
struct AsfDescriptor {
  std::string name;
  uint16_t type;
  std::string value;
};
inline const std::string kAsfHeaderGuid{
    "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};
inline const std::string kAsfContentGuid{
    "\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};
inline const std::string kAsfExtendedGuid{
    "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16};
inline std::string AsfObject(const std::string& guid, std::string_view body) {
  return guid + LE64(body.size() + 24) + std::string(body);
}
inline std::string AsfFile(const std::vector<std::string>& five,
                           const std::vector<AsfDescriptor>& ext, std::string_view extra = "") {
  std::string lengths, strings;
  for (const std::string& s : five) {
    const std::string u = s.empty() ? "" : U16(s) + std::string(2, '\0');
    lengths += LE16(static_cast<uint16_t>(u.size()));
    strings += u;
  }
  std::string body = AsfObject(kAsfContentGuid, lengths + strings);
  if (!ext.empty()) {
    std::string d = LE16(static_cast<uint16_t>(ext.size()));
    for (const AsfDescriptor& x : ext) {
      const std::string name = U16(x.name) + std::string(2, '\0');
      d += LE16(static_cast<uint16_t>(name.size())) + name + LE16(x.type) +
           LE16(static_cast<uint16_t>(x.value.size())) + x.value;
    }
    body += AsfObject(kAsfExtendedGuid, d);
  }
  body += extra;
  return kAsfHeaderGuid + LE64(body.size() + 30) + LE32(3) + "\x01\x02" + body;
}
inline std::string AsfText(std::string_view utf8) {
  return U16(utf8) + std::string(2, '\0');
}

// MP4: ftyp, then moov/udta/meta/ilst with the items given; `mdat` before moov.
inline std::string Atom(std::string_view type, std::string_view content) {
  return BE32(static_cast<uint32_t>(content.size() + 8)) + std::string(type) + std::string(content);
}
inline std::string Mp4Item(std::string_view type, std::string_view value, uint32_t kind = 1) {
  return Atom(type, Atom("data", BE32(kind) + BE32(0) + std::string(value)));
}
inline std::string Mp4Freeform(std::string_view name, std::string_view value) {
  return Atom("----", Atom("mean", BE32(0) + "com.apple.iTunes") +
                          Atom("name", BE32(0) + std::string(name)) +
                          Atom("data", BE32(1) + BE32(0) + std::string(value)));
}
inline std::string Mp4File(std::string_view items, std::string_view mdat = "") {
  const std::string meta = Atom(
      "meta", BE32(0) + Atom("hdlr", std::string(8, '\0') + "mdirappl" + std::string(13, '\0')) +
                  Atom("ilst", items));
  return Atom("ftyp", std::string("M4A \0\0\0\0M4A mp42", 16)) + std::string(mdat) +
         Atom("moov", Atom("mvhd", std::string(100, '\0')) + Atom("udta", meta));
}

// FLAC: signature, STREAMINFO, then the blocks given, the last one flagged.
inline std::string VorbisBody(const std::vector<std::string>& comments, int count = -1) {
  std::string b =
      LE32(6) + "vendor" + LE32(count < 0 ? static_cast<uint32_t>(comments.size()) : count);
  for (const std::string& c : comments) b += LE32(static_cast<uint32_t>(c.size())) + c;
  return b;
}
inline std::string FlacPicture(uint32_t type, std::string_view mime, std::string_view image) {
  return BE32(type) + BE32(static_cast<uint32_t>(mime.size())) + std::string(mime) + BE32(4) +
         "desc" + std::string(16, '\0') + BE32(static_cast<uint32_t>(image.size())) +
         std::string(image);
}
inline std::string FlacFile(const std::vector<std::pair<int, std::string>>& blocks) {
  std::string f = "fLaC" + BE32(34) + std::string(34, '\0');
  for (size_t i = 0; i < blocks.size(); ++i) {
    const uint32_t last = i + 1 == blocks.size() ? 0x80000000u : 0;
    f += BE32(last | uint32_t(blocks[i].first) << 24 |
              static_cast<uint32_t>(blocks[i].second.size())) +
         blocks[i].second;
  }
  return f;
}

// Ogg Vorbis: the identification header alone on the first page, the comment header
// (and a setup header) on pages of at most `maxSegments` lacing values.
inline std::string OggPage(uint8_t flags, uint32_t seq, const std::string& lacing,
                           const std::string& body, uint32_t serial = 0x1234) {
  return "OggS" + std::string{0, static_cast<char>(flags)} + std::string(8, '\0') + LE32(serial) +
         LE32(seq) + LE32(0) + static_cast<char>(lacing.size()) + lacing + body;
}
// Any codec: the first packet alone on the first page, the others after it.
inline std::string OggStream(const std::string& ident, const std::vector<std::string>& packets,
                             size_t maxSegments = 255) {
  std::string f = OggPage(2, 0, std::string(1, static_cast<char>(ident.size())), ident);
  std::string lacing, body;
  bool continued = false;
  uint32_t seq = 1;
  auto flush = [&] {
    f += OggPage(continued ? 1 : 0, seq++, lacing, body);
    lacing.clear();
    body.clear();
  };
  for (const std::string& p : packets) {
    for (size_t at = 0;; at += 255) {
      const size_t n = std::min<size_t>(255, p.size() - at);
      if (lacing.size() == maxSegments) {
        flush();
        continued = at > 0;
      }
      lacing.push_back(static_cast<char>(n));
      body += p.substr(at, n);
      if (n < 255) break;
    }
    continued = false;
  }
  flush();
  return f;
}
inline std::string OggVorbis(const std::vector<std::string>& comments, size_t maxSegments = 255,
                             int count = -1) {
  return OggStream(
      "\x01vorbis" + std::string(23, '\0'),
      {"\x03vorbis" + VorbisBody(comments, count) + "\x01", "\x05vorbis" + std::string(40, 's')},
      maxSegments);
}
inline std::string OggOpus(const std::vector<std::string>& comments) {
  return OggStream("OpusHead\x01\x02" + std::string(9, '\0'), {"OpusTags" + VorbisBody(comments)});
}
// Ogg FLAC: the mapping's first packet holds STREAMINFO; then one metadata block a packet.
inline std::string OggFlac(const std::vector<std::pair<int, std::string>>& blocks) {
  const std::string ident =
      std::string(
          "\x7F"
          "FLAC\x01\x00",
          7) +
      std::string{static_cast<char>(blocks.size() >> 8), static_cast<char>(blocks.size())} +
      "fLaC" + BE32(34) + std::string(34, '\0');
  std::vector<std::string> packets;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const uint32_t last = i + 1 == blocks.size() ? 0x80000000u : 0;
    packets.push_back(BE32(last | uint32_t(blocks[i].first) << 24 |
                           static_cast<uint32_t>(blocks[i].second.size())) +
                      blocks[i].second);
  }
  return OggStream(ident, packets);
}
inline std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    for (size_t k = 0; k < 4; ++k) out += k <= n ? kAlphabet[v >> (18 - 6 * k) & 63] : '=';
  }
  return out;
}

}  // namespace lirotag::testing
