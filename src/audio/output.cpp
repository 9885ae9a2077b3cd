#include "audio/output.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

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

// A device may take frames ahead of real time by its buffer at most; one that takes
// this much more than the elapsed time is not playing them (ALSA's null device, a
// broken driver) and would run the song through in a blink.
constexpr double kAheadLimitSeconds = 2.0;

class PortAudioOutput : public Output {
 public:
  PortAudioOutput() = default;
  ~PortAudioOutput() override {
    Stop();
    Pa_Terminate();
  }
  bool Start(int rate, Render render) override {
    Stop();
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
    if (!stream_) return;
    Pa_AbortStream(stream_);  // at once: the GUI thread must not wait for the buffers
    Pa_CloseStream(stream_);
    stream_ = nullptr;
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
  if (Pa_Initialize() != paNoError) {
    if (why) *why = "PortAudio could not start";
    return nullptr;
  }
  if (Pa_GetDefaultOutputDevice() == paNoDevice) {
    Pa_Terminate();
    if (why) *why = "no PortAudio device";
    return nullptr;
  }
  return std::make_unique<PortAudioOutput>();
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
