// The engine behind AudioEngine: one decoding thread per channel fills a bounded ring
// of the song's own frames; the output's callback mixes the playing channels. The
// position a caller reads is the frame at the DAC, worked out from the time the output
// says each block reaches it, never the decoder's read-ahead.

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

#include "audio/audio_engine.h"
#include "audio/channel.h"
#include "audio/dsp.h"
#include "audio/output.h"
#include "audio/source.h"
#include "audio/stretch.h"

namespace lirotag {
namespace {

// A position may run ahead of the wall clock by this share at most: more than any
// device's clock drift, far less than a device that takes frames without playing them.
constexpr double kClockSlack = 1.001;

// Longer than any device's buffer period: an output that has not called back for this
// long has stopped.
constexpr double kSilenceLimitSeconds = 1.0;
// A lost device is looked for again this often while a song plays: a restarted sound
// server or a headset that reconnects comes back within seconds, and a look costs a
// few milliseconds of the monitor thread.
constexpr double kRetrySeconds = 3.0;
// A play or a seek looks at once, but a device that keeps failing is not reopened more
// often than this.
constexpr double kRetryGapSeconds = 1.0;
// Init leaves the device to be opened this much later, when the window it was called
// for is up: opening it loads and parses the sound libraries' configuration, and on a
// machine with two cores that slows the window's first paint. A play or a seek before
// then opens it at once.
constexpr double kProbeDelaySeconds = 1.0;
// A device on trial must call back steadily for this long before the song moves to it.
constexpr double kTrialSeconds = 0.2;
constexpr double kNever = std::numeric_limits<double>::infinity();

// Shared libraries: `path` is UTF-8 everywhere.
#if defined(_WIN32)
void* OpenLibrary(const std::string& path) {
  if (path.empty() || path.size() > INT_MAX) return nullptr;
  int len = static_cast<int>(path.size());
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), len, nullptr, 0);
  if (n <= 0) return nullptr;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), len, wide.data(), n) != n)
    return nullptr;
  return reinterpret_cast<void*>(LoadLibraryW(wide.c_str()));
}
void* LibrarySymbol(void* lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void CloseLibrary(void* lib) {
  FreeLibrary(static_cast<HMODULE>(lib));
}
#else  // Linux, macOS (.dylib) and the other POSIX systems
void* OpenLibrary(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* LibrarySymbol(void* lib, const char* name) {
  return dlsym(lib, name);
}
void CloseLibrary(void* lib) {
  dlclose(lib);
}
#endif

struct Plugin {
  void* dl = nullptr;
  const LirotagPlugin* desc = nullptr;
  std::string name;
};

class Engine : public AudioEngine {
 public:
  explicit Engine(OutputFactory devices) : devices_(std::move(devices)) {}
  ~Engine() override { Free(); }

  bool Init(int device, uint32_t freq, uint32_t, void*, const void*) override;
  bool Free() override;
  AudioHandle PluginLoad(const std::string& path, uint32_t flags) override;
  bool PluginGetInfo(AudioHandle plugin, PluginInfo* info) override;
  AudioHandle StreamCreateFile(const std::string& path, uint64_t offset, uint64_t length,
                               uint32_t flags) override;
  AudioHandle StreamCreateMemory(const void* data, uint64_t length, uint32_t flags) override;
  AudioHandle MusicLoad(const std::string& path, uint64_t offset, uint64_t length, uint32_t flags,
                        uint32_t freq) override;
  OpenError LastOpenError() override { return open_error_; }
  bool StreamFree(AudioHandle h) override { return FreeChannel(h, false); }
  bool MusicFree(AudioHandle h) override { return FreeChannel(h, true); }
  bool ChannelGetAttribute(AudioHandle h, uint32_t attrib, float* value) override;
  bool ChannelSetAttribute(AudioHandle h, uint32_t attrib, float value) override;
  bool ChannelSlideAttribute(AudioHandle h, uint32_t attrib, float value, uint32_t) override {
    return ChannelSetAttribute(h, attrib, value);
  }
  bool ChannelPlay(AudioHandle h, bool restart) override;
  bool ChannelPause(AudioHandle h) override { return Halt(h, kActivePaused); }
  bool ChannelStop(AudioHandle h) override { return Halt(h, kActiveStopped); }
  int ChannelIsActive(AudioHandle h) override;
  int64_t ChannelGetLength(AudioHandle h, uint32_t mode) override;
  bool ChannelLengthIsExact(AudioHandle h, uint32_t wait_ms) override;
  int64_t ChannelGetPosition(AudioHandle h, uint32_t mode) override;
  double ChannelBytes2Seconds(AudioHandle h, int64_t bytes) override;
  int64_t ChannelSeconds2Bytes(AudioHandle h, double seconds) override;
  bool ChannelSetPosition(AudioHandle h, int64_t pos, uint32_t mode) override;
  AudioHandle ChannelSetFX(AudioHandle h, uint32_t type, int priority) override;
  bool ChannelRemoveFX(AudioHandle h, AudioHandle fx) override;
  bool FXSetParameters(AudioHandle fx, const FxParameters& params) override;
  bool FXGetParameters(AudioHandle fx, FxParameters* params) override;
  AudioHandle ChannelSetSync(AudioHandle h, uint32_t type, uint64_t param, SyncProc proc,
                             void* user) override;
  bool ChannelRemoveSync(AudioHandle h, AudioHandle sync) override;
  int ChannelGetData(AudioHandle h, void* buffer, uint32_t length) override;
  bool ChannelGetInfo(AudioHandle h, ChannelInfo* info) override;
  uint64_t StreamGetFilePosition(AudioHandle h, uint32_t mode) override;
  int64_t ChannelRead(AudioHandle h, float* out, int64_t frames) override;
  bool ChannelSetSpeed(AudioHandle h, double speed) override;
  double ChannelGetSpeed(AudioHandle h) override;
  std::string ChannelGetDecoder(AudioHandle h) override;
  std::string OutputName() override;

 private:
  std::shared_ptr<Channel> Find(AudioHandle h) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = channels_.find(h);
    return it == channels_.end() ? nullptr : it->second;
  }
  AudioHandle AddChannel(std::unique_ptr<Source> src, bool music, uint32_t ctype,
                         AudioHandle plugin);
  bool FreeChannel(AudioHandle h, bool music);
  void StopWorker(Channel& ch);
  static void Worker(Channel* ch);
  static double Now() { return OutputClock(); }
  int64_t PositionLocked(Channel& ch, double now);
  void Reposition(Channel& ch, int64_t frame, double now);
  void Render(Output* o, float* out, int frames, double dac);
  bool EnsureOutput(int rate, std::unique_ptr<Output>* dropped);
  std::unique_ptr<Output> SwitchOutput(std::unique_ptr<Output> next, bool silent,
                                       std::string reason);
  bool AnyPlaying() {
    std::lock_guard<std::mutex> lk(play_mu_);
    return !playing_.empty();
  }
  bool Halt(AudioHandle h, int state);
  void QueueSyncs(std::vector<PendingSync>& fire);
  void FinishEnded();
  // Under play_mu_, after any change to playing_.
  void PlayingChanged() { playing_version_.fetch_add(1); }
  void WaitForMixer();
  bool LockForMix(Channel& ch);
  void DeliverSyncs();
  void Monitor();
  void CheckOutput();
  void PlanRetry(double delay, bool asked);
  void NoteAttempt();
  void AskForDevice();
  void TryDevice(bool asked);
  bool Audition(Output& device, int rate, std::string* why);
  Output::Render Renderer(Output* o) {
    return [this, o](float* out, int frames, double dac) { Render(o, out, frames, dac); };
  }

  // Per calling thread, as the opens may run on several at once.
  static thread_local OpenError open_error_;
  AudioHandle Opened(AudioHandle h, OpenError why) {
    open_error_ = h ? OpenError::kNone : why;
    return h;
  }

  // Lock order, outer first; a thread holding one of these takes only those after it:
  //   deliver_mu_ > out_mu_ > mu_ > play_mu_ > Channel::m > monitor_mu_
  // (a source's counting thread reports into Channel::m holding its own map's lock, so
  // that lock comes before Channel::m too). The output's callback blocks on none of
  // them: it tries play_mu_, Channel::m and monitor_mu_, and does without for a block
  // when they are busy.
  std::mutex mu_;  // the maps below
  std::map<AudioHandle, std::shared_ptr<Channel>> channels_;
  std::map<AudioHandle, AudioHandle> fx_owner_;
  std::map<AudioHandle, Plugin> plugins_;
  std::atomic<AudioHandle> next_handle_{1};
  bool init_ = false;
  int device_ = kDefaultDevice;

  std::mutex play_mu_;  // the channels the output mixes
  std::vector<std::shared_ptr<Channel>> playing_;
  std::atomic<uint64_t> playing_version_{0};  // changes with playing_

  // The callback's own: its copy of the playing list (pointers only: it never holds the
  // last reference, see WaitForMixer), the version it was copied at, and its buffers,
  // all sized before it first runs. `mixing_` is set while a callback mixes; a second
  // output's late callback meanwhile mixes nothing.
  static constexpr size_t kMaxMixChannels = 64;
  static constexpr int kMixBlock = 4096;
  std::vector<Channel*> mix_list_ = std::vector<Channel*>(kMaxMixChannels);
  size_t mix_count_ = 0;
  uint64_t mix_version_ = ~uint64_t{0};
  std::atomic<uint64_t> mix_seen_{~uint64_t{0}};
  std::atomic<bool> mixing_{false};
  std::vector<float> mix_tmp_ = std::vector<float>(kMixBlock * kMaxChannelChans);
  // A channel the mixer played to its end: the monitor thread finishes it.
  std::atomic<bool> ends_pending_{false};

  const OutputFactory devices_;  // opens the sound device; empty: there is none
  std::mutex out_mu_;            // the output state below
  std::unique_ptr<Output> output_;
  // The output whose renders count; a failed one's late callbacks mix nothing.
  std::atomic<Output*> current_{nullptr};
  bool silent_ = true;
  bool want_device_ = false;  // Init asked for a sound device
  bool device_lost_ = false;  // one failed or could not start since Init
  int init_rate_ = 44100;
  std::string fallback_;  // why the silent output stands in for the device
  // When the output in use last called back: one silent for long has stopped.
  std::atomic<double> last_render_{0};
  // A device being tried: its renders mix nothing, they are only counted.
  std::atomic<Output*> trial_{nullptr};
  std::atomic<int> trial_calls_{0};

  // The monitor thread delivers syncs (never on the output's callback, which must
  // not wait on the caller's locks) and moves off a failed device.
  std::thread monitor_;
  std::mutex monitor_mu_;
  std::condition_variable monitor_cv_;
  bool monitor_quit_ = false;
  std::vector<PendingSync> sync_queue_;
  // The next look for the lost device; one a play or seek asked for goes ahead even
  // when nothing plays by then, the others only while a song plays.
  double retry_at_ = kNever;
  bool retry_asked_ = false;
  double last_attempt_ = -kNever;
  // Held while a sync runs: once ChannelRemoveSync or a free returns, its proc is not
  // running and will not run again.
  std::recursive_mutex deliver_mu_;
};

bool Engine::Init(int device, uint32_t freq, uint32_t, void*, const void*) {
  if (init_) return false;
  init_ = true;
  device_ = device;
  std::lock_guard<std::mutex> lk(out_mu_);
  want_device_ = device != kNoSoundDevice && devices_;
  device_lost_ = false;
  init_rate_ = freq > 0 && freq <= 768000 ? static_cast<int>(freq) : 44100;
  // Opening the device probes every host API and may wait on a sound server: too slow
  // for the way to the first window. The monitor thread opens it a moment later; the
  // silent output keeps the time of anything played meanwhile, which moves to the
  // device when it is there.
  silent_ = true;
  output_ = CreateSilentOutput();
  current_ = output_.get();
  fallback_ = want_device_ ? "opening the sound device" : "";
  {
    std::lock_guard<std::mutex> ml(monitor_mu_);
    monitor_quit_ = false;
    sync_queue_.clear();
    retry_at_ = want_device_ ? Now() + kProbeDelaySeconds : kNever;
    retry_asked_ = want_device_;
    last_attempt_ = -kNever;
  }
  monitor_ = std::thread(&Engine::Monitor, this);
  return true;
}

void Engine::Monitor() {
  std::unique_lock<std::mutex> lk(monitor_mu_);
  while (!monitor_quit_) {
    monitor_cv_.wait_for(lk, std::chrono::milliseconds(100), [this] {
      return monitor_quit_ || !sync_queue_.empty() || ends_pending_.load() || Now() >= retry_at_;
    });
    if (monitor_quit_) break;
    bool retry = Now() >= retry_at_;
    bool asked = retry_asked_;
    if (retry) {
      retry_at_ = kNever;
      retry_asked_ = false;
    }
    lk.unlock();
    FinishEnded();
    DeliverSyncs();
    CheckOutput();
    if (retry) TryDevice(asked);
    lk.lock();
  }
}

void Engine::QueueSyncs(std::vector<PendingSync>& fire) {
  if (fire.empty()) return;
  {
    std::lock_guard<std::mutex> lk(monitor_mu_);
    sync_queue_.insert(sync_queue_.end(), fire.begin(), fire.end());
  }
  monitor_cv_.notify_all();
}

// The songs the mixer played to their end leave the playing list, and their end syncs
// are queued; here rather than on the output's callback, which must not wait for the
// locks this takes nor allocate.
void Engine::FinishEnded() {
  if (!ends_pending_.exchange(false)) return;
  std::vector<PendingSync> fire;
  std::lock_guard<std::mutex> pl(play_mu_);
  for (auto it = playing_.begin(); it != playing_.end();) {
    Channel& ch = **it;
    std::lock_guard<std::mutex> lk(ch.m);
    if (ch.end_pending) {
      ch.end_pending = false;
      for (auto& sy : ch.syncs) fire.push_back(PendingSync{sy, ch.handle});
    }
    it = ch.state == kActivePlaying ? std::next(it) : playing_.erase(it);
  }
  PlayingChanged();
  std::lock_guard<std::mutex> ml(monitor_mu_);
  sync_queue_.insert(sync_queue_.end(), fire.begin(), fire.end());
}

// Once this returns, no callback mixes from a list older than the playing list now:
// a channel that has left it may be destroyed.
void Engine::WaitForMixer() {
  const uint64_t v = playing_version_.load();
  while (mixing_.load() && mix_seen_.load() != v) std::this_thread::yield();
}

void Engine::DeliverSyncs() {
  std::vector<PendingSync> batch;
  {
    std::lock_guard<std::mutex> lk(monitor_mu_);
    batch.swap(sync_queue_);
  }
  std::lock_guard<std::recursive_mutex> dl(deliver_mu_);
  for (auto& f : batch) {
    auto ch = Find(f.channel);
    if (!ch) continue;
    bool live;
    {
      std::lock_guard<std::mutex> lk(ch->m);
      live = std::any_of(ch->syncs.begin(), ch->syncs.end(),
                         [&](const SyncSlot& s) { return s.handle == f.sync.handle; });
    }
    if (live) f.sync.proc(f.sync.handle, f.channel, 0, f.sync.user);
  }
}

// Under out_mu_: the playing songs go on on `next` from the sample at the DAC now, so
// the position neither jumps nor runs back; what the old output took but did not play
// is played again. Returns the old output, to be stopped outside the lock, so a driver
// slow to let go holds up no caller.
std::unique_ptr<Output> Engine::SwitchOutput(std::unique_ptr<Output> next, bool silent,
                                             std::string reason) {
  current_ = nullptr;  // the old output's late renders mix nothing
  std::vector<std::shared_ptr<Channel>> list;
  {
    std::lock_guard<std::mutex> pl(play_mu_);
    list = playing_;
  }
  double now = Now();
  for (auto& ch : list) {
    std::lock_guard<std::mutex> cl(ch->m);
    if (ch->state != kActivePlaying) continue;
    Reposition(*ch, PositionLocked(*ch, now), now);
  }
  std::unique_ptr<Output> old = std::move(output_);
  output_ = std::move(next);
  silent_ = silent;
  fallback_ = std::move(reason);
  last_render_ = now;
  current_ = output_.get();
  return old;
}

// A device that stops calling back, or takes frames without playing them, would stop
// the position or race it: the song goes on, from the sample last heard, on the
// silent output, and the device is looked for again.
void Engine::CheckOutput() {
  std::unique_ptr<Output> failed;
  {
    std::lock_guard<std::mutex> lk(out_mu_);
    if (silent_ || !output_) return;
    std::string reason;
    if (output_->Failed())
      reason = output_->Name() + " failed";
    else if (output_->Running() && Now() - last_render_ > kSilenceLimitSeconds)
      reason = output_->Name() + " stopped calling back";
    else
      return;
    int rate = output_->Rate();
    failed = SwitchOutput(CreateSilentOutput(), true, reason);
    device_lost_ = true;
    if (AnyPlaying()) output_->Start(rate, Renderer(output_.get()));
    NoteAttempt();
    PlanRetry(kRetrySeconds, false);
  }
  failed->Stop();
  failed.reset();
}

// Lock order: out_mu_, then monitor_mu_.
void Engine::PlanRetry(double delay, bool asked) {
  {
    std::lock_guard<std::mutex> lk(monitor_mu_);
    double at = std::max(Now() + delay, last_attempt_ + kRetryGapSeconds);
    retry_at_ = std::min(retry_at_, at);
    retry_asked_ = retry_asked_ || asked;
  }
  monitor_cv_.notify_all();
}

void Engine::NoteAttempt() {
  std::lock_guard<std::mutex> lk(monitor_mu_);
  last_attempt_ = Now();
}

// A play or a seek on the silent stand-in looks for the device at once.
void Engine::AskForDevice() {
  std::lock_guard<std::mutex> lk(out_mu_);
  if (silent_ && want_device_) PlanRetry(0, true);
}

// Opens the device again and moves the songs onto it once it plays. On the monitor
// thread: opening may take long (every host API probed, a sound server that does not
// answer), and no caller waits for it meanwhile; the silent output keeps the time.
void Engine::TryDevice(bool asked) {
  {
    std::lock_guard<std::mutex> lk(out_mu_);
    if (!silent_ || !want_device_) return;
    if (!asked && !AnyPlaying()) return;  // the next play asks again
  }
  std::string why;
  std::unique_ptr<Output> device = devices_(&why);
  std::unique_ptr<Output> old;
  bool taken = false;
  while (device) {
    int rate;
    {
      std::lock_guard<std::mutex> lk(out_mu_);
      // A device that never failed and that nothing waits for is started by the next
      // play, at the song's own rate; any other only once it has shown it plays.
      if (device->Running() || (!device_lost_ && !output_->Running())) {
        old = SwitchOutput(std::move(device), false, std::string());
        taken = true;
        break;
      }
      rate = output_->Running() ? output_->Rate() : init_rate_;
    }
    if (!Audition(*device, rate, &why)) break;
  }
  if (!taken) {
    std::lock_guard<std::mutex> lk(out_mu_);
    fallback_ = why.empty() ? "no sound device" : why;
  }
  if (old) old->Stop();
  old.reset();
  device.reset();  // one that did not play, closed outside every lock
  NoteAttempt();
  if (!taken) {
    std::lock_guard<std::mutex> lk(out_mu_);
    PlanRetry(kRetrySeconds, false);
  }
}

// Starts `device` with its renders going nowhere and waits until it has called back
// steadily for a moment. False, with the reason, when it does not start, says it
// failed, or stays silent; and at once when the engine is being freed.
bool Engine::Audition(Output& device, int rate, std::string* why) {
  trial_calls_ = 0;
  trial_ = &device;
  bool ok = device.Start(rate, Renderer(&device));
  if (!ok) *why = device.Name() + " could not start";
  double start = Now();
  {
    std::unique_lock<std::mutex> lk(monitor_mu_);
    while (ok) {
      double waited = Now() - start;
      if (monitor_quit_) {
        ok = false;
      } else if (device.Failed()) {
        ok = false;
        *why = device.Name() + " failed";
      } else if (trial_calls_ >= 2 && waited >= kTrialSeconds) {
        break;
      } else if (waited > kSilenceLimitSeconds) {
        ok = false;
        *why = device.Name() + " did not call back";
      } else {
        monitor_cv_.wait_for(lk, std::chrono::milliseconds(10), [this] { return monitor_quit_; });
      }
    }
  }
  trial_ = nullptr;
  if (!ok) device.Stop();
  return ok;
}

bool Engine::Free() {
  if (!init_) return false;
  {
    std::lock_guard<std::mutex> lk(monitor_mu_);
    monitor_quit_ = true;
    sync_queue_.clear();
  }
  monitor_cv_.notify_all();
  // A device being opened is waited for, as opening cannot be interrupted; one on trial
  // is given up at once.
  if (monitor_.joinable()) monitor_.join();
  {
    std::lock_guard<std::mutex> lk(out_mu_);
    if (output_) output_->Stop();
  }
  std::map<AudioHandle, std::shared_ptr<Channel>> chans;
  {
    std::lock_guard<std::mutex> lk(mu_);
    chans.swap(channels_);
    fx_owner_.clear();
  }
  {
    std::lock_guard<std::mutex> lk(play_mu_);
    playing_.clear();
    PlayingChanged();
  }
  WaitForMixer();
  for (auto& [h, ch] : chans) StopWorker(*ch);
  chans.clear();
  {
    std::lock_guard<std::mutex> lk(out_mu_);
    current_ = nullptr;
    output_.reset();
  }
  std::lock_guard<std::mutex> lk(mu_);
  for (auto& [h, p] : plugins_) CloseLibrary(p.dl);
  plugins_.clear();
  init_ = false;
  return true;
}

AudioHandle Engine::PluginLoad(const std::string& path, uint32_t) {
  if (!init_) return 0;
  void* dl = OpenLibrary(path);
  if (!dl) return 0;
  auto entry = reinterpret_cast<LirotagPluginEntry>(LibrarySymbol(dl, LIROTAG_PLUGIN_ENTRY));
  const LirotagPlugin* desc = entry ? entry() : nullptr;
  if (!desc || desc->api_version != LIROTAG_PLUGIN_API_VERSION ||
      (desc->format_count > 0 && !desc->formats) || desc->format_count > 256 || !desc->open ||
      !desc->read || !desc->seek || !desc->close) {
    CloseLibrary(dl);
    return 0;
  }
  std::lock_guard<std::mutex> lk(mu_);
  for (auto& [h, p] : plugins_) {
    if (p.desc == desc) {  // the same library again
      CloseLibrary(dl);
      return h;
    }
  }
  AudioHandle h = next_handle_++;
  plugins_[h] = Plugin{dl, desc, std::filesystem::path(path).stem().string()};
  return h;
}

bool Engine::PluginGetInfo(AudioHandle plugin, PluginInfo* info) {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = plugins_.find(plugin);
  if (it == plugins_.end() || !info) return false;
  const LirotagPlugin* d = it->second.desc;
  info->version = d->version;
  info->formats.clear();
  for (uint32_t i = 0; i < d->format_count; ++i) {
    const LirotagPluginFormat& f = d->formats[i];
    info->formats.push_back(
        PluginFormat{kCtypePlugin + i, f.name ? f.name : "", f.patterns ? f.patterns : ""});
  }
  return true;
}

thread_local OpenError Engine::open_error_ = OpenError::kNone;

AudioHandle Engine::AddChannel(std::unique_ptr<Source> src, bool music, uint32_t ctype,
                               AudioHandle plugin) {
  // The ring and the stretcher are sized from these: a header's absurd rate must not
  // decide how much memory is taken.
  if (!PlausibleLayout(src->Rate(), src->Channels())) return 0;
  auto ch = std::make_shared<Channel>();
  ch->handle = next_handle_++;
  ch->music = music;
  ch->ctype = ctype;
  ch->plugin = plugin;
  ch->rate = src->Rate();
  ch->chans = src->Channels();
  ch->freq = static_cast<float>(ch->rate);
  ch->decoder = src->Decoder();
  ch->file_start = src->FileStart();
  ch->file_end = src->FileEnd();
  ch->origres = src->OriginalResolution();
  ch->length = std::max<int64_t>(0, src->Length());
  ch->length_exact = src->LengthExact();
  ch->length_counting = !ch->length_exact;
  ch->cap = std::max<int64_t>(ch->rate / 2, 4 * kChunk) + ch->rate / 2;
  ch->hist = ch->rate / 2;
  ch->ring.assign(static_cast<size_t>(ch->cap * ch->chans), 0.0f);
  ch->recent.assign(static_cast<size_t>(kRecentFrames * ch->chans), 0.0f);
  Channel* raw = ch.get();
  src->SetCancel([raw] { return raw->quit.load() || raw->gen.load() != raw->worker_gen; });
  src->OnLengthCounted([raw](int64_t frames) {
    std::lock_guard<std::mutex> lk(raw->m);
    if (frames >= 0 && !raw->length_exact) {
      raw->length = frames;
      raw->length_exact = true;
    }
    raw->length_counting = false;
    raw->cv.notify_all();
  });
  ch->source = std::move(src);
  ch->worker = std::thread(&Engine::Worker, raw);
  std::lock_guard<std::mutex> lk(mu_);
  channels_[ch->handle] = ch;
  return ch->handle;
}

AudioHandle Engine::StreamCreateFile(const std::string& path, uint64_t offset, uint64_t length,
                                     uint32_t) {
  if (!init_) return Opened(0, OpenError::kUnsupported);
  if (OpenError e = CheckSongPath(path); e != OpenError::kNone) return Opened(0, e);
  std::unique_ptr<Source> src;
  OpenError why = OpenError::kUnsupported;
  if (offset != 0 || length != 0) {
    // A part of a file: read it into memory (bounded by what the file holds).
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Opened(0, OpenError::kNoPermission);
    std::vector<uint8_t> data;
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0) {
      uint8_t buf[65536];
      size_t n;
      while ((length == 0 || data.size() < length) && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    }
    std::fclose(f);
    if (length != 0 && data.size() > length) data.resize(length);
    src = OpenFfmpegMemory(std::move(data), &why);
  } else {
    src = OpenFfmpegFile(path, &why);
  }
  if (src) return Opened(AddChannel(std::move(src), false, kCtypeStream, 0), OpenError::kDamaged);
  // Plug-ins after the built-in decoders, in the order they were loaded.
  std::vector<std::pair<AudioHandle, Plugin>> plugins;
  {
    std::lock_guard<std::mutex> lk(mu_);
    plugins.assign(plugins_.begin(), plugins_.end());
  }
  for (auto& [h, p] : plugins) {
    if (auto s = OpenPluginFile(p.desc, p.name, path))
      return Opened(AddChannel(std::move(s), false, kCtypePlugin, h), OpenError::kDamaged);
  }
  return Opened(0, why);
}

AudioHandle Engine::StreamCreateMemory(const void* data, uint64_t length, uint32_t) {
  if (!init_ || !data || length == 0) return Opened(0, OpenError::kUnsupported);
  const auto* p = static_cast<const uint8_t*>(data);
  OpenError why = OpenError::kUnsupported;
  auto src = OpenFfmpegMemory(std::vector<uint8_t>(p, p + length), &why);
  if (!src) return Opened(0, why);
  return Opened(AddChannel(std::move(src), false, kCtypeStream, 0), OpenError::kDamaged);
}

AudioHandle Engine::MusicLoad(const std::string& path, uint64_t, uint64_t, uint32_t,
                              uint32_t freq) {
  if (!init_) return Opened(0, OpenError::kUnsupported);
  OpenError why = OpenError::kUnsupported;
  auto src = OpenModuleFile(path, freq > 0 ? static_cast<int>(freq) : 48000, &why);
  if (!src) return Opened(0, why);
  return Opened(AddChannel(std::move(src), true, kCtypeMusic, 0), OpenError::kDamaged);
}

void Engine::StopWorker(Channel& ch) {
  {
    std::lock_guard<std::mutex> lk(ch.m);
    ch.quit = true;
  }
  ch.cv.notify_all();
  if (ch.worker.joinable()) ch.worker.join();
  // Here, not wherever the last reference goes: a count in the background stops and
  // is joined.
  ch.source.reset();
}

bool Engine::FreeChannel(AudioHandle h, bool music) {
  std::lock_guard<std::recursive_mutex> dl(deliver_mu_);
  std::shared_ptr<Channel> ch;
  {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = channels_.find(h);
    if (it == channels_.end() || it->second->music != music) return false;
    ch = it->second;
    channels_.erase(it);
    for (auto f = fx_owner_.begin(); f != fx_owner_.end();)
      f = f->second == h ? fx_owner_.erase(f) : std::next(f);
  }
  {
    std::lock_guard<std::mutex> lk(play_mu_);
    playing_.erase(std::remove(playing_.begin(), playing_.end(), ch), playing_.end());
    PlayingChanged();
  }
  WaitForMixer();
  StopWorker(*ch);
  return true;
}

void Engine::Worker(Channel* ch) {
  std::vector<float> buf(static_cast<size_t>(kChunk) * ch->chans);
  std::unique_lock<std::mutex> lk(ch->m);
  while (true) {
    ch->cv.wait(lk, [ch] {
      return ch->quit || ch->gen != ch->worker_gen || (!ch->eof && ch->Space() >= kChunk);
    });
    if (ch->quit) break;
    uint64_t g = ch->gen;
    if (g != ch->worker_gen) {
      ch->worker_gen = g;
      int64_t target = ch->gen_start;
      lk.unlock();
      bool ok = ch->source->Seek(target);
      lk.lock();
      if (ch->gen == g && !ok) {
        ch->eof = true;
        ch->cv.notify_all();
      }
      continue;
    }
    lk.unlock();
    int64_t n = ch->source->Read(buf.data(), kChunk);
    int64_t len = ch->source->Length();
    bool exact = ch->source->LengthExact();
    lk.lock();
    if (ch->gen != g) continue;  // a seek came in meanwhile: these frames are stale
    // An estimate read before the count finished must not replace the count's result.
    if (len >= 0 && (exact || !ch->length_exact)) ch->length = len;
    if (exact) ch->length_exact = true;
    if (n <= 0) {
      ch->eof = true;
      // What decoded is what there is (a truncated file ends early).
      if (len < 0 || ch->gen_start + ch->wr < len) ch->length = ch->gen_start + ch->wr;
    } else {
      for (int64_t i = 0; i < n; ++i)
        std::memcpy(ch->At(ch->wr + i), buf.data() + i * ch->chans, sizeof(float) * ch->chans);
      ch->wr += n;
    }
    ch->cv.notify_all();
  }
}

int64_t Engine::PositionLocked(Channel& ch, double now) {
  if (ch.state != kActivePlaying) return ch.pos_base;
  // Song frames per second: the playback rate, slowed by the stretcher.
  double rate = (ch.freq > 0 ? ch.freq : ch.rate) * ch.speed;
  int64_t p = ch.pos_base + static_cast<int64_t>(std::floor((now - ch.pos_ref) * rate));
  p = std::clamp(p, ch.pos_min, std::max(ch.pos_min, ch.pos_max));
  double since = std::max(0.0, now - ch.anchor_time);
  p = std::min(
      p, std::max(ch.pos_min,
                  ch.anchor_frame + static_cast<int64_t>(std::floor(since * rate * kClockSlack))));
  p = std::max(p, ch.last_reported);  // monotonic while playing
  ch.last_reported = p;
  return p;
}

// Moves the read point to `frame`: inside the kept frames just by moving the read
// index, otherwise by asking the worker for an exact seek.
void Engine::Reposition(Channel& ch, int64_t frame, double now) {
  int64_t i = frame - ch.gen_start;
  int64_t lo = std::max<int64_t>(0, ch.rd - ch.hist);
  if (ch.gen == ch.worker_gen && i >= lo && i <= ch.wr && !(ch.eof && i == ch.wr && i == 0)) {
    ch.rd = i;
  } else {
    ch.gen++;
    ch.gen_start = frame;
    ch.wr = ch.rd = 0;
    ch.eof = false;
  }
  ch.drained = false;
  ch.starved = false;
  ch.primed = false;
  ch.frac = 0;
  ch.Restart();
  ch.pos_base = ch.pos_min = ch.pos_max = ch.last_reported = frame;
  ch.pos_ref = now;
  ch.anchor_frame = frame;
  ch.anchor_time = now;
  ch.cv.notify_all();
}

// Tries a channel's lock for a few microseconds: its holders (the decoding thread adding
// a chunk, a position read) hold it about that long. Never yields: under load the
// holder may be off the processor for a whole time slice, and a callback that waited
// for it would be late for every song. That channel is then silent for one block; a
// seek (which holds the lock longer) sounds like that anyway.
bool Engine::LockForMix(Channel& ch) {
  for (int i = 0; i < 256; ++i)
    if (ch.m.try_lock()) return true;
  return false;
}

// The output's callback: never waits on a lock another thread may hold for long, and
// allocates nothing.
void Engine::Render(Output* o, float* out, int frames, double dac) {
  std::fill(out, out + frames * 2, 0.0f);
  if (current_.load() != o) {
    if (trial_.load() == o) ++trial_calls_;
    return;
  }
  if (mixing_.exchange(true)) return;  // a replaced output's late callback still mixes
  last_render_ = Now();
  const uint64_t version = playing_version_.load();
  if (version != mix_version_) {
    if (!play_mu_.try_lock()) {
      // The list is changing, and a channel that has left it may be on its way out:
      // nothing is mixed from the old copy.
      mixing_ = false;
      return;
    }
    mix_count_ = std::min(playing_.size(), mix_list_.size());
    for (size_t i = 0; i < mix_count_; ++i) mix_list_[i] = playing_[i].get();
    mix_version_ = playing_version_.load();
    play_mu_.unlock();
    mix_seen_ = mix_version_;
  }
  const int dev_rate = o->Rate();
  const double now = Now();
  bool ended = false;
  for (size_t k = 0; k < mix_count_; ++k) {
    Channel& ch = *mix_list_[k];
    if (!LockForMix(ch)) continue;
    std::lock_guard<std::mutex> lk(ch.m, std::adopt_lock);
    if (current_.load() != o) break;  // the output was replaced while mixing
    if (ch.state != kActivePlaying) continue;
    int64_t first = ch.NextFrame();
    int produced = 0;
    auto mix = [&](const float* f, int j) {
      float l = f[0], r = ch.chans > 1 ? f[1] : f[0];
      out[j * 2] += l;
      out[j * 2 + 1] += r;
    };
    if (ch.freq == dev_rate) {
      while (produced < frames) {
        const int want = std::min(frames - produced, kMixBlock);
        const int n = static_cast<int>(ch.Take(mix_tmp_.data(), want));
        for (int j = 0; j < n; ++j) mix(mix_tmp_.data() + j * ch.chans, produced + j);
        produced += n;
        if (n < want) break;
      }
    } else {
      // Linear interpolation between consecutive frames, positions stay in song frames.
      double step = ch.freq / dev_rate;
      if (!ch.primed && ch.Take(ch.prev, 1) == 1) {
        // The loop below steps onto the second frame before it plays the first.
        std::copy_n(ch.prev, kMaxChannelChans, ch.next);
        ch.frac = 1.0;
        ch.primed = true;
      }
      float f[kMaxChannelChans];
      for (int j = 0; ch.primed && j < frames; ++j) {
        while (ch.frac >= 1.0) {
          if (ch.Take(f, 1) < 1) break;
          std::copy_n(ch.next, kMaxChannelChans, ch.prev);
          std::copy_n(f, kMaxChannelChans, ch.next);
          ch.frac -= 1.0;
        }
        if (ch.frac >= 1.0) break;
        for (int c = 0; c < ch.chans; ++c)
          f[c] = static_cast<float>(ch.prev[c] + (ch.next[c] - ch.prev[c]) * ch.frac);
        mix(f, j);
        ch.frac += step;
        produced = j + 1;
      }
    }
    int64_t last = ch.NextFrame();
    if (produced > 0) {
      ch.pos_base = first;
      ch.pos_ref = dac;
      ch.pos_max = std::max(ch.pos_max, last);
      ch.starved = false;
    }
    if (produced < frames) {
      if (ch.Drained()) {
        if (!ch.drained) {
          ch.drained = true;
          ch.end_time = dac + static_cast<double>(produced) / dev_rate;
        }
      } else {
        if (!ch.starved) ch.starved_since = now;
        ch.starved = true;
      }
    }
    if (ch.drained && now >= ch.end_time) {
      ch.state = kActiveStopped;
      ch.ended = true;
      ch.drained = false;
      ch.pos_base = ch.pos_min = ch.pos_max = ch.gen_start + ch.rd;
      ch.end_pending = true;
      ended = true;
    }
  }
  mixing_ = false;
  if (ended) {
    ends_pending_ = true;
    // Taken and let go, if free, so the monitor cannot be between its look at the flag
    // and its wait; if busy, it looks again within its period.
    if (monitor_mu_.try_lock()) monitor_mu_.unlock();
    monitor_cv_.notify_all();
  }
}

// Under out_mu_. A device that cannot start is handed back in `dropped`, to be closed
// outside the lock.
bool Engine::EnsureOutput(int rate, std::unique_ptr<Output>* dropped) {
  if (!output_) return false;
  // Open at the song's own rate when nothing else plays, so no resampling is needed.
  if (output_->Running() && (AnyPlaying() || output_->Rate() == rate)) return true;
  last_render_ = Now();
  if (output_->Start(rate, Renderer(output_.get()))) {
    last_render_ = Now();
    return true;
  }
  if (silent_) return false;
  // The device went away: keep time on the silent output; the caller asks for the
  // device again, to be looked for off its thread.
  std::string reason = output_->Name() + " could not start";
  *dropped = SwitchOutput(CreateSilentOutput(), true, std::move(reason));
  device_lost_ = true;
  NoteAttempt();
  return output_->Start(rate, Renderer(output_.get()));
}

bool Engine::ChannelPlay(AudioHandle h, bool restart) {
  auto ch = Find(h);
  if (!ch) return false;
  {
    std::lock_guard<std::mutex> lk(ch->m);
    if (ch->state == kActivePlaying && !restart) return true;
  }
  std::unique_ptr<Output> dropped;  // closed last, outside the lock
  // The output cannot change until the song is among the playing ones.
  std::lock_guard<std::mutex> ol(out_mu_);
  if (!EnsureOutput(ch->rate, &dropped)) return false;
  double now = Now();
  {
    std::lock_guard<std::mutex> lk(ch->m);
    if (restart || ch->ended) Reposition(*ch, 0, now);
    ch->ended = false;
    ch->state = kActivePlaying;
    ch->pos_ref = now;
    ch->pos_min = ch->pos_max = ch->last_reported = ch->pos_base;
    ch->anchor_frame = ch->pos_base;
    ch->anchor_time = now;
  }
  {
    std::lock_guard<std::mutex> lk(play_mu_);
    if (std::find(playing_.begin(), playing_.end(), ch) == playing_.end() &&
        playing_.size() < kMaxMixChannels) {
      playing_.push_back(ch);
      PlayingChanged();
    }
  }
  if (silent_ && want_device_) PlanRetry(0, true);
  return true;
}

bool Engine::Halt(AudioHandle h, int state) {
  auto ch = Find(h);
  if (!ch) return false;
  {
    std::lock_guard<std::mutex> pl(play_mu_);
    playing_.erase(std::remove(playing_.begin(), playing_.end(), ch), playing_.end());
    PlayingChanged();
  }
  double now = Now();
  std::lock_guard<std::mutex> lk(ch->m);
  if (ch->state == kActivePlaying) {
    // Frames sent to the device but not yet heard are played again on resume.
    int64_t p = PositionLocked(*ch, now);
    ch->state = state;
    Reposition(*ch, p, now);
    return true;
  }
  if (state == kActivePaused && ch->state != kActivePaused) return false;  // nothing playing
  ch->state = state == kActiveStopped ? kActiveStopped : ch->state;
  return true;
}

int Engine::ChannelIsActive(AudioHandle h) {
  auto ch = Find(h);
  if (!ch) return kActiveStopped;
  double now = Now();
  std::lock_guard<std::mutex> lk(ch->m);
  if (ch->state != kActivePlaying) return ch->state;
  if (ch->drained && now >= ch->end_time) return kActiveStopped;  // the mixer finishes it
  // Right after a play or a seek the decoder may still be filling the ring; that
  // moment is not a stall. Reporting it as one would leave the play button showing
  // "play" on a playing song and make a pause press resume instead.
  constexpr double kStallGraceSeconds = 0.5;
  return ch->starved && now - ch->starved_since >= kStallGraceSeconds ? kActiveStalled
                                                                      : kActivePlaying;
}

bool Engine::ChannelGetAttribute(AudioHandle h, uint32_t attrib, float* value) {
  auto ch = Find(h);
  if (!ch || !value) return false;
  std::lock_guard<std::mutex> lk(ch->m);
  if (attrib == kAttribFreq)
    *value = ch->freq;
  else if (attrib == kAttribVol)
    *value = ch->volume;
  else
    return false;
  return true;
}

bool Engine::ChannelSetAttribute(AudioHandle h, uint32_t attrib, float value) {
  auto ch = Find(h);
  if (!ch || !std::isfinite(value)) return false;
  std::lock_guard<std::mutex> lk(ch->m);
  if (attrib == kAttribVol) {
    ch->volume = std::clamp(value, 0.0f, 1.0f);
    return true;
  }
  if (attrib == kAttribFreq) {
    if (ch->state == kActivePlaying) {  // the wall-clock bound goes on at the new rate
      double now = Now();
      ch->anchor_frame = PositionLocked(*ch, now);
      ch->anchor_time = now;
    }
    // 0 means the channel's own rate; limits as a sound card would have them.
    ch->freq = value == 0.0f ? static_cast<float>(ch->rate) : std::clamp(value, 100.0f, 768000.0f);
    return true;
  }
  return false;
}

int64_t Engine::ChannelGetLength(AudioHandle h, uint32_t mode) {
  auto ch = Find(h);
  if (!ch || mode != kPosByte) return -1;
  return ch->length.load() * ch->chans * 4;
}

bool Engine::ChannelLengthIsExact(AudioHandle h, uint32_t wait_ms) {
  auto ch = Find(h);
  if (!ch) return false;
  std::unique_lock<std::mutex> lk(ch->m);
  ch->cv.wait_for(lk, std::chrono::milliseconds(wait_ms),
                  [&] { return ch->length_exact || !ch->length_counting || ch->quit; });
  return ch->length_exact;
}

int64_t Engine::ChannelGetPosition(AudioHandle h, uint32_t mode) {
  auto ch = Find(h);
  if (!ch || mode != kPosByte) return -1;
  double now = Now();
  std::lock_guard<std::mutex> lk(ch->m);
  return PositionLocked(*ch, now) * ch->chans * 4;
}

double Engine::ChannelBytes2Seconds(AudioHandle h, int64_t bytes) {
  auto ch = Find(h);
  if (!ch || bytes < 0) return -1.0;
  return static_cast<double>(bytes / (ch->chans * 4)) / ch->rate;
}

int64_t Engine::ChannelSeconds2Bytes(AudioHandle h, double seconds) {
  auto ch = Find(h);
  if (!ch || !std::isfinite(seconds) || seconds < 0) return -1;
  // The first frame at or after the time, so the position read back is never below the
  // time asked for (a jump to a tag shows and stamps that tag again); a time that is a
  // frame's own (k / rate, up to rounding) gives that frame.
  const double x = seconds * ch->rate;
  const double k = std::nearbyint(x);
  const double slack = std::max(1e-6, x * 4 * std::numeric_limits<double>::epsilon());
  const double frame = std::fabs(x - k) <= slack ? k : std::ceil(x);
  if (frame >= static_cast<double>(INT64_MAX / 64)) return -1;
  return static_cast<int64_t>(frame) * ch->chans * 4;
}

bool Engine::ChannelSetPosition(AudioHandle h, int64_t pos, uint32_t mode) {
  auto ch = Find(h);
  if (!ch || mode != kPosByte || pos < 0) return false;
  int64_t frame = pos / (ch->chans * 4);
  int64_t len = ch->length.load();
  if (len > 0 && frame > len) return false;
  double now = Now();
  {
    std::lock_guard<std::mutex> lk(ch->m);
    Reposition(*ch, frame, now);
    ch->ended = false;
  }
  AskForDevice();
  return true;
}

AudioHandle Engine::ChannelSetFX(AudioHandle h, uint32_t type, int priority) {
  auto ch = Find(h);
  if (!ch) return 0;
  auto effect = MakeEffect(type, ch->rate, ch->chans);
  if (!effect) return 0;
  AudioHandle fx = next_handle_++;
  {
    std::lock_guard<std::mutex> lk(ch->m);
    auto it = std::find_if(ch->fx.begin(), ch->fx.end(),
                           [&](const FxSlot& s) { return s.priority < priority; });
    ch->fx.insert(it, FxSlot{fx, priority, std::move(effect)});
  }
  std::lock_guard<std::mutex> lk(mu_);
  fx_owner_[fx] = h;
  return fx;
}

bool Engine::ChannelRemoveFX(AudioHandle h, AudioHandle fx) {
  auto ch = Find(h);
  if (!ch || fx == 0) return false;
  {
    std::lock_guard<std::mutex> lk(ch->m);
    auto it =
        std::find_if(ch->fx.begin(), ch->fx.end(), [&](const FxSlot& s) { return s.handle == fx; });
    if (it == ch->fx.end()) return false;
    ch->fx.erase(it);
  }
  std::lock_guard<std::mutex> lk(mu_);
  fx_owner_.erase(fx);
  return true;
}

bool Engine::FXSetParameters(AudioHandle fx, const FxParameters& params) {
  AudioHandle owner;
  {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = fx_owner_.find(fx);
    if (it == fx_owner_.end()) return false;
    owner = it->second;
  }
  auto ch = Find(owner);
  if (!ch) return false;
  std::lock_guard<std::mutex> lk(ch->m);
  for (auto& s : ch->fx)
    if (s.handle == fx) return s.effect->SetParameters(params);
  return false;
}

bool Engine::FXGetParameters(AudioHandle fx, FxParameters* params) {
  AudioHandle owner;
  {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = fx_owner_.find(fx);
    if (it == fx_owner_.end() || !params) return false;
    owner = it->second;
  }
  auto ch = Find(owner);
  if (!ch) return false;
  std::lock_guard<std::mutex> lk(ch->m);
  for (auto& s : ch->fx) {
    if (s.handle == fx) {
      *params = s.effect->Parameters();
      return true;
    }
  }
  return false;
}

AudioHandle Engine::ChannelSetSync(AudioHandle h, uint32_t type, uint64_t, SyncProc proc,
                                   void* user) {
  auto ch = Find(h);
  if (!ch || type != kSyncEnd || !proc) return 0;
  AudioHandle s = next_handle_++;
  std::lock_guard<std::mutex> lk(ch->m);
  ch->syncs.push_back(SyncSlot{s, proc, user});
  return s;
}

bool Engine::ChannelRemoveSync(AudioHandle h, AudioHandle sync) {
  std::lock_guard<std::recursive_mutex> dl(deliver_mu_);
  auto ch = Find(h);
  if (!ch || sync == 0) return false;
  std::lock_guard<std::mutex> lk(ch->m);
  auto it = std::find_if(ch->syncs.begin(), ch->syncs.end(),
                         [&](const SyncSlot& s) { return s.handle == sync; });
  if (it == ch->syncs.end()) return false;
  ch->syncs.erase(it);
  return true;
}

int Engine::ChannelGetData(AudioHandle h, void* buffer, uint32_t length) {
  auto ch = Find(h);
  if (!ch || !buffer) return -1;
  bool fft = length == kDataFft512;
  bool floats = !fft && (length & kDataFloat) && !(length & 0x80000000u);
  if (!fft && !floats) return -1;
  int64_t frames = fft ? 512 : (length & 0x3FFFFFFF) / 4 / ch->chans;
  frames = std::min<int64_t>(frames, kRecentFrames);
  std::vector<float> data(static_cast<size_t>(frames * ch->chans), 0.0f);
  {
    std::unique_lock<std::mutex> lk(ch->m);
    if (ch->state != kActivePlaying) {  // give a freshly opened channel a moment to decode
      ch->cv.wait_for(lk, std::chrono::milliseconds(200),
                      [&] { return ch->Available() >= frames || ch->eof || ch->quit; });
    }
    if (ch->state == kActivePlaying) {
      // The latest frames handed to the output.
      int64_t have =
          std::min<int64_t>(frames, std::min<int64_t>(ch->recent_written, kRecentFrames));
      for (int64_t i = 0; i < have; ++i) {
        int64_t src = (ch->recent_written - have + i) % kRecentFrames;
        std::memcpy(&data[(frames - have + i) * ch->chans], &ch->recent[src * ch->chans],
                    sizeof(float) * ch->chans);
      }
    } else {
      // What will play next, without consuming it.
      int64_t have = std::min<int64_t>(frames, ch->Available());
      for (int64_t i = 0; i < have; ++i)
        std::memcpy(&data[i * ch->chans], ch->At(ch->rd + i), sizeof(float) * ch->chans);
    }
  }
  if (fft) {
    float mono[512];
    for (int i = 0; i < 512; ++i) {
      float s = 0;
      for (int c = 0; c < ch->chans; ++c) s += data[i * ch->chans + c];
      mono[i] = s / ch->chans;
    }
    Fft512(mono, static_cast<float*>(buffer));
    return 256 * 4;
  }
  std::memcpy(buffer, data.data(), data.size() * sizeof(float));
  return static_cast<int>(data.size() * sizeof(float));
}

bool Engine::ChannelGetInfo(AudioHandle h, ChannelInfo* info) {
  auto ch = Find(h);
  if (!ch || !info) return false;
  *info = ChannelInfo{};
  info->freq = static_cast<uint32_t>(ch->rate);
  info->chans = static_cast<uint32_t>(ch->chans);
  info->ctype = ch->ctype;
  info->origres = static_cast<uint32_t>(ch->origres);
  info->plugin = ch->plugin;
  return true;
}

uint64_t Engine::StreamGetFilePosition(AudioHandle h, uint32_t mode) {
  auto ch = Find(h);
  if (!ch || ch->music) return UINT64_MAX;
  if (mode == kFilePosStart) return ch->file_start;
  if (mode == kFilePosEnd) return ch->file_end;
  return UINT64_MAX;
}

int64_t Engine::ChannelRead(AudioHandle h, float* out, int64_t frames) {
  auto ch = Find(h);
  if (!ch || !out || frames < 0) return -1;
  std::vector<PendingSync> fire;
  int64_t done = 0;
  {
    std::unique_lock<std::mutex> lk(ch->m);
    if (ch->state == kActivePlaying) return -1;
    while (done < frames) {
      ch->cv.wait(lk, [&] { return ch->quit || ch->Available() > 0 || ch->RingEnded(); });
      if (ch->quit) break;
      int64_t n = ch->Take(out + done * ch->chans, frames - done);
      done += n;
      if (n == 0 && ch->Drained()) break;  // the end
    }
    ch->pos_base = ch->pos_min = ch->pos_max = ch->last_reported = ch->NextFrame();
    if (done < frames && ch->eof && !ch->ended) {
      ch->ended = true;
      for (auto& s : ch->syncs) fire.push_back(PendingSync{s, ch->handle});
    }
  }
  QueueSyncs(fire);
  return done;
}

bool Engine::ChannelSetSpeed(AudioHandle h, double speed) {
  auto ch = Find(h);
  if (!ch || !std::isfinite(speed) || speed < kMinPlaybackSpeed || speed > kMaxPlaybackSpeed)
    return false;
  bool need;
  {
    std::lock_guard<std::mutex> lk(ch->m);
    if (ch->speed == speed) return true;
    need = speed != 1.0 && !ch->stretcher;
  }
  // Made here, not on the output's thread: setting a stretcher up allocates its tables.
  std::unique_ptr<Stretcher> made;
  if (need && !(made = CreateStretcher(ch->rate, ch->chans))) return false;
  double now = Now();
  std::lock_guard<std::mutex> lk(ch->m);
  if (made && !ch->stretcher) {
    ch->stretcher = std::move(made);
    ch->stretch_in.assign(static_cast<size_t>(kChunk * ch->chans), 0.0f);
  }
  // From the sample heard now: what the device and the stretcher hold at the old speed
  // is dropped, and the stretcher starts afresh there.
  int64_t heard = ch->state == kActivePlaying ? PositionLocked(*ch, now) : ch->NextFrame();
  ch->speed = speed;
  Reposition(*ch, heard, now);
  return true;
}

double Engine::ChannelGetSpeed(AudioHandle h) {
  auto ch = Find(h);
  if (!ch) return 1.0;
  std::lock_guard<std::mutex> lk(ch->m);
  return ch->speed;
}

std::string Engine::ChannelGetDecoder(AudioHandle h) {
  auto ch = Find(h);
  return ch ? ch->decoder : std::string();
}

std::string Engine::OutputName() {
  std::lock_guard<std::mutex> lk(out_mu_);
  if (!output_) return std::string();
  return fallback_.empty() ? output_->Name() : output_->Name() + " (" + fallback_ + ")";
}

}  // namespace

std::unique_ptr<AudioEngine> CreateAudioEngine() {
  return CreateAudioEngine(PortAudioOutputs());
}

std::unique_ptr<AudioEngine> CreateAudioEngine(OutputFactory devices) {
  return std::make_unique<Engine>(std::move(devices));
}

}  // namespace lirotag
