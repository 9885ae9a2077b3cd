#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace lirotag {

// Why an open gave no channel, in terms a user can act on.
enum class OpenError {
  kNone,          // it opened, or nothing was tried
  kNotFound,      // no such file
  kNotAFile,      // a folder, a FIFO, a device: not something that holds a song
  kNoPermission,  // there, but this user may not read it
  kUnsupported,   // no decoder here knows this format
  kDamaged,       // a known format, but its contents are broken or impossible
};

// Every engine object (plug-in, channel, effect, sync) is a number; 0 is "none" and
// is what every creating call returns on failure. Nothing here throws.
using AudioHandle = uint32_t;

inline constexpr int kDefaultDevice = -1;
// Device 0 is "no sound": the silent output that still advances in real time.
inline constexpr int kNoSoundDevice = 0;

// Channel attributes.
inline constexpr uint32_t kAttribFreq = 1;  // playback sample rate in Hz
inline constexpr uint32_t kAttribVol = 2;   // 0.0 .. 1.0

// ChannelIsActive results.
inline constexpr int kActiveStopped = 0;
inline constexpr int kActivePlaying = 1;
inline constexpr int kActiveStalled = 2;
inline constexpr int kActivePaused = 3;

// ChannelSetSpeed's range.
inline constexpr double kMinPlaybackSpeed = 0.25;
inline constexpr double kMaxPlaybackSpeed = 2.0;

// Position mode: bytes of the channel's float sample data (frames * channels * 4).
inline constexpr uint32_t kPosByte = 0;

// ChannelGetData length flags.
inline constexpr uint32_t kDataFft512 = 0x80000001;  // 256 magnitudes
inline constexpr uint32_t kDataFloat = 0x40000000;   // OR-ed with a byte count

// Effect types.
inline constexpr uint32_t kFxParamEq = 7;
inline constexpr uint32_t kFxReverb = 8;

// Sync types.
inline constexpr uint32_t kSyncEnd = 2;

// StreamGetFilePosition modes.
inline constexpr uint32_t kFilePosEnd = 2;
inline constexpr uint32_t kFilePosStart = 3;

// Channel types reported by ChannelGetInfo.
inline constexpr uint32_t kCtypeStream = 0x10000;
inline constexpr uint32_t kCtypeMusic = 0x20000;
inline constexpr uint32_t kCtypePlugin = 0x30000;

struct PluginFormat {
  uint32_t ctype = 0;
  std::string name;      // shown in the song dialog
  std::string patterns;  // "*.xyz;*.abc"
};

struct PluginInfo {
  uint32_t version = 0;
  std::vector<PluginFormat> formats;
};

// Eight 32-bit fields, all zero when unknown.
struct ChannelInfo {
  uint32_t freq = 0;
  uint32_t chans = 0;
  uint32_t flags = 0;
  uint32_t ctype = 0;
  uint32_t origres = 0;
  uint32_t plugin = 0;
  uint32_t sample = 0;
  uint32_t reserved = 0;
};
static_assert(sizeof(ChannelInfo) == 32);

// Parametric equaliser band: centre in Hz, bandwidth in semitones, gain in dB.
struct EqParameters {
  float center = 8000.0f;
  float bandwidth = 12.0f;
  float gain = 0.0f;
};

// Reverb: input gain and mix in dB (mix -96 or lower is silent), time in ms.
struct ReverbParameters {
  float in_gain = 0.0f;
  float reverb_mix = 0.0f;
  float reverb_time = 1000.0f;
  float high_freq_rt_ratio = 0.001f;
};

using FxParameters = std::variant<EqParameters, ReverbParameters>;

// Called on an engine thread, never on the caller's.
using SyncProc = void (*)(AudioHandle sync, AudioHandle channel, uint32_t data, void* user);

// The audio engine the Player and the start-up code talk to. Byte positions are 64-bit.
class AudioEngine {
 public:
  virtual ~AudioEngine() = default;

  virtual bool Init(int device, uint32_t freq, uint32_t flags, void* window, const void* clsid) = 0;
  virtual bool Free() = 0;

  virtual AudioHandle PluginLoad(const std::string& path, uint32_t flags) = 0;
  virtual bool PluginGetInfo(AudioHandle plugin, PluginInfo* info) = 0;

  // Opens synchronously: 0, or a channel ready to play.
  // The opens below set why they gave 0 (kNone when they opened) for LastOpenError.
  virtual AudioHandle StreamCreateFile(const std::string& path, uint64_t offset, uint64_t length,
                                       uint32_t flags) = 0;
  // The data is copied; the caller may release it at once.
  virtual AudioHandle StreamCreateMemory(const void* data, uint64_t length, uint32_t flags) = 0;
  virtual AudioHandle MusicLoad(const std::string& path, uint64_t offset, uint64_t length,
                                uint32_t flags, uint32_t freq) = 0;
  // Why the last StreamCreateFile, StreamCreateMemory or MusicLoad on the calling thread
  // gave 0; kNone after one that opened.
  virtual OpenError LastOpenError() { return OpenError::kNone; }
  virtual bool StreamFree(AudioHandle stream) = 0;
  virtual bool MusicFree(AudioHandle music) = 0;

