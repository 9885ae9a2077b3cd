#pragma once

// The engine's hold on its sound device. It starts on the silent output (which keeps
// time without a device), opens the device on a monitor thread of its own a moment
// later, and moves the playing songs to the silent output when the device fails or
// stops calling back, looking for it again every few seconds. The songs never notice
// but for a moment of silence: their position neither jumps nor runs back.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/audio_engine.h"
#include "audio/output.h"

namespace lirotag {

class OutputHolder {
 public:
  // What the holder asks of the engine that mixes.
  class Client {
   public:
    virtual ~Client() = default;
    // Mixes `frames` stereo frames into `out` (zeroed) for `output`, running at `rate`,
    // the first of them reaching the DAC at `dac`. On the output's callback: must not
    // block or allocate.
    virtual void Mix(Output* output, float* out, int frames, double dac, int rate) = 0;
    // The output is about to change: the playing songs go on from the sample at the DAC
    // `now`. Under the holder's lock.
    virtual void Rebase(double now) = 0;
    virtual bool AnyPlaying() = 0;
    // On the monitor thread at each wake (see Wake): the work the callback leaves.
    virtual void Service() = 0;
  };

  OutputHolder(OutputFactory devices, Client& client)
      : devices_(std::move(devices)), client_(client) {}
  ~OutputHolder() {
    Stop();
    Release();
  }
  OutputHolder(const OutputHolder&) = delete;
  OutputHolder& operator=(const OutputHolder&) = delete;

  // On the silent output, with the device (when `want_device` and there is a factory)
  // opened by the monitor thread a moment later; `rate` is the rate to try it at.
  void Start(bool want_device, int rate);
  // Stops the monitor thread (a device being opened is waited for) and the output.
  void Stop();
  // Destroys the output, after Stop and once no song uses it.
  void Release();
  // Starts the output for a song at `rate` unless it runs, falling back to the silent
  // output when the device cannot start, then runs `then` while the output cannot
  // change. False, without running `then`, when no output starts.
  bool Play(int rate, const std::function<void()>& then);
  // A play or a seek on the silent stand-in looks for the device at once.
  void AskForDevice();
  // See AudioEngine::OutputName.
  std::string Name();
  // The output whose renders count; nullptr while it changes.
  const std::atomic<Output*>& Current() const { return current_; }
  // Has the monitor thread call Client::Service soon. Never blocks: for the output's
  // callback too.
  void Wake();

 private:
  static double Now() { return OutputClock(); }
  Output::Render Renderer(Output* o);
  void Monitor();
  // How often the monitor looks at the output: zero when there is nothing to watch (no
  // output running, no song playing).
  std::chrono::milliseconds WatchPeriod();
  bool EnsureOutput(int rate, std::unique_ptr<Output>* dropped);
  std::unique_ptr<Output> SwitchOutput(std::unique_ptr<Output> next, bool silent,
                                       std::string reason);
  void CheckOutput();
  void PlanRetry(double delay, bool asked);
  void NoteAttempt();
  void TryDevice(bool asked);
  bool Audition(Output& device, int rate, std::string* why);

  static constexpr double kNever = std::numeric_limits<double>::infinity();
  // How long an output runs on with nothing playing before it is stopped.
  static constexpr double kIdleOutputSeconds = 2.0;

  const OutputFactory devices_;  // opens the sound device; empty: there is none
  Client& client_;

  // Lock order: out_mu_ before the client's locks (Rebase, AnyPlaying), monitor_mu_
  // after them all. The output's callback takes neither.
  std::mutex out_mu_;  // the output state below
  std::unique_ptr<Output> output_;
  // The output whose renders count; a failed one's late callbacks mix nothing.
  std::atomic<Output*> current_{nullptr};
  bool silent_ = true;
  bool want_device_ = false;  // Start asked for a sound device
  bool device_lost_ = false;  // one failed or could not start since Start
  int init_rate_ = 44100;
  std::string fallback_;  // why the silent output stands in for the device
  // When the output in use last called back: one silent for long has stopped.
  std::atomic<double> last_render_{0};
  // A device being tried: its renders mix nothing, they are only counted.
  std::atomic<Output*> trial_{nullptr};
  std::atomic<int> trial_calls_{0};
  double idle_since_ = kNever;  // under out_mu_: since when nothing has played
  double retry_delay_ = 0;      // under out_mu_: the wait before the next look (Start sets it)

  std::thread monitor_;
  std::mutex monitor_mu_;
  std::condition_variable monitor_cv_;
  bool monitor_quit_ = false;
  std::atomic<bool> wake_{false};
  // The next look for the lost device; one a play or seek asked for goes ahead even
  // when nothing plays by then, the others only while a song plays.
  double retry_at_ = kNever;
  bool retry_asked_ = false;
  double last_attempt_ = -kNever;
};

}  // namespace lirotag
