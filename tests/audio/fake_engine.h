#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_engine.h"

namespace lirotag {

// Records every call as text ("StreamFree 5") and answers from a script.
class FakeEngine : public AudioEngine {
 public:
  std::vector<std::string> calls;
  std::set<std::string> openable;             // paths StreamCreateFile accepts
  std::set<std::string> music;                // paths MusicLoad accepts
  std::map<std::string, PluginInfo> plugins;  // plug-in file name -> its formats
  AudioHandle next = 100;

  void Log(const std::string& s) { calls.push_back(s); }
  static std::string N(uint64_t v) { return std::to_string(v); }

  bool Init(int d, uint32_t, uint32_t, void*, const void*) override {
    Log("Init " + std::to_string(d));
    return true;
  }
  bool Free() override {
    Log("Free");
    return true;
  }
  AudioHandle PluginLoad(const std::string& path, uint32_t) override {
    std::string name = path.substr(path.find_last_of('/') + 1);
    Log("PluginLoad " + name);
    if (!plugins.count(name)) return 0;
    loaded_[next] = name;
    return next++;
  }
  bool PluginGetInfo(AudioHandle p, PluginInfo* info) override {
    Log("PluginGetInfo");
    if (!loaded_.count(p)) return false;
    *info = plugins[loaded_[p]];
    return true;
  }
  AudioHandle StreamCreateFile(const std::string& path, uint64_t, uint64_t, uint32_t) override {
    Log("StreamCreateFile " + path);
    return openable.count(path) ? next++ : 0;
  }
  AudioHandle StreamCreateMemory(const void*, uint64_t, uint32_t) override {
    Log("StreamCreateMemory");
    return 0;
  }
  AudioHandle MusicLoad(const std::string& path, uint64_t, uint64_t, uint32_t, uint32_t) override {
    Log("MusicLoad " + path);
    return music.count(path) ? next++ : 0;
  }
  bool StreamFree(AudioHandle h) override {
    Log("StreamFree " + N(h));
    return h != 0;
  }
  bool MusicFree(AudioHandle h) override {
    Log("MusicFree " + N(h));
    return false;
  }
  bool ChannelGetAttribute(AudioHandle h, uint32_t a, float* v) override {
    Log("ChannelGetAttribute " + N(h) + " " + N(a));
    *v = a == kAttribFreq ? 44100.0f : 0.5f;
    return true;
  }
  bool ChannelSetAttribute(AudioHandle h, uint32_t a, float v) override {
    Log("ChannelSetAttribute " + N(h) + " " + N(a) + " " + std::to_string(v));
    return true;
  }
  bool ChannelSlideAttribute(AudioHandle h, uint32_t a, float v, uint32_t t) override {
    Log("ChannelSlideAttribute " + N(h) + " " + N(a) + " " + std::to_string(v) + " " + N(t));
    return true;
  }
  bool ChannelPlay(AudioHandle h, bool r) override {
    Log("ChannelPlay " + N(h) + " " + N(r));
    return true;
  }
  bool ChannelPause(AudioHandle h) override {
    Log("ChannelPause " + N(h));
    return true;
  }
  bool ChannelStop(AudioHandle h) override {
    Log("ChannelStop " + N(h));
    return true;
  }
  int ChannelIsActive(AudioHandle h) override {
    Log("ChannelIsActive " + N(h));
    return kActivePaused;
  }
  int64_t ChannelGetLength(AudioHandle h, uint32_t) override {
    Log("ChannelGetLength " + N(h));
    return length_bytes;
  }
  int64_t ChannelGetPosition(AudioHandle h, uint32_t) override {
    Log("ChannelGetPosition " + N(h));
    return 44100 * 8;
  }
  double ChannelBytes2Seconds(AudioHandle h, int64_t b) override {
    Log("ChannelBytes2Seconds " + N(h));
    return b / 352800.0;
  }
  int64_t ChannelSeconds2Bytes(AudioHandle h, double s) override {
    Log("ChannelSeconds2Bytes " + N(h));
    return static_cast<int64_t>(s * 352800.0);
  }
  bool ChannelSetPosition(AudioHandle h, int64_t p, uint32_t) override {
    Log("ChannelSetPosition " + N(h) + " " + N(p));
    return true;
  }
  AudioHandle ChannelSetFX(AudioHandle h, uint32_t t, int pr) override {
    Log("ChannelSetFX " + N(h) + " " + N(t) + " " + N(pr));
    fx_[next] = t == kFxReverb ? FxParameters{ReverbParameters{}} : FxParameters{EqParameters{}};
    return next++;
  }
  bool ChannelRemoveFX(AudioHandle h, AudioHandle fx) override {
    Log("ChannelRemoveFX " + N(h) + " " + N(fx));
    return fx_.erase(fx) > 0;
  }
  bool FXSetParameters(AudioHandle fx, const FxParameters& p) override {
    Log("FXSetParameters " + N(fx));
    if (!fx_.count(fx)) return false;
    fx_[fx] = p;
    return true;
  }
  bool FXGetParameters(AudioHandle fx, FxParameters* p) override {
    Log("FXGetParameters " + N(fx));
    if (!fx_.count(fx)) return false;
    *p = fx_[fx];
    return true;
  }
  AudioHandle ChannelSetSync(AudioHandle h, uint32_t t, uint64_t, SyncProc, void*) override {
    Log("ChannelSetSync " + N(h) + " " + N(t));
    return sync_fails-- > 0 ? 0 : next++;
  }
  bool ChannelRemoveSync(AudioHandle h, AudioHandle s) override {
    Log("ChannelRemoveSync " + N(h) + " " + N(s));
    return true;
  }
  int ChannelGetData(AudioHandle h, void*, uint32_t len) override {
    Log("ChannelGetData " + N(h) + " " + N(len));
    return 1024;
  }
  bool ChannelGetInfo(AudioHandle h, ChannelInfo* info) override {
    Log("ChannelGetInfo " + N(h));
    info->freq = 44100;
    info->chans = 2;
    return true;
  }
  uint64_t StreamGetFilePosition(AudioHandle h, uint32_t mode) override {
    Log("StreamGetFilePosition " + N(h) + " " + N(mode));
    return mode == kFilePosEnd ? 1000125 : 125;
  }
  int64_t ChannelRead(AudioHandle h, float*, int64_t) override {
    Log("ChannelRead " + N(h));
    return -1;
  }
  std::string ChannelGetDecoder(AudioHandle h) override {
    Log("ChannelGetDecoder " + N(h));
    return "";
  }

  int64_t length_bytes = 352800 * 10;
  int sync_fails = 0;

 private:
  std::map<AudioHandle, std::string> loaded_;
  std::map<AudioHandle, FxParameters> fx_;
};

}  // namespace lirotag