  virtual bool ChannelGetAttribute(AudioHandle channel, uint32_t attrib, float* value) = 0;
  virtual bool ChannelSetAttribute(AudioHandle channel, uint32_t attrib, float value) = 0;
  virtual bool ChannelSlideAttribute(AudioHandle channel, uint32_t attrib, float value,
                                     uint32_t time_ms) = 0;

  virtual bool ChannelPlay(AudioHandle channel, bool restart) = 0;
  virtual bool ChannelPause(AudioHandle channel) = 0;
  virtual bool ChannelStop(AudioHandle channel) = 0;
  virtual int ChannelIsActive(AudioHandle channel) = 0;

  // -1 on failure. Some containers (ASF) only estimate the length at open; the exact
  // one replaces it once counted in the background, see ChannelLengthIsExact.
  virtual int64_t ChannelGetLength(AudioHandle channel, uint32_t mode) = 0;
  // Whether ChannelGetLength is the length a decode from the start produces rather
  // than an estimate; waits up to `wait_ms` for a count still running (0: just asks).
  // False for an unknown channel.
  virtual bool ChannelLengthIsExact(AudioHandle channel, uint32_t wait_ms) {
    (void)wait_ms;
    return channel != 0;
  }
  virtual int64_t ChannelGetPosition(AudioHandle channel, uint32_t mode) = 0;
  virtual double ChannelBytes2Seconds(AudioHandle channel, int64_t bytes) = 0;
  virtual int64_t ChannelSeconds2Bytes(AudioHandle channel, double seconds) = 0;
  virtual bool ChannelSetPosition(AudioHandle channel, int64_t pos, uint32_t mode) = 0;

  virtual AudioHandle ChannelSetFX(AudioHandle channel, uint32_t type, int priority) = 0;
  virtual bool ChannelRemoveFX(AudioHandle channel, AudioHandle fx) = 0;
  virtual bool FXSetParameters(AudioHandle fx, const FxParameters& params) = 0;
  virtual bool FXGetParameters(AudioHandle fx, FxParameters* params) = 0;

  virtual AudioHandle ChannelSetSync(AudioHandle channel, uint32_t type, uint64_t param,
                                     SyncProc proc, void* user) = 0;
  virtual bool ChannelRemoveSync(AudioHandle channel, AudioHandle sync) = 0;

  // Bytes written, or -1. See kDataFft512 / kDataFloat.
  virtual int ChannelGetData(AudioHandle channel, void* buffer, uint32_t length) = 0;
  virtual bool ChannelGetInfo(AudioHandle channel, ChannelInfo* info) = 0;
  // kFilePosStart / kFilePosEnd in bytes of the file; UINT64_MAX on failure.
  virtual uint64_t StreamGetFilePosition(AudioHandle stream, uint32_t mode) = 0;

  // Pulls the next frames exactly as the output would play them (effects and volume
  // applied, the channel's own rate and channel count), as fast as they decode, for a
  // channel that is not playing. Returns frames written (0 at the end) or -1.
  virtual int64_t ChannelRead(AudioHandle channel, float* out, int64_t frames) = 0;
  // Plays the channel slower (or faster) with its pitch kept: `speed` song seconds per
  // second heard, kMinPlaybackSpeed..kMaxPlaybackSpeed; 1 plays the samples untouched.
  // Positions, lengths and seeks stay in song time: the position is the song time of
  // the sample at the DAC at every speed. ChannelRead gives the slowed frames too.
  // Takes effect at once, from the position heard. False for an unknown channel or a
  // speed out of range.
  virtual bool ChannelSetSpeed(AudioHandle channel, double speed) {
    return channel != 0 && speed == 1.0;
  }
  // 1 for an unknown channel.
  virtual double ChannelGetSpeed(AudioHandle channel) {
    (void)channel;
    return 1.0;
  }
  // The decoder behind a channel ("ffmpeg:mp3float", "libopenmpt", "plugin:name"); empty if none.
  virtual std::string ChannelGetDecoder(AudioHandle channel) = 0;
  // The output in use: "silent", "PortAudio: ALSA: default", or, while the silent
  // output stands in for a device, "silent (<why>)", e.g. "silent (PortAudio: ALSA:
  // default failed)"; the device is looked for again then, and the name changes back
  // once it plays. Empty before Init.
  virtual std::string OutputName() { return std::string(); }
};

class Output;

// Opens the sound device to play on; nullptr when there is none, with the reason in
// `why`. The engine asks again whenever it has lost the device.
using OutputFactory = std::function<std::unique_ptr<Output>(std::string* why)>;

// Plays on PortAudio's default device.
std::unique_ptr<AudioEngine> CreateAudioEngine();
// Plays on what `devices` opens, e.g. a fake device in a test.
std::unique_ptr<AudioEngine> CreateAudioEngine(OutputFactory devices);

}  // namespace lirotag
