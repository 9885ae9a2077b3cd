#include "audio/player.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "audio/engine_module.h"

namespace lirotag {

void Player::Destroy() {
  RemoveEffects();
  RemoveEndSync();
  if (channel_ != 0) {
    engine_.StreamFree(channel_);
    engine_.MusicFree(channel_);
    channel_ = 0;
  }
  equalizer_fx_.fill(0);
  Changed();
}

void Player::Release(AudioHandle channel) {
  RemoveEffects(channel);
  RemoveEndSync(channel);
  engine_.StreamFree(channel);
  engine_.MusicFree(channel);
}

bool Player::Load(const std::string& path, bool keepCurrent, bool autoPlay, bool withEffects) {
  AudioHandle previous = channel_;
  if (!keepCurrent) {
    Release(channel_);
    base_frequency_ = 0.0f;
    equalizer_fx_.fill(0);
  }
  channel_ = OpenChannel(path, &open_error_);
  if (channel_ == 0) {
    if (keepCurrent) channel_ = previous;
    return false;
  }
  if (keepCurrent) Release(previous);
  if (playback_speed_ != 1.0) engine_.ChannelSetSpeed(channel_, playback_speed_);
  if (withEffects) SetupEffects();
  base_frequency_ = GetFrequency();
  if (autoPlay) engine_.ChannelPlay(channel_, false);
  Changed();
  return true;
}

AudioHandle Player::OpenChannel(const std::string& path, OpenError* error) {
  AudioHandle channel = engine_.StreamCreateFile(path, 0, 0, 0);
  OpenError why = engine_.LastOpenError();
  if (channel == 0) {
    channel = engine_.MusicLoad(path, 0, 0, 0, 0);
    // A broken module says more than "no stream decoder knows this".
    const OpenError music = engine_.LastOpenError();
    if (channel != 0 || why == OpenError::kNone || music == OpenError::kDamaged) why = music;
  }
  if (channel == 0 && why == OpenError::kNone) why = OpenError::kUnsupported;
  if (error) *error = why;
  return channel;
}

bool Player::Adopt(AudioHandle channel, bool autoPlay, bool withEffects) {
  if (channel == 0) return false;
  const AudioHandle previous = channel_;
  channel_ = channel;
  Release(previous);
  if (playback_speed_ != 1.0) engine_.ChannelSetSpeed(channel_, playback_speed_);
  if (withEffects) SetupEffects();
  base_frequency_ = GetFrequency();
  if (autoPlay) engine_.ChannelPlay(channel_, false);
  return true;
}

void Player::SetupEffects() {
  if (channel_ == 0) return;
  for (auto& fx : equalizer_fx_) fx = engine_.ChannelSetFX(channel_, kFxParamEq, 1);
  reverb_fx_ = engine_.ChannelSetFX(channel_, kFxReverb, 1);
  std::array<float, 4> r = GetReverb();
  r[1] = -96.0f;  // present but silent
  SetReverb(r[0], r[1], r[2], r[3]);
}

void Player::RemoveEffects() {
  RemoveEffects(channel_);
}

void Player::RemoveEffects(AudioHandle channel) {
  for (auto& fx : equalizer_fx_) {
    engine_.ChannelRemoveFX(channel, fx);
    fx = 0;
  }
  engine_.ChannelRemoveFX(channel, reverb_fx_);
  reverb_fx_ = 0;
}

bool Player::Play(bool restart) {
  const bool done = channel_ != 0 && engine_.ChannelPlay(channel_, restart);
  Changed();
  return done;
}

bool Player::Pause() {
  const bool done = channel_ != 0 && engine_.ChannelPause(channel_);
  Changed();
  return done;
}

bool Player::Stop() {
  const bool done = channel_ != 0 && engine_.ChannelStop(channel_);
  Changed();
  return done;
}

void Player::Free() {
  if (channel_ == 0) return;
  Release(channel_);
  channel_ = 0;
  Changed();
}

int Player::GetFft(float* buffer) {
  if (channel_ == 0) return 0;
  return engine_.ChannelGetData(channel_, buffer, kDataFft512);
}

double Player::LengthSeconds() {
  if (channel_ == 0) return 0.0;
  return engine_.ChannelBytes2Seconds(channel_, engine_.ChannelGetLength(channel_, kPosByte));
}

double Player::PositionSeconds() {
  if (channel_ == 0) return 0.0;
  return engine_.ChannelBytes2Seconds(channel_, engine_.ChannelGetPosition(channel_, kPosByte));
}

bool Player::SeekSeconds(double seconds) {
  if (channel_ == 0) return false;
  const bool done = engine_.ChannelSetPosition(
      channel_, engine_.ChannelSeconds2Bytes(channel_, seconds), kPosByte);
  Changed();
  return done;
}

float Player::GetVolume() {
  if (channel_ == 0) return 0.0f;
  float v = 0.0f;
  engine_.ChannelGetAttribute(channel_, kAttribVol, &v);
  return v;
}

bool Player::SetVolume(float volume) {
  return channel_ != 0 && engine_.ChannelSetAttribute(channel_, kAttribVol, volume);
}

int Player::State() {
  return channel_ == 0 ? kActiveStopped : engine_.ChannelIsActive(channel_);
}

bool Player::SetSpeed(float factor) {
  if (channel_ == 0) return false;
  return engine_.ChannelSlideAttribute(channel_, kAttribFreq, factor * base_frequency_, 0);
}

bool Player::SetPlaybackSpeed(double speed) {
  if (!(speed >= kMinPlaybackSpeed && speed <= kMaxPlaybackSpeed)) return false;
  if (channel_ != 0 && !engine_.ChannelSetSpeed(channel_, speed)) return false;
  playback_speed_ = speed;
  Changed();
  return true;
}

float Player::GetFrequency() {
  if (channel_ == 0) return 0.0f;
  float f = 0.0f;
  engine_.ChannelGetAttribute(channel_, kAttribFreq, &f);
  return f;
}

bool Player::SetEqualizerBand(int band, int center, int bandwidth, int gain) {
  if (channel_ == 0 || band < 1 || band > 10) return false;
  EqParameters p{static_cast<float>(center), static_cast<float>(bandwidth),
                 static_cast<float>(gain)};
  return engine_.FXSetParameters(equalizer_fx_[band - 1], p);
}

// Reads the band's own effect, the one SetEqualizerBand writes.
std::array<float, 3> Player::GetEqualizerBand(int band) {
  if (channel_ == 0 || band < 1 || band > 10) return {0, 0, 0};
  FxParameters p;
  if (!engine_.FXGetParameters(equalizer_fx_[band - 1], &p)) return {0, 0, 0};
  const auto* eq = std::get_if<EqParameters>(&p);
  if (!eq) return {0, 0, 0};
  return {eq->center, eq->bandwidth, eq->gain};
}

bool Player::SetEndSync(SyncProc callback, int tries) {
  if (channel_ == 0) return false;
  for (int i = 0; i < tries; ++i) {
    end_sync_ = engine_.ChannelSetSync(channel_, kSyncEnd, 0, callback, nullptr);
    if (end_sync_ != 0) return true;
  }
  return false;
}

bool Player::RemoveEndSync() {
  return RemoveEndSync(channel_);
}

bool Player::RemoveEndSync(AudioHandle channel) {
  if (channel_ == 0 || end_sync_ == 0) return false;
  bool ok = engine_.ChannelRemoveSync(channel, end_sync_);
  // Once removed the handle names nothing; keeping it would later remove a stranger.
  if (ok) end_sync_ = 0;
  return ok;
}

ChannelInfo Player::GetInfo() {
  ChannelInfo info;
  if (channel_ == 0) return info;
  if (!engine_.ChannelGetInfo(channel_, &info)) info = ChannelInfo{};
  return info;
}

int Player::GetSamples(float* buffer, int count) {
  if (channel_ == 0) return 0;
  uint32_t bytes = static_cast<uint32_t>(std::max(0, count)) * 4u;
  return engine_.ChannelGetData(channel_, buffer, kDataFloat | (bytes & 0x3FFFFFFF));
}

bool Player::SetReverb(float inGain, float reverbMix, float reverbTime, float highFreqRtRatio) {
  if (channel_ == 0) return false;
  return engine_.FXSetParameters(reverb_fx_,
                                 ReverbParameters{inGain, reverbMix, reverbTime, highFreqRtRatio});
}

std::array<float, 4> Player::GetReverb() {
  if (channel_ == 0) return {0, 0, 0, 0};
  FxParameters p;
  if (!engine_.FXGetParameters(reverb_fx_, &p)) return {0, 0, 0, 0};
  const auto* r = std::get_if<ReverbParameters>(&p);
  if (!r) return {0, 0, 0, 0};
  return {r->in_gain, r->reverb_mix, r->reverb_time, r->high_freq_rt_ratio};
}

double Player::AverageBitrate() {
  if (channel_ == 0) return 0.0;
  uint64_t end = engine_.StreamGetFilePosition(channel_, kFilePosEnd);
  uint64_t start = engine_.StreamGetFilePosition(channel_, kFilePosStart);
  if (end == UINT64_MAX || start == UINT64_MAX || end < start) return 0.0;
  return static_cast<double>(end - start) / (LengthSeconds() * 125 + 0.5);
}

namespace {

bool IsPluginFile(const std::filesystem::path& p) {
#if defined(_WIN32)
  const char* ext = ".dll";
#elif defined(__APPLE__)
  const char* ext = ".dylib";
#else
  const char* ext = ".so";
#endif
  std::string name = p.filename().string();
  return name.rfind("lirotag_", 0) == 0 && p.extension() == ext;
}

}  // namespace

std::string LoadPlugins(AudioEngine& engine, const std::string& pluginDir) {
  // Without the engine's library there is nothing built in to offer.
  static const std::vector<FormatFamily> none;
  const EngineModule* module = LoadEngineModule();
  return LoadPlugins(engine, pluginDir, module ? module->built_in_formats() : none);
}

std::string LoadPlugins(AudioEngine& engine, const std::string& pluginDir,
                        const std::vector<FormatFamily>& builtIn) {
  std::string types = "*.mp3;*.mp2;*.mp1;*.ogg;*.wav;*.aif";
  std::string filter =
      "基本(*.mp3;*.mp2;*.mp1;*.ogg;*.wav;*.aif)|*.mp3;*.mp2;*.mp1;*.ogg;*.wav;*.aif|";
  // Each entry's patterns also join the list of all types, each pattern once.
  auto add = [&](const std::string& name, const std::string& patterns) {
    AppendPatterns(&types, patterns);
    filter += name + "(" + patterns + ")|" + patterns + "|";
  };
  for (const FormatFamily& f : builtIn) add(f.name, f.patterns);

  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(pluginDir, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (IsPluginFile(it->path())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());  // the same order on every system
  for (const auto& file : files) {
    AudioHandle plugin = engine.PluginLoad(file.string(), 0);
    if (plugin == 0) continue;
    PluginInfo info;
    if (!engine.PluginGetInfo(plugin, &info)) continue;
    for (const auto& format : info.formats) add(format.name, format.patterns);
  }
  filter += "所有文件(*.*)|*.*";
  return "所有支持的类型|" + types + "|" + filter;
}

}  // namespace lirotag
