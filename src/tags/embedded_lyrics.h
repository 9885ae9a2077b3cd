#pragma once

// The lyric a song file carries inside it, where players look for it: ID3v2 USLT (else
// SYLT, else an APE item) in MP3, the Vorbis comment LYRICS (else UNSYNCEDLYRICS) in
// FLAC, Ogg Vorbis, Opus and Ogg FLAC, ©lyr (else a freeform LYRICS item) in MP4,
// WM/Lyrics in WMA and the APE item Lyrics in APE, WavPack and Musepack files. Also where
// a song's audio data lies, so that a rewrite of its tags can be shown to leave it alone.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tags/byte_source.h"

namespace lirotag {

enum class LyricsFormat { kNone, kId3v2, kFlac, kOgg, kMp4, kAsf, kApe };

// By the file name's extension (any case): MP3; FLAC FLA; OGG OGA OPUS; M4A MP4 M4B;
// WMA; APE WV MPC.
LyricsFormat LyricsFormatOf(std::string_view path);

// The lyric in UTF-8 with "\n" line ends; false (and `*lyrics` empty) when the song has
// none. Where an MP3 has both, a USLT text holding time tags wins over SYLT, and SYLT over
// a USLT of plain text.
bool ReadEmbeddedLyrics(ByteSource& src, LyricsFormat format, std::string* lyrics);

enum class LyricsReadError { kNone, kUnsupported, kCannotOpen, kNoLyrics };
// The same for a file, by its extension.
LyricsReadError ReadEmbeddedLyrics(const std::string& path, std::string* lyrics);

// A SYLT frame's body (encoding byte first) as LRC lines "[mm:ss.xx]text", one per entry,
// or, where the entries are syllables (later ones begin with a line break), one line per
// sung line with a "<mm:ss.xx>" word tag in front of each syllable. Time stamps count
// milliseconds (format 2) or MPEG frames of `secondsPerFrame` each (format 1).
std::string SyltToLrc(std::string_view body, double secondsPerFrame);

// Samples per frame over sample rate of the first MPEG audio frame header at or after
// `from` (searched through the next 64 KiB); 0 when none is found.
double MpegFrameSeconds(ByteSource& src, uint64_t from);

// Text with "\r\n" and "\r" line ends turned into "\n".
std::string UnixLineEnds(std::string_view text);

// Whether the text holds an LRC time tag such as "[01:02.03]".
bool HasTimeTags(std::string_view text);

// The byte ranges [begin, end) that hold the song's audio, in order: what a change of its
// tags must leave as it is. MP3 and APE: between a leading ID3v2 tag and trailing APE and
// ID3v1 tags; FLAC: after the metadata blocks; Ogg: every page after the header packets,
// less its sequence number and checksum (renumbered when the headers grow); MP4: the
// mdat atoms; WMA: after the header object. False when the structure is not found.
using ByteRanges = std::vector<std::pair<uint64_t, uint64_t>>;
bool AudioPayload(ByteSource& src, LyricsFormat format, ByteRanges* ranges);
// Whether both sources hold the same audio bytes by AudioPayload.
bool SameAudioPayload(ByteSource& a, ByteSource& b, LyricsFormat format);

// The first packet of the first Ogg stream, cut to `n` bytes (empty when there is none).
std::string OggFirstPacketHead(ByteSource& src, size_t n);

}  // namespace lirotag
