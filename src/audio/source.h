#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/lirotag_plugin.h"

namespace lirotag {

// A decoder the engine pulls interleaved float frames from, at the song's own rate and
// channel count. Frame 0 is the first sample a decode from the start produces.
// Used by one thread at a time.
class Source {
 public:
  virtual ~Source() = default;
  virtual int Rate() const = 0;
  virtual int Channels() const = 0;
  // Frames; -1 while unknown. May become exact once the end has been decoded.
  virtual int64_t Length() const = 0;
  // False while Length() is a container's estimate that a count in the background, or
  // a decode reaching the end, will replace.
  virtual bool LengthExact() const { return true; }
  // `done` runs once, on the counting thread or before this returns, when the count in
  // the background ends: with the decoded length in frames, or -1 if it failed. Never
  // after the source is destroyed. Not called for sources that count nothing.
  virtual void OnLengthCounted(std::function<void(int64_t)> done) { (void)done; }
  // Positions so that the next Read starts exactly at `frame`. False on failure.
  virtual bool Seek(int64_t frame) = 0;
  // Up to `frames` frames; 0 at the end or on an unrecoverable error.
  virtual int64_t Read(float* out, int64_t frames) = 0;
  virtual std::string Decoder() const = 0;
  // Byte range of the audio data in the file, for the average bit rate.
  virtual uint64_t FileStart() const { return 0; }
  virtual uint64_t FileEnd() const { return 0; }
  // Bits of the original samples (16, 24, 32 float ...), 0 if unknown.
  virtual int OriginalResolution() const { return 0; }
  // Long seeks and reads give up (returning failure) once this says so.
  virtual void SetCancel(std::function<bool()> cancel) { (void)cancel; }
};

// What a song can be. A header outside these is broken (or hostile): it is refused at
// open, before any buffer is sized from it.
inline constexpr int kMinSongRate = 1000;
inline constexpr int kMaxSongRate = 768000;
inline constexpr int kMaxSongChannels = 64;
// A week: longer than any recording anyone plays in an editor, and still a length whose
// byte positions and tables stay far inside every integer.
inline constexpr int64_t kMaxSongSeconds = 7 * 24 * 3600;
bool PlausibleLayout(int rate, int channels);
// `frames` if a song at `rate` can be that long, otherwise -1 (unknown): a length a
// header claims is believed only this far.
int64_t PlausibleLength(int64_t frames, int rate);

// Where a song's path leads: kNone for a regular file (through any links) this user may
// read, otherwise why it cannot be opened. FIFOs and devices are not songs: opening one
// would block until someone writes to it.
OpenError CheckSongPath(const std::string& utf8_path);

// FFmpeg: nullptr when FFmpeg cannot decode the file, or when it is a tracker module
// (those are the music loader's).
// `err`, when given, says why on failure.
std::unique_ptr<Source> OpenFfmpegFile(const std::string& path, OpenError* err);
std::unique_ptr<Source> OpenFfmpegMemory(std::vector<uint8_t> data, OpenError* err);

// libopenmpt, rendering stereo float at `rate`.
std::unique_ptr<Source> OpenModuleFile(const std::string& path, int rate, OpenError* err);

// A plug-in's stream; `name` labels the decoder.
std::unique_ptr<Source> OpenPluginFile(const LirotagPlugin* plugin, const std::string& name,
                                       const std::string& path);

}  // namespace lirotag
