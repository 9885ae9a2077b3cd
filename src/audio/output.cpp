#include "audio/output.h"

#include <portaudio.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

// The libraries under PortAudio report every device they try and cannot open: ALSA
// each PCM of its configuration that names no card, JACK a server that is not running.
// On a machine without sound that is some sixty lines on stderr at every start, and
// none of them is a fault. While PortAudio looks for devices, their reports are kept
// here instead of printed; the first of each library's goes into the one line said
// when no device turns up at all. Both are reached through the symbols libportaudio
// already loaded, so nothing here needs ALSA or JACK to build or to run.
namespace {

std::mutex g_reports_mu;
std::string g_alsa_report;  // the first of the probe, with g_reports_mu
std::string g_jack_report;

void KeepFirst(std::string* first, const char* text) {
  std::lock_guard<std::mutex> lk(g_reports_mu);
  if (first->empty() && text) *first = text;
}

}  // namespace

extern "C" {
static void KeepAlsaReport(const char*, int, const char*, int, const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  KeepFirst(&g_alsa_report, text);
}
static void KeepJackReport(const char* text) {
  KeepFirst(&g_jack_report, text);
}
static void DropJackInfo(const char*) {}
}

namespace lirotag {

double OutputClock() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

class SilentOutput : public Output {
 public:
  ~SilentOutput() override { Stop(); }
  bool Start(int rate, Render render) override {
    Stop();
    if (rate <= 0) return false;
    rate_ = rate;
    render_ = std::move(render);
    quit_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }
  void Stop() override {
    if (!thread_.joinable()) return;
    quit_ = true;
    thread_.join();
  }
  bool Running() const override { return thread_.joinable(); }
  int Rate() const override { return rate_; }
  std::string Name() const override { return "silent"; }

 private:
  // Renders each 10 ms block just as it would start to sound.
  void Run() {
    std::vector<float> buf;
    double start = OutputClock();
    int64_t done = 0;
    for (int64_t block = 0; !quit_; ++block) {
      int64_t end = (block + 1) * rate_ / 100;
      int n = static_cast<int>(end - done);
      double at = start + static_cast<double>(done) / rate_;
      buf.assign(static_cast<size_t>(n) * 2, 0.0f);
      render_(buf.data(), n, at);
      done = end;
      auto wake = std::chrono::steady_clock::time_point(
          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
              std::chrono::duration<double>(start + static_cast<double>(done) / rate_)));
      std::this_thread::sleep_until(wake);
    }
  }
  int rate_ = 44100;
  Render render_;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

// One PortAudio set-up or tear-down at a time: they are not thread-safe, and every
// engine opens its devices on a thread of its own.
std::mutex& PortAudioMutex() {
  static std::mutex m;
  return m;
}

using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using JackHandler = void (*)(const char*);

template <typename T>
T LoadedSymbol(const char* name) {
#if defined(_WIN32)
  (void)name;
  return nullptr;
#else
  return reinterpret_cast<T>(dlsym(RTLD_DEFAULT, name));
#endif
}

// Keeps ALSA's and JACK's reports while it lives, then puts back the handlers that were
// there before, so errors while a song plays are printed as usual.
class QuietProbe {
 public:
  QuietProbe() {
    {
      std::lock_guard<std::mutex> lk(g_reports_mu);
      g_alsa_report.clear();
      g_jack_report.clear();
    }
    set_alsa_ = LoadedSymbol<int (*)(AlsaHandler)>("snd_lib_error_set_handler");
    if (set_alsa_) {
      if (auto* now = LoadedSymbol<AlsaHandler*>("snd_lib_error")) alsa_before_ = *now;
      set_alsa_(&KeepAlsaReport);
    }
    set_jack_error_ = LoadedSymbol<void (*)(JackHandler)>("jack_set_error_function");
    set_jack_info_ = LoadedSymbol<void (*)(JackHandler)>("jack_set_info_function");
    auto* error_now = LoadedSymbol<JackHandler*>("jack_error_callback");
    auto* info_now = LoadedSymbol<JackHandler*>("jack_info_callback");
    // Without the current handlers there is nothing to put back: leave JACK alone.
    if (!set_jack_error_ || !set_jack_info_ || !error_now || !info_now) {
      set_jack_error_ = set_jack_info_ = nullptr;
      return;
    }
    jack_error_before_ = *error_now;
    jack_info_before_ = *info_now;
    set_jack_error_(&KeepJackReport);
    set_jack_info_(&DropJackInfo);
  }
  ~QuietProbe() {
    if (set_alsa_) set_alsa_(alsa_before_);  // nullptr is ALSA's own default
    if (set_jack_error_) set_jack_error_(jack_error_before_);
    if (set_jack_info_) set_jack_info_(jack_info_before_);
  }
  // "ALSA: ...; JACK: ...", the first report of each; empty when they said nothing.
  static std::string Reports() {
    std::lock_guard<std::mutex> lk(g_reports_mu);
    std::string out;
    if (!g_alsa_report.empty()) out = "ALSA: " + g_alsa_report;
    if (!g_jack_report.empty()) out += (out.empty() ? "" : "; ") + ("JACK: " + g_jack_report);
    return out;
  }

