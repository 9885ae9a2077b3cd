#include "tags/embedded_lyrics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "tags/ape_tag.h"
#include "tags/asf_tags.h"
#include "tags/flac_tags.h"
#include "tags/id3v2.h"
#include "tags/mp4_tags.h"
#include "tags/ogg_comments.h"

namespace lirotag {

namespace {

struct ExtensionRow {
  std::string_view ext;
  LyricsFormat format;
};
constexpr std::array<ExtensionRow, 14> kExtensions = {{{"MP3", LyricsFormat::kId3v2},
                                                       {"FLAC", LyricsFormat::kFlac},
                                                       {"FLA", LyricsFormat::kFlac},
                                                       {"OGG", LyricsFormat::kOgg},
                                                       {"OGA", LyricsFormat::kOgg},
                                                       {"OPUS", LyricsFormat::kOgg},
                                                       {"M4A", LyricsFormat::kMp4},
                                                       {"MP4", LyricsFormat::kMp4},
                                                       {"M4B", LyricsFormat::kMp4},
                                                       {"WMA", LyricsFormat::kAsf},
                                                       {"APE", LyricsFormat::kApe},
                                                       {"WV", LyricsFormat::kApe},
                                                       {"MPC", LyricsFormat::kApe},
                                                       {"MP+", LyricsFormat::kApe}}};

// Frames of the usual 1152 samples at 44.1 kHz: what a SYLT in frames means when the
// stream's own first frame header cannot be found.
constexpr double kDefaultFrameSeconds = 1152.0 / 44100.0;

// Bytes of the APE tag and ID3v1 block at the end.
uint64_t TrailingTagBytes(ByteSource& src, uint64_t begin) {
  uint64_t end = src.Size();
  std::string b;
  if (end >= begin + 128 && src.ReadAt(end - 128, 3, &b) && b == "TAG") end -= 128;
  if (end >= begin + 32 && src.ReadAt(end - 32, 32, &b) && b.starts_with("APETAGEX")) {
    const uint64_t size = ReadLE32(b, 12) + ((ReadLE32(b, 20) & 0x80000000u) ? 32 : 0);
    if (size <= end - begin) end -= size;
  }
  return src.Size() - end;
}

// The end of a text ended by the encoding's terminator (two aligned zero bytes for
// UTF-16), searched from `from`; the end of `d` when there is none. `*next` is after the
// terminator.
size_t TextEnd(std::string_view d, size_t from, int encoding, size_t* next) {
  if (encoding == 1 || encoding == 2) {
    for (size_t i = from; i + 1 < d.size(); i += 2) {
      if (d[i] == '\0' && d[i + 1] == '\0') {
        *next = i + 2;
        return i;
      }
    }
  } else if (const size_t nul = d.find('\0', from); nul != std::string_view::npos) {
    *next = nul + 1;
    return nul;
  }
  *next = d.size();
  return d.size();
}

// One text of a frame. UTF-16 without a byte-order mark keeps the byte order of the
// last mark seen (writers put one only in front of the first text).
std::string FrameText(std::string_view t, int encoding, bool* bigEndian) {
  if (encoding == 1 || encoding == 2) {
    if (t.starts_with("\xFF\xFE") || t.starts_with("\xFE\xFF")) {
      *bigEndian = t[0] == '\xFE';
      t.remove_prefix(2);
    }
    return Utf16BytesToUtf8(t, *bigEndian);
  }
  return DecodeId3Text(t, encoding);
}

// Language, description, text.
std::string UsltText(std::string_view body) {
  if (body.size() < 4) return {};
  const int encoding = static_cast<unsigned char>(body[0]);
  size_t text;
  TextEnd(body, 4, encoding, &text);
  bool big = encoding == 2;
  return FrameText(body.substr(text), encoding, &big);
}

std::string LrcTime(double seconds, char open, char close) {
  const auto hundredths = static_cast<long long>(std::floor(std::max(0.0, seconds) * 100 + 1e-6));
  char buf[40];
  std::snprintf(buf, sizeof buf, "%c%02lld:%02lld.%02lld%c", open, hundredths / 6000,
                hundredths / 100 % 60, hundredths % 100, close);
  return buf;
}

bool StartsLine(std::string_view text) {
  return text.starts_with('\n') || text.starts_with('\r');
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

bool IsLyricsName(std::string_view name) {
  return EqualsIgnoreAsciiCase(name, "LYRICS") || EqualsIgnoreAsciiCase(name, "UNSYNCEDLYRICS");
}

std::string ItemLyrics(const std::vector<TagItem>& items) {
  for (std::string_view name : {"LYRICS", "UNSYNCEDLYRICS"}) {
    for (const TagItem& item : items) {
      if (EqualsIgnoreAsciiCase(item.name, name) && !item.value.empty()) return item.value;
    }
  }
  return {};
}

// One page of an Ogg stream: where it lies and how its body divides into packets.
struct OggPage {
  uint64_t begin = 0, body = 0, end = 0;
  uint32_t serial = 0;
  std::string lacing;
};

bool NextOggPage(ByteReader* r, OggPage* page) {
  std::string h;
  page->begin = r->Pos();
  if (!r->Read(27, &h) || !h.starts_with("OggS") ||
      !r->Read(static_cast<unsigned char>(h[26]), &page->lacing)) {
    return false;
  }
  uint64_t size = 0;
  for (char l : page->lacing) size += static_cast<unsigned char>(l);
  page->serial = ReadLE32(h, 14);
  page->body = r->Pos();
  page->end = page->body + size;
  return r->Skip(size);
}

// The first `count` packets of the first logical stream, each cut to kMaxValueBytes, and
// where the page that completes the last of them ends. False when the pages end first.
bool OggHeaderPackets(ByteSource& src, size_t count, std::vector<std::string>* packets,
                      uint64_t* after) {
  ByteReader r(src, 0, std::min(src.Size(), 4 * kMaxValueBytes));
  OggPage page;
  std::optional<uint32_t> serial;
  std::string packet;
  while (packets->size() < count && NextOggPage(&r, &page)) {
    if (!serial) serial = page.serial;
    if (page.serial != *serial) continue;
    uint64_t at = page.body;
    for (char l : page.lacing) {
      const auto n = static_cast<unsigned char>(l);
      std::string part;
      if (packet.size() + n <= kMaxValueBytes && src.ReadAt(at, n, &part)) packet += part;
      at += n;
      if (n < 255) {
        packets->push_back(std::move(packet));
        packet.clear();
        if (packets->size() == count) break;
      }
    }
  }
  *after = page.end;
  return packets->size() == count;
}

// How many header packets begin the stream whose first packet this is; 0 for a codec
// we do not know.
size_t OggHeaderCount(std::string_view first) {
  if (first.starts_with("\x01vorbis")) return 3;
  if (first.starts_with("OpusHead")) return 2;
  if (first.starts_with("\x7F"
                        "FLAC") &&
      first.size() >= 9) {
    return 1 + (static_cast<unsigned char>(first[7]) << 8 | static_cast<unsigned char>(first[8]));
  }
  return 0;
}

// A user-defined text frame's value when its description names a lyric, as ffmpeg
// ("USLT") and some taggers ("LYRICS", "UNSYNCEDLYRICS") store one.
std::optional<std::string> TxxxLyrics(std::string_view body) {
  if (body.size() < 2) return std::nullopt;
  const int encoding = static_cast<unsigned char>(body[0]);
  size_t value;
  const size_t end = TextEnd(body, 1, encoding, &value);
  bool big = encoding == 2;
  const std::string name = FrameText(body.substr(1, end - 1), encoding, &big);
  if (!IsLyricsName(name) && !EqualsIgnoreAsciiCase(name, "USLT")) return std::nullopt;
  return FrameText(body.substr(value), encoding, &big);
}

bool ReadId3Lyrics(ByteSource& src, std::string* lyrics) {
  std::vector<std::string> uslt;
  std::string sylt;
  const Id3FrameVisitor visit = [&](std::string_view id, std::string_view body) {
    if (id == "USLT" || id == "ULT") uslt.push_back(UsltText(body));
    if ((id == "SYLT" || id == "SLT") && sylt.empty()) sylt = body;
    if (id == "TXXX" || id == "TXX") {
      if (auto text = TxxxLyrics(body)) uslt.push_back(std::move(*text));
    }
  };
  SongTags tags;
  ReadId3v2(src, &tags, nullptr, false, &visit);
  for (const std::string& text : uslt) {
    if (HasTimeTags(text)) {
      *lyrics = text;
      return true;
    }
  }
  if (!sylt.empty()) {
    const double frame = MpegFrameSeconds(src, Id3v2TagBytes(src, 0));
    *lyrics = SyltToLrc(sylt, frame > 0 ? frame : kDefaultFrameSeconds);
    if (!lyrics->empty()) return true;
  }
  for (const std::string& text : uslt) {
    if (!text.empty()) {
      *lyrics = text;
      return true;
    }
  }
  return ReadApeTag(src, &tags) && !(*lyrics = tags.Lyrics).empty();
}

bool ReadLyricsOfFormat(ByteSource& src, LyricsFormat format, std::string* lyrics) {
  SongTags tags;
  std::vector<TagItem> items;
  switch (format) {
    case LyricsFormat::kNone:
      return false;
    case LyricsFormat::kId3v2:
      return ReadId3Lyrics(src, lyrics);
    case LyricsFormat::kFlac:
      ReadFlacTags(src, &tags, nullptr, false, &items);
      *lyrics = ItemLyrics(items);
      return true;
    case LyricsFormat::kOgg:
      ReadOggComments(src, &tags, &items);
      *lyrics = ItemLyrics(items);
      return true;
    case LyricsFormat::kMp4:
      if (ReadMp4TextItem(src, "\xA9lyr", lyrics) && !lyrics->empty()) return true;
      ReadMp4Tags(src, &tags, nullptr, false);
      break;
    case LyricsFormat::kAsf:
      ReadAsfTags(src, &tags, nullptr, nullptr, false);
      break;
    case LyricsFormat::kApe:
      ReadApeTag(src, &tags);
      break;
  }
  *lyrics = tags.Lyrics;
  return true;
}

bool FlacPayload(ByteSource& src, ByteRanges* ranges) {
  std::string b;
  if (!src.ReadAt(0, 4, &b) || b != "fLaC") return false;
  ByteReader r(src, 4, src.Size());
  uint32_t header;
  do {
    if (!r.U32BE(&header) || !r.Skip(header & 0xFFFFFF)) return false;
  } while (!(header & 0x80000000u));
  ranges->push_back({r.Pos(), src.Size() - TrailingTagBytes(src, r.Pos())});
  return true;
}

bool OggPayload(ByteSource& src, ByteRanges* ranges) {
  std::vector<std::string> packets;
  uint64_t after;
  if (!OggHeaderPackets(src, 1, &packets, &after)) return false;
  const size_t count = OggHeaderCount(packets[0]);
  packets.clear();
  if (count == 0 || !OggHeaderPackets(src, count, &packets, &after)) return false;
  ByteReader r(src, after, src.Size());
  OggPage page;
  while (NextOggPage(&r, &page)) {
    ranges->push_back({page.begin + 4, page.begin + 18});  // version, flags, granule, serial
    ranges->push_back({page.begin + 26, page.end});        // lacing and body
  }
  return r.Remaining() == 0;
}

bool Mp4Payload(ByteSource& src, ByteRanges* ranges) {
  ByteReader r(src);
  uint32_t size32;
  std::string type;
  while (r.U32BE(&size32) && r.Read(4, &type)) {
    uint64_t size = size32;
    const uint64_t start = r.Pos() - 8;
    if (size32 == 1 && !r.U64BE(&size)) return false;
    if (size32 == 0) size = src.Size() - start;
    if (size < r.Pos() - start || size > src.Size() - start) return false;
    if (type == "mdat") ranges->push_back({r.Pos(), start + size});
    r.Seek(start + size);
  }
  return !ranges->empty();
}

bool AsfPayload(ByteSource& src, ByteRanges* ranges) {
  std::string b;
  if (!src.ReadAt(0, 24, &b) || !b.starts_with("\x30\x26\xB2\x75")) return false;
  const uint64_t header = uint64_t{ReadLE32(b, 16)} | uint64_t{ReadLE32(b, 20)} << 32;
  if (header > src.Size()) return false;
  ranges->push_back({header, src.Size()});
  return true;
}

}  // namespace

LyricsFormat LyricsFormatOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return LyricsFormat::kNone;
  const std::string ext = AsciiUpper(path.substr(dot + 1));
  for (const ExtensionRow& row : kExtensions) {
    if (row.ext == ext) return row.format;
  }
  return LyricsFormat::kNone;
}

std::string UnixLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool HasTimeTags(std::string_view text) {
  auto digits = [&](size_t* i) {
    const size_t from = *i;
    while (*i < text.size() && text[*i] >= '0' && text[*i] <= '9') ++*i;
    return *i > from;
  };
  for (size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at + 1)) {
    size_t i = at + 1;
    if (!digits(&i) || i >= text.size() || text[i] != ':' || !digits(&++i)) continue;
    if (i < text.size() && (text[i] == '.' || text[i] == ':') && !digits(&++i)) continue;
    if (i < text.size() && text[i] == ']') return true;
  }
  return false;
}

