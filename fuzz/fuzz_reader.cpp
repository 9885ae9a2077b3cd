// One tag reader on arbitrary bytes, named by FUZZ_READER. Besides the sanitizers'
// findings, text that is not valid UTF-8 and a picture larger than the input are faults.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "files/encoding.h"
#include "tags/ape_tag.h"
#include "tags/asf_tags.h"
#include "tags/embedded_lyrics.h"
#include "tags/flac_tags.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mp4_tags.h"
#include "tags/ogg_comments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lirotag;
  MemorySource src(std::string_view(reinterpret_cast<const char*>(data), size));
  SongTags tags;
  std::string picture;
  const std::string_view reader = FUZZ_READER;
  // The embedded lyric walks the same bytes with its own parsers (SYLT, Opus, audio ranges).
  const LyricsFormat lyrics_format = reader == "id3v2"  ? LyricsFormat::kId3v2
                                     : reader == "ogg"  ? LyricsFormat::kOgg
                                     : reader == "mp4"  ? LyricsFormat::kMp4
                                     : reader == "flac" ? LyricsFormat::kFlac
                                     : reader == "asf"  ? LyricsFormat::kAsf
                                                        : LyricsFormat::kApe;
  std::string lyrics;
  ReadEmbeddedLyrics(src, lyrics_format, &lyrics);
  if (!IsValidUtf8(lyrics)) std::abort();
  if (!SameAudioPayload(src, src, lyrics_format) && size > 0) {
    ByteRanges ranges;
    if (AudioPayload(src, lyrics_format, &ranges)) std::abort();  // found, yet unequal to itself
  }
  if (reader == "id3v2") {
    ReadId3v2(src, &tags, &picture, true);
  } else if (reader == "id3v1") {
    ReadId3v1(src, &tags);
  } else if (reader == "ape") {
    ReadApeTag(src, &tags);
  } else if (reader == "asf") {
    ReadAsfTags(src, &tags, nullptr, &picture, true);
  } else if (reader == "mp4") {
    ReadMp4Tags(src, &tags, &picture, true);
  } else if (reader == "flac") {
    ReadFlacTags(src, &tags, &picture, true);
  } else if (reader == "ogg") {
    ReadOggComments(src, &tags, nullptr, &picture);
  }
  for (int i = 0; i < SongTags::kFieldCount; ++i) {
    if (!IsValidUtf8(tags.Field(i))) std::abort();
  }
  if (picture.size() > size) std::abort();
  return 0;
}
