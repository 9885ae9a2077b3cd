// The engine behind AudioEngine: one decoding thread per channel fills a bounded ring
// of the song's own frames; the output's callback mixes the playing channels. The
// position a caller reads is the frame at the DAC, worked out from the time the output
// says each block reaches it, never the decoder's read-ahead.

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
#include "audio/mixer.h"
#include "audio/output.h"
#include "audio/output_holder.h"
#include "audio/plugins.h"
#include "audio/source.h"
#include "audio/stretch.h"

namespace lirotag {
namespace {

class Engine : public AudioEngine, private OutputHolder::Client {
 public:
  explicit Engine(OutputFactory devices) : holder_(std::move(devices), *this) {}
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
  static double Now() { return OutputClock(); }
  bool Halt(AudioHandle h, int state);
  void QueueSyncs(std::vector<PendingSync>& fire);
  void DeliverSyncs();

  // OutputHolder::Client.
  void Mix(Output* o, float* out, int frames, double dac, int rate) override {
    mixer_.Mix(holder_.Current(), o, out, frames, dac, rate);
  }
  void Rebase(double now) override;
  bool AnyPlaying() override { return mixer_.AnyPlaying(); }
  void Service() override;

  // Per calling thread, as the opens may run on several at once.
  static thread_local OpenError open_error_;
  AudioHandle Opened(AudioHandle h, OpenError why) {
    open_error_ = h ? OpenError::kNone : why;
    return h;
  }

  // Lock order, outer first; a thread holding one of these takes only those after it:
  //   deliver_mu_ > OutputHolder's > mu_ > Mixer's > Channel::m > sync_mu_
  // (a source's counting thread reports into Channel::m holding its own map's lock, so
  // that lock comes before Channel::m too). The output's callback blocks on none of
  // them: it tries the Mixer's lock and Channel::m, and does without for a block when
  // they are busy.
  std::mutex mu_;  // the maps below
  std::map<AudioHandle, std::shared_ptr<Channel>> channels_;
  std::map<AudioHandle, AudioHandle> fx_owner_;
  std::atomic<AudioHandle> next_handle_{1};
  PluginRegistry plugins_;
  bool init_ = false;

  // Before the holder: its monitor thread uses them until it is stopped.
  Mixer mixer_{[this] { holder_.Wake(); }};
  std::mutex sync_mu_;  // the syncs due, delivered on the monitor thread
  std::vector<PendingSync> sync_queue_;
  // Held while a sync runs: once ChannelRemoveSync or a free returns, its proc is not
  // running and will not run again.
  std::recursive_mutex deliver_mu_;
  OutputHolder holder_;
};

bool Engine::Init(int device, uint32_t freq, uint32_t, void*, const void*) {
  if (init_) return false;
  init_ = true;
  {
    std::lock_guard<std::mutex> lk(sync_mu_);
    sync_queue_.clear();
  }
  holder_.Start(device != kNoSoundDevice, static_cast<int>(std::min<uint32_t>(freq, 768000)));
  return true;
}

void Engine::Rebase(double now) {
  for (auto& ch : mixer_.Playing()) {
    std::lock_guard<std::mutex> cl(ch->m);
    if (ch->state == kActivePlaying) ch->MoveTo(ch->Position(now), now);
  }
}

void Engine::Service() {
  std::vector<PendingSync> fire;
  mixer_.FinishEnded(&fire);
  if (!fire.empty()) {
    std::lock_guard<std::mutex> lk(sync_mu_);
    sync_queue_.insert(sync_queue_.end(), fire.begin(), fire.end());
  }
  DeliverSyncs();
}

void Engine::QueueSyncs(std::vector<PendingSync>& fire) {
  if (fire.empty()) return;
  {
    std::lock_guard<std::mutex> lk(sync_mu_);
    sync_queue_.insert(sync_queue_.end(), fire.begin(), fire.end());
  }
  holder_.Wake();
}

void Engine::DeliverSyncs() {
  std::vector<PendingSync> batch;
  {
    std::lock_guard<std::mutex> lk(sync_mu_);
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

bool Engine::Free() {
  if (!init_) return false;
  holder_.Stop();
  {
    std::lock_guard<std::mutex> lk(sync_mu_);
    sync_queue_.clear();
  }
  std::map<AudioHandle, std::shared_ptr<Channel>> chans;
  {
    std::lock_guard<std::mutex> lk(mu_);
    chans.swap(channels_);
    fx_owner_.clear();
  }
  mixer_.Clear();
  mixer_.WaitUntilUnused();
  for (auto& [h, ch] : chans) ch->StopDecoder();
  chans.clear();
  holder_.Release();
  plugins_.Clear();
  init_ = false;
  return true;
}

AudioHandle Engine::PluginLoad(const std::string& path, uint32_t) {
  return init_ ? plugins_.Load(path, next_handle_) : 0;
}

bool Engine::PluginGetInfo(AudioHandle plugin, PluginInfo* info) {
  return plugins_.Info(plugin, info);
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
  ch->worker = std::thread(&Channel::RunDecoder, raw);
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
  for (const auto& p : plugins_.InLoadOrder()) {
    if (auto s = OpenPluginFile(p.desc, p.name, path))
      return Opened(AddChannel(std::move(s), false, kCtypePlugin, p.handle), OpenError::kDamaged);
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
  mixer_.Remove(ch);
  mixer_.WaitUntilUnused();
  ch->StopDecoder();
  return true;
}

bool Engine::ChannelPlay(AudioHandle h, bool restart) {
  auto ch = Find(h);
  if (!ch) return false;
  {
    std::lock_guard<std::mutex> lk(ch->m);
    if (ch->state == kActivePlaying && !restart) return true;
  }
  // The output cannot change until the song is among the playing ones.
  return holder_.Play(ch->rate, [&] {
    double now = Now();
    {
      std::lock_guard<std::mutex> lk(ch->m);
      if (restart || ch->ended) ch->MoveTo(0, now);
      ch->ended = false;
      ch->state = kActivePlaying;
      ch->pos_ref = now;
      ch->pos_min = ch->pos_max = ch->last_reported = ch->pos_base;
      ch->anchor_frame = ch->pos_base;
      ch->anchor_time = now;
    }
    mixer_.Add(ch);
  });
}

bool Engine::Halt(AudioHandle h, int state) {
  auto ch = Find(h);
  if (!ch) return false;
  mixer_.Remove(ch);
  double now = Now();
  std::lock_guard<std::mutex> lk(ch->m);
  if (ch->state == kActivePlaying) {
    // Frames sent to the device but not yet heard are played again on resume.
    int64_t p = ch->Position(now);
    ch->state = state;
    ch->MoveTo(p, now);
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
      ch->anchor_frame = ch->Position(now);
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
  return ch->Position(now) * ch->chans * 4;
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
    ch->MoveTo(frame, now);
    ch->ended = false;
  }
  holder_.AskForDevice();
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
  int64_t heard = ch->state == kActivePlaying ? ch->Position(now) : ch->NextFrame();
  ch->speed = speed;
  ch->MoveTo(heard, now);
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
  return holder_.Name();
}

}  // namespace

std::unique_ptr<AudioEngine> CreateAudioEngine() {
  return CreateAudioEngine(PortAudioOutputs());
}

std::unique_ptr<AudioEngine> CreateAudioEngine(OutputFactory devices) {
  return std::make_unique<Engine>(std::move(devices));
}

}  // namespace lirotag