std::string SyltToLrc(std::string_view body, double secondsPerFrame) {
  if (body.size() < 6) return {};
  const int encoding = static_cast<unsigned char>(body[0]);
  const bool frames = body[4] == 1;
  bool big = encoding == 2;
  size_t at;
  // The content descriptor; its byte-order mark stands for the texts that have none.
  FrameText(body.substr(6, TextEnd(body, 6, encoding, &at) - 6), encoding, &big);
  struct Entry {
    double seconds;
    std::string text;
  };
  std::vector<Entry> entries;
  while (at < body.size()) {
    size_t next;
    const size_t end = TextEnd(body, at, encoding, &next);
    if (next + 4 > body.size()) break;
    std::string text = FrameText(body.substr(at, end - at), encoding, &big);
    const uint32_t stamp = ReadBE32(body, next);
    entries.push_back({frames ? stamp * secondsPerFrame : stamp / 1000.0, std::move(text)});
    at = next + 4;
  }
  const bool syllables =
      std::any_of(entries.begin() + std::min<size_t>(1, entries.size()), entries.end(),
                  [](const Entry& e) { return StartsLine(e.text); });
  std::string out;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    const bool new_line = !syllables || i == 0 || StartsLine(e.text);
    if (new_line && !out.empty()) out += '\n';
    if (new_line) out += LrcTime(e.seconds, '[', ']');
    // A line sung as one piece needs no word tags.
    const bool single =
        syllables && new_line && (i + 1 == entries.size() || StartsLine(entries[i + 1].text));
    if (syllables && !single) out += LrcTime(e.seconds, '<', '>');
    out += WithoutLineBreaks(e.text);
  }
  return out;
}

