#include "audio/output_holder.h"

#include <algorithm>
#include <chrono>

namespace lirotag {
namespace {

// Longer than any device's buffer period: an output that has not called back for this
// long has stopped.
constexpr double kSilenceLimitSeconds = 1.0;
// A lost device is looked for again this soon while a song plays: a restarted sound
// server or a headset that reconnects comes back within seconds. A look opens the sound
// libraries anew (tens of milliseconds of the monitor thread), so each look that finds
// nothing doubles the wait, up to kMaxRetrySeconds; a play or a seek still looks at once.
constexpr double kRetrySeconds = 3.0;
constexpr double kMaxRetrySeconds = 30.0;
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
// How often a running device is looked at for a stall or a failure. A song's end, its
// syncs, a play and a retry wake the monitor at once, whatever the output.
constexpr auto kDeviceWatchPeriod = std::chrono::milliseconds(100);
// The silent output neither stalls nor fails: it is looked at only to be stopped once
// nothing plays.
constexpr auto kSilentWatchPeriod = std::chrono::milliseconds(500);

}  // namespace

void OutputHolder::Start(bool want_device, int rate) {
  std::lock_guard<std::mutex> lk(out_mu_);
  want_device_ = want_device && devices_;
  device_lost_ = false;
  retry_delay_ = kRetrySeconds;
  init_rate_ = rate > 0 && rate <= 768000 ? rate : 44100;
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
    retry_at_ = want_device_ ? Now() + kProbeDelaySeconds : kNever;
    retry_asked_ = want_device_;
    last_attempt_ = -kNever;
  }
  monitor_ = std::thread(&OutputHolder::Monitor, this);
}

void OutputHolder::Stop() {
  {
    std::lock_guard<std::mutex> lk(monitor_mu_);
    monitor_quit_ = true;
  }
  monitor_cv_.notify_all();
  // A device being opened is waited for, as opening cannot be interrupted; one on trial
  // is given up at once.
  if (monitor_.joinable()) monitor_.join();
  std::lock_guard<std::mutex> lk(out_mu_);
  if (output_) output_->Stop();
}

void OutputHolder::Release() {
  std::lock_guard<std::mutex> lk(out_mu_);
  current_ = nullptr;
  output_.reset();
}

Output::Render OutputHolder::Renderer(Output* o) {
  return [this, o](float* out, int frames, double dac) {
    std::fill(out, out + frames * 2, 0.0f);
    if (current_.load() != o) {
      if (trial_.load() == o) ++trial_calls_;
      return;
    }
    last_render_ = Now();
    client_.Mix(o, out, frames, dac, o->Rate());
  };
}

void OutputHolder::Wake() {
  wake_ = true;
  // Taken and let go, if free, so the monitor cannot be between its look at the flag
  // and its wait; if busy, it looks again within its period.
  if (monitor_mu_.try_lock()) monitor_mu_.unlock();
  monitor_cv_.notify_all();
}

void OutputHolder::Monitor() {
  auto period = kDeviceWatchPeriod;
  std::unique_lock<std::mutex> lk(monitor_mu_);
  while (!monitor_quit_) {
    const auto due = [this] { return monitor_quit_ || wake_.load() || Now() >= retry_at_; };
    if (period.count() > 0) {
      monitor_cv_.wait_for(lk, period, due);
    } else if (retry_at_ == kNever) {
      // Nothing plays and no output runs: nothing to watch until a play, a song's event
      // or a planned retry wakes the thread. An idle program uses no processor.
      monitor_cv_.wait(lk, [&] { return due() || retry_at_ != kNever; });
    } else {
      monitor_cv_.wait_for(lk, std::chrono::duration<double>(retry_at_ - Now()), due);
    }
    if (monitor_quit_) break;
    bool retry = Now() >= retry_at_;
    bool asked = retry_asked_;
    if (retry) {
      retry_at_ = kNever;
      retry_asked_ = false;
    }
    wake_ = false;
    lk.unlock();
    client_.Service();
    CheckOutput();
    if (retry) TryDevice(asked);
    period = WatchPeriod();
    lk.lock();
  }
}

