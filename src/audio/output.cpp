#include "audio/output.h"

#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace lirotag {
namespace {

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

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
  double Now() const override { return SteadySeconds(); }

 private:
  // Renders each 10 ms block just as it would start to sound.
  void Run() {
    std::vector<float> buf;
    double start = SteadySeconds();
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
      if (Pa_StartStream(stream_) != paNoError) {
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        continue;
      }
      rate_ = r;
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
  double Now() const override { return stream_ ? Pa_GetStreamTime(stream_) : 0.0; }

 private:
  static int Callback(const void*, void* out, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* user) {
    auto* self = static_cast<PortAudioOutput*>(user);
    double dac = time ? time->outputBufferDacTime : 0.0;
    if (dac <= 0.0) {
      // Some host APIs leave the DAC time empty: estimate it from the latency.
      const PaStreamInfo* info = Pa_GetStreamInfo(self->stream_);
      dac = Pa_GetStreamTime(self->stream_) + (info ? info->outputLatency : 0.0);
    }
    self->render_(static_cast<float*>(out), static_cast<int>(frames), dac);
    return paContinue;
  }
  Render render_;
  PaStream* stream_ = nullptr;
  int rate_ = 44100;
};

}  // namespace

std::unique_ptr<Output> CreateSilentOutput() {
  return std::make_unique<SilentOutput>();
}

std::unique_ptr<Output> CreatePortAudioOutput() {
  if (Pa_Initialize() != paNoError) return nullptr;
  if (Pa_GetDefaultOutputDevice() == paNoDevice) {
    Pa_Terminate();
    return nullptr;
  }
  return std::make_unique<PortAudioOutput>();
}

}  // namespace lirotag