double MpegFrameSeconds(ByteSource& src, uint64_t from) {
  std::string b;
  const uint64_t n = std::min<uint64_t>(64 << 10, src.Size() > from ? src.Size() - from : 0);
  if (n < 4 || !src.ReadAt(from, n, &b)) return 0;
  static constexpr int kRates[] = {44100, 48000, 32000};
  for (size_t i = 0; i + 4 <= b.size(); ++i) {
    const auto b1 = static_cast<unsigned char>(b[i + 1]);
    const auto b2 = static_cast<unsigned char>(b[i + 2]);
    const int version = b1 >> 3 & 3;  // 0: 2.5, 2: 2, 3: 1
    const int layer = b1 >> 1 & 3;    // 1: III, 2: II, 3: I
    if (b[i] != '\xFF' || (b1 & 0xE0) != 0xE0 || version == 1 || layer == 0 || (b2 >> 4) == 15 ||
        (b2 >> 2 & 3) == 3) {
      continue;
    }
    const int rate = kRates[b2 >> 2 & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int samples = layer == 3 ? 384 : (layer == 1 && version != 3) ? 576 : 1152;
    return static_cast<double>(samples) / rate;
  }
  return 0;
}

bool ReadEmbeddedLyrics(ByteSource& src, LyricsFormat format, std::string* lyrics) {
  std::string text;
  ReadLyricsOfFormat(src, format, &text);
  *lyrics = UnixLineEnds(text);
  if (lyrics->find_first_not_of(" \t\n") == std::string::npos) lyrics->clear();
  return !lyrics->empty();
}

LyricsReadError ReadEmbeddedLyrics(const std::string& path, std::string* lyrics) {
  lyrics->clear();
  const LyricsFormat format = LyricsFormatOf(path);
  if (format == LyricsFormat::kNone) return LyricsReadError::kUnsupported;
  bool found = false;
  if (!WithFileSource(path, [&](ByteSource& src) {
        found = ReadEmbeddedLyrics(src, format, lyrics);
        return true;
      })) {
    return LyricsReadError::kCannotOpen;
  }
  return found ? LyricsReadError::kNone : LyricsReadError::kNoLyrics;
}

bool AudioPayload(ByteSource& src, LyricsFormat format, ByteRanges* ranges) {
  ranges->clear();
  switch (format) {
    case LyricsFormat::kNone:
      return false;
    case LyricsFormat::kId3v2:
    case LyricsFormat::kApe: {
      const uint64_t begin = std::min(Id3v2TagBytes(src, 0), src.Size());
      ranges->push_back({begin, src.Size() - TrailingTagBytes(src, begin)});
      return true;
    }
    case LyricsFormat::kFlac:
      return FlacPayload(src, ranges);
    case LyricsFormat::kOgg:
      return OggPayload(src, ranges);
    case LyricsFormat::kMp4:
      return Mp4Payload(src, ranges);
    case LyricsFormat::kAsf:
      return AsfPayload(src, ranges);
  }
  return false;
}

bool SameAudioPayload(ByteSource& a, ByteSource& b, LyricsFormat format) {
  ByteRanges ra, rb;
  if (!AudioPayload(a, format, &ra) || !AudioPayload(b, format, &rb)) return false;
  auto total = [](const ByteRanges& r) {
    uint64_t n = 0;
    for (const auto& [begin, end] : r) n += end - begin;
    return n;
  };
  if (total(ra) != total(rb)) return false;
  // Both walked in step, a chunk at a time: the ranges of the two need not line up.
  constexpr uint64_t kChunk = 1 << 20;
  size_t ia = 0, ib = 0;
  uint64_t oa = 0, ob = 0;
  std::string ca, cb;
  while (ia < ra.size() && ib < rb.size()) {
    const uint64_t n =
        std::min({kChunk, ra[ia].second - ra[ia].first - oa, rb[ib].second - rb[ib].first - ob});
    if (n > 0 && (!a.ReadAt(ra[ia].first + oa, n, &ca) || !b.ReadAt(rb[ib].first + ob, n, &cb) ||
                  ca != cb)) {
      return false;
    }
    oa += n;
    ob += n;
    if (oa == ra[ia].second - ra[ia].first) ++ia, oa = 0;
    if (ob == rb[ib].second - rb[ib].first) ++ib, ob = 0;
  }
  return true;
}

std::string OggFirstPacketHead(ByteSource& src, size_t n) {
  std::vector<std::string> packets;
  uint64_t after;
  if (!OggHeaderPackets(src, 1, &packets, &after)) return {};
  return packets[0].substr(0, n);
}

}  // namespace lirotag
