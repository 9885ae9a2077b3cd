#include "audio/engine_module.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "files/program_modules.h"

namespace lirotag {

namespace {

// Stands in when the module is missing: nothing opens, nothing plays.
class NoEngine : public AudioEngine {
 public:
  bool Init(int, uint32_t, uint32_t, void*, const void*) override { return false; }
  bool Free() override { return true; }
  AudioHandle PluginLoad(const std::string&, uint32_t) override { return 0; }
  bool PluginGetInfo(AudioHandle, PluginInfo*) override { return false; }
  AudioHandle StreamCreateFile(const std::string&, uint64_t, uint64_t, uint32_t) override {
    return 0;
  }
  AudioHandle StreamCreateMemory(const void*, uint64_t, uint32_t) override { return 0; }
  AudioHandle MusicLoad(const std::string&, uint64_t, uint64_t, uint32_t, uint32_t) override {
    return 0;
  }
  bool StreamFree(AudioHandle) override { return false; }
  bool MusicFree(AudioHandle) override { return false; }
  bool ChannelGetAttribute(AudioHandle, uint32_t, float*) override { return false; }
  bool ChannelSetAttribute(AudioHandle, uint32_t, float) override { return false; }
  bool ChannelSlideAttribute(AudioHandle, uint32_t, float, uint32_t) override { return false; }
  bool ChannelPlay(AudioHandle, bool) override { return false; }
  bool ChannelPause(AudioHandle) override { return false; }
  bool ChannelStop(AudioHandle) override { return false; }
  int ChannelIsActive(AudioHandle) override { return kActiveStopped; }
  int64_t ChannelGetLength(AudioHandle, uint32_t) override { return -1; }
  int64_t ChannelGetPosition(AudioHandle, uint32_t) override { return -1; }
  double ChannelBytes2Seconds(AudioHandle, int64_t) override { return -1; }
  int64_t ChannelSeconds2Bytes(AudioHandle, double) override { return -1; }
  bool ChannelSetPosition(AudioHandle, int64_t, uint32_t) override { return false; }
  AudioHandle ChannelSetFX(AudioHandle, uint32_t, int) override { return 0; }
  bool ChannelRemoveFX(AudioHandle, AudioHandle) override { return false; }
  bool FXSetParameters(AudioHandle, const FxParameters&) override { return false; }
  bool FXGetParameters(AudioHandle, FxParameters*) override { return false; }
  AudioHandle ChannelSetSync(AudioHandle, uint32_t, uint64_t, SyncProc, void*) override {
    return 0;
  }
  bool ChannelRemoveSync(AudioHandle, AudioHandle) override { return false; }
  int ChannelGetData(AudioHandle, void*, uint32_t) override { return -1; }
  bool ChannelGetInfo(AudioHandle, ChannelInfo*) override { return false; }
  uint64_t StreamGetFilePosition(AudioHandle, uint32_t) override { return UINT64_MAX; }
  int64_t ChannelRead(AudioHandle, float*, int64_t) override { return -1; }
  std::string ChannelGetDecoder(AudioHandle) override { return std::string(); }
};

}  // namespace

const EngineModule* LoadEngineModule(std::string* why) {
  static std::mutex mu;
  std::lock_guard<std::mutex> lk(mu);
  static bool tried = false;
  static const EngineModule* module = nullptr;
  static std::string error;
  if (!tried) {
    module = static_cast<const EngineModule*>(
        OpenProgramModule(kEngineModuleFile, kEngineModuleEntry, kEngineModuleVersion, &error));
    tried = true;
  }
  if (!module && why) *why = error;
  return module;
}

std::unique_ptr<AudioEngine> LoadAudioEngine(std::string* why) {
  const EngineModule* m = LoadEngineModule(why);
  if (m) return m->create_engine();
  return std::make_unique<NoEngine>();
}

struct DeferredAudioEngine::State {
  std::mutex mu;
  std::condition_variable cv;
  std::thread loader;
  bool started = false;
  bool ready = false;
  std::unique_ptr<AudioEngine> real;
  // Init as asked before the engine was there.
  bool init_wanted = false;
  int device = kDefaultDevice;
  uint32_t freq = 0;
  uint32_t flags = 0;
};

DeferredAudioEngine::DeferredAudioEngine() : s_(std::make_unique<State>()) {}

DeferredAudioEngine::~DeferredAudioEngine() {
  if (s_->loader.joinable()) s_->loader.join();
}

void DeferredAudioEngine::StartLoading() {
  std::lock_guard<std::mutex> lk(s_->mu);
  if (s_->started) return;
  s_->started = true;
  s_->loader = std::thread([s = s_.get()] {
    std::unique_ptr<AudioEngine> engine = LoadAudioEngine();
    std::lock_guard<std::mutex> lk(s->mu);
    if (s->init_wanted) engine->Init(s->device, s->freq, s->flags, nullptr, nullptr);
    s->real = std::move(engine);
    s->ready = true;
    s->cv.notify_all();
  });
}

bool DeferredAudioEngine::Ready() const {
  std::lock_guard<std::mutex> lk(s_->mu);
  return s_->ready;
}

AudioEngine& DeferredAudioEngine::Real() {
  StartLoading();
  std::unique_lock<std::mutex> lk(s_->mu);
  s_->cv.wait(lk, [this] { return s_->ready; });
  return *s_->real;
}

bool DeferredAudioEngine::Init(int device, uint32_t freq, uint32_t flags, void* window,
                               const void* clsid) {
  {
    std::lock_guard<std::mutex> lk(s_->mu);
    if (!s_->ready) {
      s_->init_wanted = true;
      s_->device = device;
      s_->freq = freq;
      s_->flags = flags;
      return true;
    }
  }
  return s_->real->Init(device, freq, flags, window, clsid);
}

bool DeferredAudioEngine::Free() {
  {
    std::lock_guard<std::mutex> lk(s_->mu);
    if (!s_->started) {
      s_->init_wanted = false;
      return true;
    }
  }
  return Real().Free();
}

AudioHandle DeferredAudioEngine::PluginLoad(const std::string& path, uint32_t flags) {
  return Real().PluginLoad(path, flags);
}
bool DeferredAudioEngine::PluginGetInfo(AudioHandle plugin, PluginInfo* info) {
  return Real().PluginGetInfo(plugin, info);
}
AudioHandle DeferredAudioEngine::StreamCreateFile(const std::string& path, uint64_t offset,
                                                  uint64_t length, uint32_t flags) {
  return Real().StreamCreateFile(path, offset, length, flags);
}
AudioHandle DeferredAudioEngine::StreamCreateMemory(const void* data, uint64_t length,
                                                    uint32_t flags) {
  return Real().StreamCreateMemory(data, length, flags);
}
AudioHandle DeferredAudioEngine::MusicLoad(const std::string& path, uint64_t offset,
                                           uint64_t length, uint32_t flags, uint32_t freq) {
  return Real().MusicLoad(path, offset, length, flags, freq);
}
OpenError DeferredAudioEngine::LastOpenError() {
  return Real().LastOpenError();
}
bool DeferredAudioEngine::StreamFree(AudioHandle stream) {
  return Real().StreamFree(stream);
}
bool DeferredAudioEngine::MusicFree(AudioHandle music) {
  return Real().MusicFree(music);
}
bool DeferredAudioEngine::ChannelGetAttribute(AudioHandle channel, uint32_t attrib, float* value) {
  return Real().ChannelGetAttribute(channel, attrib, value);
}
bool DeferredAudioEngine::ChannelSetAttribute(AudioHandle channel, uint32_t attrib, float value) {
  return Real().ChannelSetAttribute(channel, attrib, value);
}
bool DeferredAudioEngine::ChannelSlideAttribute(AudioHandle channel, uint32_t attrib, float value,
                                                uint32_t time_ms) {
  return Real().ChannelSlideAttribute(channel, attrib, value, time_ms);
}
bool DeferredAudioEngine::ChannelPlay(AudioHandle channel, bool restart) {
  return Real().ChannelPlay(channel, restart);
}
bool DeferredAudioEngine::ChannelPause(AudioHandle channel) {
  return Real().ChannelPause(channel);
}
bool DeferredAudioEngine::ChannelStop(AudioHandle channel) {
  return Real().ChannelStop(channel);
}
int DeferredAudioEngine::ChannelIsActive(AudioHandle channel) {
  return Real().ChannelIsActive(channel);
}
int64_t DeferredAudioEngine::ChannelGetLength(AudioHandle channel, uint32_t mode) {
  return Real().ChannelGetLength(channel, mode);
}
bool DeferredAudioEngine::ChannelLengthIsExact(AudioHandle channel, uint32_t wait_ms) {
  return Real().ChannelLengthIsExact(channel, wait_ms);
}
int64_t DeferredAudioEngine::ChannelGetPosition(AudioHandle channel, uint32_t mode) {
  return Real().ChannelGetPosition(channel, mode);
}
double DeferredAudioEngine::ChannelBytes2Seconds(AudioHandle channel, int64_t bytes) {
  return Real().ChannelBytes2Seconds(channel, bytes);
}
int64_t DeferredAudioEngine::ChannelSeconds2Bytes(AudioHandle channel, double seconds) {
  return Real().ChannelSeconds2Bytes(channel, seconds);
}
bool DeferredAudioEngine::ChannelSetPosition(AudioHandle channel, int64_t pos, uint32_t mode) {
  return Real().ChannelSetPosition(channel, pos, mode);
}
AudioHandle DeferredAudioEngine::ChannelSetFX(AudioHandle channel, uint32_t type, int priority) {
  return Real().ChannelSetFX(channel, type, priority);
}
bool DeferredAudioEngine::ChannelRemoveFX(AudioHandle channel, AudioHandle fx) {
  return Real().ChannelRemoveFX(channel, fx);
}
bool DeferredAudioEngine::FXSetParameters(AudioHandle fx, const FxParameters& params) {
  return Real().FXSetParameters(fx, params);
}
bool DeferredAudioEngine::FXGetParameters(AudioHandle fx, FxParameters* params) {
  return Real().FXGetParameters(fx, params);
}
AudioHandle DeferredAudioEngine::ChannelSetSync(AudioHandle channel, uint32_t type, uint64_t param,
                                                SyncProc proc, void* user) {
  return Real().ChannelSetSync(channel, type, param, proc, user);
}
bool DeferredAudioEngine::ChannelRemoveSync(AudioHandle channel, AudioHandle sync) {
  return Real().ChannelRemoveSync(channel, sync);
}
int DeferredAudioEngine::ChannelGetData(AudioHandle channel, void* buffer, uint32_t length) {
  return Real().ChannelGetData(channel, buffer, length);
}
bool DeferredAudioEngine::ChannelGetInfo(AudioHandle channel, ChannelInfo* info) {
  return Real().ChannelGetInfo(channel, info);
}
uint64_t DeferredAudioEngine::StreamGetFilePosition(AudioHandle stream, uint32_t mode) {
  return Real().StreamGetFilePosition(stream, mode);
}
int64_t DeferredAudioEngine::ChannelRead(AudioHandle channel, float* out, int64_t frames) {
  return Real().ChannelRead(channel, out, frames);
}
bool DeferredAudioEngine::ChannelSetSpeed(AudioHandle channel, double speed) {
  return Real().ChannelSetSpeed(channel, speed);
}
double DeferredAudioEngine::ChannelGetSpeed(AudioHandle channel) {
  return Real().ChannelGetSpeed(channel);
}
std::string DeferredAudioEngine::ChannelGetDecoder(AudioHandle channel) {
  return Real().ChannelGetDecoder(channel);
}
std::string DeferredAudioEngine::OutputName() {
  {
    std::lock_guard<std::mutex> lk(s_->mu);
    if (!s_->ready) return std::string();  // asked for display: nothing to say yet
  }
  return s_->real->OutputName();
}

}  // namespace lirotag