// Taken outside monitor_mu_, in the lock order. An output left running with nothing to
// play is stopped after a while, so that a paused or idle program wakes no thread (a
// device's callbacks, the silent output's blocks); the next play starts it again.
std::chrono::milliseconds OutputHolder::WatchPeriod() {
  std::lock_guard<std::mutex> ol(out_mu_);
  const auto period = silent_ ? kSilentWatchPeriod : kDeviceWatchPeriod;
  if (client_.AnyPlaying()) {
    idle_since_ = kNever;
    return period;
  }
  if (!output_ || !output_->Running()) return {};
  if (idle_since_ == kNever) idle_since_ = Now();
  if (Now() - idle_since_ < kIdleOutputSeconds) return period;
  output_->Stop();
  idle_since_ = kNever;
  return {};
}

bool OutputHolder::Play(int rate, const std::function<void()>& then) {
  std::unique_ptr<Output> dropped;  // closed last, outside the lock
  std::lock_guard<std::mutex> ol(out_mu_);
  if (!EnsureOutput(rate, &dropped)) return false;
  then();
  if (silent_ && want_device_) PlanRetry(0, true);
  Wake();  // a resting monitor watches again
  return true;
}

std::string OutputHolder::Name() {
  std::lock_guard<std::mutex> lk(out_mu_);
  if (!output_) return std::string();
  return fallback_.empty() ? output_->Name() : output_->Name() + " (" + fallback_ + ")";
}

// Under out_mu_: the playing songs go on on `next` from the sample at the DAC now, so
// the position neither jumps nor runs back; what the old output took but did not play
// is played again. Returns the old output, to be stopped outside the lock, so a driver
// slow to let go holds up no caller.
std::unique_ptr<Output> OutputHolder::SwitchOutput(std::unique_ptr<Output> next, bool silent,
                                                   std::string reason) {
  current_ = nullptr;  // the old output's late renders mix nothing
  double now = Now();
  client_.Rebase(now);
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
void OutputHolder::CheckOutput() {
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
    if (client_.AnyPlaying()) output_->Start(rate, Renderer(output_.get()));
    NoteAttempt();
    retry_delay_ = kRetrySeconds;
    PlanRetry(retry_delay_, false);
  }
  failed->Stop();
  failed.reset();
}

// Lock order: out_mu_, then monitor_mu_.
void OutputHolder::PlanRetry(double delay, bool asked) {
  {
    std::lock_guard<std::mutex> lk(monitor_mu_);
    double at = std::max(Now() + delay, last_attempt_ + kRetryGapSeconds);
    retry_at_ = std::min(retry_at_, at);
    retry_asked_ = retry_asked_ || asked;
  }
  monitor_cv_.notify_all();
}

void OutputHolder::NoteAttempt() {
  std::lock_guard<std::mutex> lk(monitor_mu_);
  last_attempt_ = Now();
}

// A play or a seek on the silent stand-in looks for the device at once.
void OutputHolder::AskForDevice() {
  std::lock_guard<std::mutex> lk(out_mu_);
  if (silent_ && want_device_) PlanRetry(0, true);
}

// Opens the device again and moves the songs onto it once it plays. On the monitor
// thread: opening may take long (every host API probed, a sound server that does not
// answer), and no caller waits for it meanwhile; the silent output keeps the time.
void OutputHolder::TryDevice(bool asked) {
  {
    std::lock_guard<std::mutex> lk(out_mu_);
    if (!silent_ || !want_device_) return;
    if (!asked && !client_.AnyPlaying()) return;  // the next play asks again
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
  std::lock_guard<std::mutex> lk(out_mu_);
  if (taken) {
    retry_delay_ = kRetrySeconds;
  } else {
    PlanRetry(retry_delay_, false);
    retry_delay_ = std::min(retry_delay_ * 2, kMaxRetrySeconds);
  }
}

// Starts `device` with its renders going nowhere and waits until it has called back
// steadily for a moment. False, with the reason, when it does not start, says it
// failed, or stays silent; and at once when the engine is being freed.
bool OutputHolder::Audition(Output& device, int rate, std::string* why) {
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

// Under out_mu_. A device that cannot start is handed back in `dropped`, to be closed
// outside the lock.
bool OutputHolder::EnsureOutput(int rate, std::unique_ptr<Output>* dropped) {
  if (!output_) return false;
  // Open at the song's own rate when nothing else plays, so no resampling is needed.
  if (output_->Running() && (client_.AnyPlaying() || output_->Rate() == rate)) return true;
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

}  // namespace lirotag