 private:
  int (*set_alsa_)(AlsaHandler) = nullptr;
  AlsaHandler alsa_before_ = nullptr;
  void (*set_jack_error_)(JackHandler) = nullptr;
  void (*set_jack_info_)(JackHandler) = nullptr;
  JackHandler jack_error_before_ = nullptr;
  JackHandler jack_info_before_ = nullptr;
};

// A device may take frames ahead of real time by its buffer at most; one that takes
// this much more than the elapsed time is not playing them (ALSA's null device, a
// broken driver) and would run the song through in a blink.
constexpr double kAheadLimitSeconds = 2.0;

class PortAudioOutput : public Output {
 public:
  PortAudioOutput() = default;
  ~PortAudioOutput() override {
    std::lock_guard<std::mutex> lk(PortAudioMutex());
    StopStream();
    Pa_Terminate();
  }
  bool Start(int rate, Render render) override {
    std::lock_guard<std::mutex> lk(PortAudioMutex());
    StopStream();
    render_ = std::move(render);
    for (int r : {rate, 48000, 44100}) {
      if (r <= 0) continue;
      if (Pa_OpenDefaultStream(&stream_, 0, 2, paFloat32, r, paFramesPerBufferUnspecified,
                               &PortAudioOutput::Callback, this) != paNoError) {
        stream_ = nullptr;
        continue;
      }
      const PaStreamInfo* info = Pa_GetStreamInfo(stream_);
      latency_ = info && info->outputLatency > 0 && info->outputLatency < kAheadLimitSeconds
                     ? info->outputLatency
                     : 0.0;
      rate_ = r;
      frames_ = 0;
      failed_ = false;
      started_ = OutputClock();
      if (Pa_StartStream(stream_) != paNoError) {
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        continue;
      }
      return true;
    }
    return false;
  }
  void Stop() override {
    std::lock_guard<std::mutex> lk(PortAudioMutex());
    StopStream();
  }
  bool Running() const override { return stream_ != nullptr; }
  int Rate() const override { return rate_; }
  bool Failed() const override {
    if (!stream_) return false;
    return failed_ || Pa_IsStreamActive(stream_) != 1;
  }
  std::string Name() const override {
    PaDeviceIndex dev = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* d = dev == paNoDevice ? nullptr : Pa_GetDeviceInfo(dev);
    const PaHostApiInfo* api = d ? Pa_GetHostApiInfo(d->hostApi) : nullptr;
    return std::string("PortAudio: ") + (api && api->name ? api->name : "?") + ": " +
           (d && d->name ? d->name : "?");
  }

 private:
  void StopStream() {
    if (!stream_) return;
    Pa_AbortStream(stream_);  // at once: the GUI thread must not wait for the buffers
    Pa_CloseStream(stream_);
    stream_ = nullptr;
  }
  static int Callback(const void*, void* out, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioOutput*>(user);
    double now = OutputClock();
    auto* dst = static_cast<float*>(out);
    self->frames_ += static_cast<int64_t>(frames);
    if (!self->failed_ && static_cast<double>(self->frames_) / self->rate_ >
                              2 * (now - self->started_) + kAheadLimitSeconds) {
      self->failed_ = true;
    }
    if (self->failed_) {
      std::fill(dst, dst + frames * 2, 0.0f);
      return paContinue;
    }
    // How far ahead of now the block sounds, from the stream's own clock. The DAC time
    // already holds the output latency; the latency is the estimate only when a host
    // API leaves the times empty or inconsistent.
    double ahead = time ? time->outputBufferDacTime - time->currentTime : -1.0;
    if (!time || time->outputBufferDacTime <= 0 || !(ahead >= 0 && ahead < kAheadLimitSeconds))
      ahead = self->latency_;
    self->render_(dst, static_cast<int>(frames), now + ahead);
    return paContinue;
  }
  Render render_;
  PaStream* stream_ = nullptr;
  int rate_ = 44100;
  double latency_ = 0;
  double started_ = 0;
  std::atomic<int64_t> frames_{0};
  std::atomic<bool> failed_{false};
};

}  // namespace

std::unique_ptr<Output> CreateSilentOutput() {
  return std::make_unique<SilentOutput>();
}

std::unique_ptr<Output> CreatePortAudioOutput(std::string* why) {
  // Said once, when the device goes missing; the engine keeps looking every few
  // seconds while a song plays, and a look that finds nothing again stays quiet.
  static bool told = false;
  std::lock_guard<std::mutex> lk(PortAudioMutex());
  std::string reason;
  {
    QuietProbe quiet;
    if (Pa_Initialize() != paNoError) {
      reason = "PortAudio could not start";
    } else if (Pa_GetDefaultOutputDevice() == paNoDevice) {
      Pa_Terminate();
      reason = "no sound device";
    } else {
      told = false;
      return std::make_unique<PortAudioOutput>();
    }
  }
  std::string reports = QuietProbe::Reports();
  if (!reports.empty()) reason += " [" + reports + "]";
  if (!told) std::fprintf(stderr, "lirotag: %s, playing silently\n", reason.c_str());
  told = true;
  if (why) *why = reason;
  return nullptr;
}

OutputFactory PortAudioOutputs() {
#ifndef _WIN32
  // Probing must not launch a JACK server as a side effect of opening a song player;
  // a server the user runs is still found. An explicit setting is left alone. Set
  // here, on the caller's thread, as no other thread may be reading the environment.
  setenv("JACK_NO_START_SERVER", "1", 0);
#endif
  return [](std::string* why) { return CreatePortAudioOutput(why); };
}

}  // namespace lirotag
