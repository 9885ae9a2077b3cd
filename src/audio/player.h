#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/formats.h"

namespace lirotag {

// The one player of the program: owns the open song's channel and answers every
// question about it in seconds. With no song (Handle() == 0) every operation returns
// 0, false or 0.0 without calling the engine, except RemoveEffects.
class Player {
 public:
  explicit Player(AudioEngine& engine) : engine_(engine) {}
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  void Destroy();
  // Called, on the caller's thread, after each change the Player makes to what plays:
  // a song adopted, freed, played, paused, stopped, moved or sped up. A window that
  // rests its clock while nothing moves wakes it by this.
  void SetOnChange(std::function<void()> changed) { changed_ = std::move(changed); }
  // False when the song does not open, with the reason in LastOpenError(); the song
  // open before stays open when `keepCurrent`.
  bool Load(const std::string& path, bool keepCurrent = false, bool autoPlay = false,
            bool withEffects = true);
  // Opening in two halves, so that the one that reads the file runs off the thread the
  // Player lives on. OpenChannel only asks the engine and touches nothing of the
  // Player's: any thread. 0 when the song cannot be opened.
  AudioHandle OpenChannel(const std::string& path, OpenError* error = nullptr);
  // Makes an opened channel the song in place of the current one (as Load with
  // keepCurrent); false, and nothing changes, for 0.
  bool Adopt(AudioHandle channel, bool autoPlay = false, bool withEffects = true);
  void SetupEffects();
  void RemoveEffects();
  void RemoveEffects(AudioHandle channel);
  bool Play(bool restart);
  bool Pause();
  bool Stop();
  void Free();
  AudioHandle Handle() const { return channel_; }
  // Why the last Load failed; kNone after one that succeeded.
  OpenError LastOpenError() const { return open_error_; }
  // 256 magnitudes; the engine's byte count, or 0 with no song.
  int GetFft(float* buffer);
  double LengthSeconds();
  double PositionSeconds();
  bool SeekSeconds(double seconds);
  float GetVolume();
  bool SetVolume(float volume);
  int State();
  // The playback rate: `factor` × BaseFrequency, so the pitch moves with the tempo.
  bool SetSpeed(float factor);
  // Slowed playback with the pitch kept (see AudioEngine::ChannelSetSpeed): song seconds
  // per second heard. Kept across songs: applied to the open song and to every song
  // loaded later. False, and nothing changes, for a speed out of range; with no song the
  // speed is kept for the next one and the result is true. The position, the length and
  // seeks stay in song time at every speed.
  bool SetPlaybackSpeed(double speed);
  double PlaybackSpeed() const { return playback_speed_; }
  float GetFrequency();
  bool SetEqualizerBand(int band, int center, int bandwidth, int gain);
  // {centre, bandwidth, gain}.
  std::array<float, 3> GetEqualizerBand(int band);
  bool SetEndSync(SyncProc callback, int tries = 5);
  bool RemoveEndSync();
  bool RemoveEndSync(AudioHandle channel);
  ChannelInfo GetInfo();
  // `count` floats; the engine's byte count, or 0 with no song.
  int GetSamples(float* buffer, int count);
  bool SetReverb(float inGain, float reverbMix, float reverbTime, float highFreqRtRatio);
  // {in gain, mix, time, high-frequency ratio}.
  std::array<float, 4> GetReverb();
  // kbit/s.
  double AverageBitrate();

  float BaseFrequency() const { return base_frequency_; }
  AudioHandle EqualizerFx(int band) const {
    return band >= 1 && band <= 10 ? equalizer_fx_[band - 1] : 0;
  }
  AudioHandle ReverbFx() const { return reverb_fx_; }
  AudioHandle EndSync() const { return end_sync_; }

 private:
  void Release(AudioHandle channel);

  AudioEngine& engine_;
  AudioHandle channel_ = 0;
  float base_frequency_ = 0.0f;
  std::array<AudioHandle, 10> equalizer_fx_{};
  AudioHandle end_sync_ = 0;
  AudioHandle reverb_fx_ = 0;
  double playback_speed_ = 1.0;
  OpenError open_error_ = OpenError::kNone;
  std::function<void()> changed_;
  void Changed() {
    if (changed_) changed_();
  }
};

// Loads the plug-ins lirotag_*.so (.dll, .dylib) of `pluginDir` and returns the song
// dialog's filter ('|'-separated): all supported types, the basic entry, the engine's
// further built-in formats (BuiltInFormats), one entry per plug-in format, all files.
std::string LoadPlugins(AudioEngine& engine, const std::string& pluginDir);
// The same with the given built-in formats in place of the engine's.
std::string LoadPlugins(AudioEngine& engine, const std::string& pluginDir,
                        const std::vector<FormatFamily>& builtIn);

}  // namespace lirotag
