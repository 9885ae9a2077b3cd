#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/formats.h"
#include "audio/source.h"

namespace lirotag {

// Everything that links FFmpeg, libopenmpt, PortAudio and Rubber Band (the engine, the
// decoders, the output) is a library of its own, liblirotag_engine.so, loaded the first
// time a song is played, probed or drawn. The window, the lyric commands and the song
// tags start without the hundred-odd shared libraries behind it.
struct EngineModule {
  std::unique_ptr<AudioEngine> (*create_engine)();
  const std::vector<FormatFamily>& (*built_in_formats)();
  // FFmpeg, else libopenmpt rendering at `module_rate`: a decoder of its own, as the
  // waveform reads it. nullptr when neither opens the song.
  std::unique_ptr<Source> (*open_song)(const std::string& path, int module_rate);
};

// The module's one exported symbol: extern "C" const void* lirotag_engine_module(int),
// an EngineModule.
inline constexpr char kEngineModuleEntry[] = "lirotag_engine_module";
// Raised whenever EngineModule changes, so that a stale module is refused, not called.
inline constexpr int kEngineModuleVersion = 1;
inline constexpr char kEngineModuleFile[] = "liblirotag_engine.so";

// Loads the module once (see OpenProgramModule); later calls, from any thread, return
// the same. nullptr when it cannot be loaded, with the reason in `why`.
const EngineModule* LoadEngineModule(std::string* why = nullptr);
// The engine from the module; without the module, an engine that opens nothing (every
// song fails to open as an unplayable one would).
std::unique_ptr<AudioEngine> LoadAudioEngine(std::string* why = nullptr);

// The engine the window starts with: loads the module on a thread of its own once
// StartLoading() is called, and then passes every call on to the real engine. A call
// that needs the engine before it is there waits for it; Init is only remembered and
// applied when the engine arrives, so a window can set it up without waiting.
class DeferredAudioEngine : public AudioEngine {
 public:
  DeferredAudioEngine();
  ~DeferredAudioEngine() override;
  DeferredAudioEngine(const DeferredAudioEngine&) = delete;
  DeferredAudioEngine& operator=(const DeferredAudioEngine&) = delete;

  // Starts loading in the background; later calls do nothing.
  void StartLoading();
  // The engine is there (the calls no longer wait).
  bool Ready() const;

  bool Init(int device, uint32_t freq, uint32_t flags, void* window, const void* clsid) override;
  bool Free() override;
  AudioHandle PluginLoad(const std::string& path, uint32_t flags) override;
  bool PluginGetInfo(AudioHandle plugin, PluginInfo* info) override;
  AudioHandle StreamCreateFile(const std::string& path, uint64_t offset, uint64_t length,
                               uint32_t flags) override;
  AudioHandle StreamCreateMemory(const void* data, uint64_t length, uint32_t flags) override;
  AudioHandle MusicLoad(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags,
                        uint32_t freq) override;
  OpenError LastOpenError() override;
  bool StreamFree(AudioHandle stream) override;
  bool MusicFree(AudioHandle music) override;
  bool ChannelGetAttribute(AudioHandle channel, uint32_t attrib, float* value) override;
  bool ChannelSetAttribute(AudioHandle channel, uint32_t attrib, float value) override;
  bool ChannelSlideAttribute(AudioHandle channel, uint32_t attrib, float value,
                             uint32_t time_ms) override;
  bool ChannelPlay(AudioHandle channel, bool restart) override;
  bool ChannelPause(AudioHandle channel) override;
  bool ChannelStop(AudioHandle channel) override;
  int ChannelIsActive(AudioHandle channel) override;
  int64_t ChannelGetLength(AudioHandle channel, uint32_t mode) override;
  bool ChannelLengthIsExact(AudioHandle channel, uint32_t wait_ms) override;
  int64_t ChannelGetPosition(AudioHandle channel, uint32_t mode) override;
  double ChannelBytes2Seconds(AudioHandle channel, int64_t bytes) override;
  int64_t ChannelSeconds2Bytes(AudioHandle channel, double seconds) override;
  bool ChannelSetPosition(AudioHandle channel, int64_t pos, uint32_t mode) override;
  AudioHandle ChannelSetFX(AudioHandle channel, uint32_t type, int priority) override;
  bool ChannelRemoveFX(AudioHandle channel, AudioHandle fx) override;
  bool FXSetParameters(AudioHandle fx, const FxParameters& params) override;
  bool FXGetParameters(AudioHandle fx, FxParameters* params) override;
  AudioHandle ChannelSetSync(AudioHandle channel, uint32_t type, uint64_t param, SyncProc proc,
                             void* user) override;
  bool ChannelRemoveSync(AudioHandle channel, AudioHandle sync) override;
  int ChannelGetData(AudioHandle channel, void* buffer, uint32_t length) override;
  bool ChannelGetInfo(AudioHandle channel, ChannelInfo* info) override;
  uint64_t StreamGetFilePosition(AudioHandle stream, uint32_t mode) override;
  int64_t ChannelRead(AudioHandle channel, float* out, int64_t frames) override;
  bool ChannelSetSpeed(AudioHandle channel, double speed) override;
  double ChannelGetSpeed(AudioHandle channel) override;
  std::string ChannelGetDecoder(AudioHandle channel) override;
  std::string OutputName() override;

 private:
  struct State;
  AudioEngine& Real();

  std::unique_ptr<State> s_;
};

}  // namespace lirotag
