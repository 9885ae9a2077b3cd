// The engine's hold on its sound device, with a fake device in place of PortAudio: one
// that plays in real time on its own thread, then stops calling back, breaks or refuses
// to start, then works again. Through every change of output the song's position must
// go on without a jump, never backwards, never ahead of the wall clock; the device must
// be taken back once it plays; and opening it must never happen on the caller's thread.

#include "audio/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <sstream>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "wait_for.h"
#include "wav_file.h"

// Allocations made on a device's callback, counted by the replaced operator new below.
thread_local bool t_in_render = false;
std::atomic<int> g_render_allocations{0};

// GCC pairs the malloc below with the deletes that free it and warns of a mismatch
// that is not one: they are this replacement's own pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (t_in_render) ++g_render_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop

namespace lirotag {
namespace {

using testing::WaitFor;

namespace fs = std::filesystem;

constexpr int kRate = 44100;

// The state of the sound card behind every fake device the factory opens: it outlives
// the streams, as a real card does.
struct Card {
  std::atomic<bool> starts{true};      // Start succeeds
  std::atomic<bool> calls_back{true};  // a started device calls render
  std::atomic<bool> broken{false};     // Failed() says the stream is gone
  std::atomic<int64_t> heard{0};       // frames that reached a device with sound in them
  std::atomic<int> opened{0};
  std::thread::id caller;  // the test's own thread, which stands for the GUI thread
  std::atomic<int> opened_on_caller{0};
  std::atomic<int> started_on_caller{0};

  std::atomic<bool> gate_open{true};  // while closed, opening a device waits: a slow probe
};

// A device on the card: the silent output's real-time clock, with each block sounding
// 150 ms after it is rendered, so that a position taken from what was handed to the
// device rather than what reached the DAC would be off by that much.
class FakeDevice : public Output {
 public:
  static constexpr double kLatency = 0.15;

  explicit FakeDevice(Card& card) : card_(card) {}
  bool Start(int rate, Render render) override {
    if (std::this_thread::get_id() == card_.caller) card_.started_on_caller++;
    if (!card_.starts) return false;
    return clock_->Start(rate, [this, render](float* out, int n, double dac) {
      if (!card_.calls_back) return;
      t_in_render = true;
      render(out, n, dac + kLatency);
      t_in_render = false;
      if (std::any_of(out, out + 2 * n, [](float v) { return std::fabs(v) > 1e-4f; }))
        card_.heard += n;
    });
  }
  void Stop() override { clock_->Stop(); }
  bool Running() const override { return clock_->Running(); }
  int Rate() const override { return clock_->Rate(); }
  bool Failed() const override { return Running() && card_.broken; }
  std::string Name() const override { return "fake"; }

 private:
  Card& card_;
  std::unique_ptr<Output> clock_ = CreateSilentOutput();
};

OutputFactory FakeDevices(Card& card) {
  return [&card](std::string*) -> std::unique_ptr<Output> {
    if (std::this_thread::get_id() == card.caller) {
      card.opened_on_caller++;
    } else {
      WaitFor([&] { return card.gate_open.load(); }, 10);
    }
    card.opened++;
    return std::make_unique<FakeDevice>(card);
  };
}

// Samples a playing channel's position on a thread of its own, as the window's timer
// does, and notes the first sample that goes backwards, runs ahead of the wall clock
// since `since`, or jumps further than the time that passed.
class PositionWatch {
 public:
  PositionWatch(AudioEngine& engine, AudioHandle channel, double since, double from)
      : thread_([=, this, &engine] { Run(engine, channel, since, from); }) {}
  ~PositionWatch() { Stop(); }
  // The first fault seen; empty when there was none.
  std::string Stop() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
    return fault_;
  }
  double Last() const { return last_.load(); }

 private:
  void Run(AudioEngine& engine, AudioHandle channel, double since, double from) {
    // Scheduling jitter lets a position catch up by a few milliseconds; a position
    // taken at the wrong end of the device's buffer would jump by its latency.
    constexpr double kJitter = 0.05;
    double prev = from, prev_t = since;
    while (!quit_ && fault_.empty()) {
      double before = OutputClock();
      double pos =
          engine.ChannelBytes2Seconds(channel, engine.ChannelGetPosition(channel, kPosByte));
      double after = OutputClock();
      std::ostringstream at;
      at << pos << " after " << prev << " at " << after - since << " s";
      if (pos < prev) fault_ = "back: " + at.str();
      if (pos - from > (after - since) * 1.001 + 1e-6)
        fault_ = "ahead of the wall clock: " + at.str();
      if (pos - prev > (after - prev_t) * 1.001 + kJitter) fault_ = "jump: " + at.str();
      prev = std::max(prev, pos);
      prev_t = before;
      last_ = pos;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  std::atomic<bool> quit_{false};
  std::atomic<double> last_{0};
  std::string fault_;
  std::thread thread_;
};

class OutputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("lirotag_out_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    song_ = (dir_ / "song.wav").string();
    ok_ = testing::WriteWav(song_, kRate, 60 * kRate);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  void SetUp() override {
    ASSERT_TRUE(ok_);
    card_.caller = std::this_thread::get_id();
    engine_ = CreateAudioEngine(FakeDevices(card_));
  }
  void TearDown() override {
    card_.gate_open = true;
    if (engine_) engine_->Free();
    EXPECT_EQ(card_.opened_on_caller, 0);  // a device is never opened on the caller's thread
  }

  std::string Name() { return engine_->OutputName(); }
  bool OnDevice() {
    return WaitFor([&] { return Name() == "fake"; }, 6);
  }
  bool OnSilent() {
    return WaitFor([&] { return Name().rfind("silent", 0) == 0; }, 3);
  }
  // Whether sound reaches the device: more frames of the song arrive within a while.
  bool DeviceHears() {
    int64_t before = card_.heard;
    return WaitFor([&] { return card_.heard >= before + kRate / 10; }, 3);
  }
  AudioHandle Play() {
    AudioHandle ch = engine_->StreamCreateFile(song_, 0, 0, 0);
    EXPECT_TRUE(engine_->ChannelPlay(ch, false));
    return ch;
  }
  static bool Advances(const PositionWatch& watch) {
    double before = watch.Last();
    return WaitFor([&] { return watch.Last() > before + 0.3; }, 3);
  }

  static inline fs::path dir_;
  static inline std::string song_;
  static inline bool ok_ = false;
  Card card_;
  std::unique_ptr<AudioEngine> engine_;
};

// The device is opened off the caller's thread: the window shows while it is probed,
// a song played meanwhile goes on in the silent output's time, and moves to the device
// once it is there. Without a device asked for, nothing is opened at all.
TEST_F(OutputTest, StartsOnTheSilentOutputAndTakesTheDeviceOnceOpened) {
  ASSERT_TRUE(engine_->Init(kNoSoundDevice, kRate, 0, nullptr, nullptr));
  AudioHandle quiet = Play();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(
      engine_->ChannelSetPosition(quiet, engine_->ChannelSeconds2Bytes(quiet, 1.0), kPosByte));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Name(), "silent");
  ASSERT_TRUE(engine_->Free());
  EXPECT_EQ(card_.opened, 0);

  card_.gate_open = false;
  ASSERT_TRUE(engine_->Init(kDefaultDevice, kRate, 0, nullptr, nullptr));
  PositionWatch watch(*engine_, Play(), OutputClock(), 0);
  EXPECT_TRUE(Advances(watch)) << "stuck while probing";
  EXPECT_TRUE(OnSilent()) << Name();
  card_.gate_open = true;
  EXPECT_TRUE(OnDevice()) << Name();
  EXPECT_TRUE(DeviceHears());
  EXPECT_TRUE(Advances(watch)) << "stuck on the device";
  EXPECT_EQ(watch.Stop(), "");
}

// A device that stops calling back, and one that says its stream is gone: the song
// goes on on the silent output, and back on the device once it plays again, tried
// every few seconds while the song plays and at once on the next play.
TEST_F(OutputTest, DeviceThatFailsMidSongIsLeftAndTakenBackWhenItPlaysAgain) {
  ASSERT_TRUE(engine_->Init(kDefaultDevice, kRate, 0, nullptr, nullptr));
  ASSERT_TRUE(OnDevice()) << Name();
  AudioHandle ch = Play();
  PositionWatch watch(*engine_, ch, OutputClock(), 0);
  ASSERT_TRUE(DeviceHears());

  card_.calls_back = false;  // stops calling back
  ASSERT_TRUE(OnSilent()) << Name();
  EXPECT_TRUE(Advances(watch)) << "stuck on silent";
  card_.calls_back = true;
  EXPECT_TRUE(OnDevice()) << Name();
  EXPECT_TRUE(DeviceHears());

  card_.broken = true;  // says its stream is gone
  ASSERT_TRUE(OnSilent()) << Name();
  card_.broken = false;
  ASSERT_TRUE(engine_->ChannelPause(ch));
  ASSERT_TRUE(engine_->ChannelPlay(ch, false));
  EXPECT_TRUE(OnDevice()) << Name();
  EXPECT_TRUE(DeviceHears());
  EXPECT_TRUE(Advances(watch)) << "stuck on the device";
  EXPECT_EQ(watch.Stop(), "");
}

// A device that cannot start when play is pressed: the song plays on the silent
// output at once, and the device is tried again (here on a seek) off the caller's
// thread, and taken when it starts.
TEST_F(OutputTest, DeviceThatCannotStartAtPlayIsTriedAgain) {
  ASSERT_TRUE(engine_->Init(kDefaultDevice, kRate, 0, nullptr, nullptr));
  ASSERT_TRUE(OnDevice()) << Name();
  card_.starts = false;
  AudioHandle ch = Play();
  EXPECT_EQ(Name().rfind("silent", 0), 0u) << Name();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  card_.starts = true;
  double t1 = OutputClock();
  ASSERT_TRUE(engine_->ChannelSetPosition(ch, engine_->ChannelSeconds2Bytes(ch, 10.0), kPosByte));
  PositionWatch watch(*engine_, ch, t1, 10.0);
  EXPECT_TRUE(OnDevice()) << Name();
  EXPECT_TRUE(DeviceHears());
  EXPECT_TRUE(Advances(watch)) << "stuck on the device";
  EXPECT_EQ(watch.Stop(), "");
  EXPECT_EQ(card_.started_on_caller, 1);  // the play itself; every retry ran elsewhere
}

// The callback allocates nothing, whatever the song does: played with the effects in
// place, slowed, sought while playing and played to its end.
TEST_F(OutputTest, TheCallbackAllocatesNothing) {
  ASSERT_TRUE(engine_->Init(kDefaultDevice, kRate, 0, nullptr, nullptr));
  ASSERT_TRUE(OnDevice()) << Name();
  Player player(*engine_);
  ASSERT_TRUE(player.Load(song_, false, false, true));
  ASSERT_TRUE(player.SetReverb(0, -6, 1000, 0.001f));
  ASSERT_TRUE(player.SetEqualizerBand(3, 1000, 12, 6));
  ASSERT_TRUE(player.Play(false));
  ASSERT_TRUE(DeviceHears());
  for (double speed : {0.5, 0.75, 1.0}) {
    ASSERT_TRUE(player.SetPlaybackSpeed(speed));
    ASSERT_TRUE(DeviceHears());
    ASSERT_TRUE(player.SeekSeconds(20 + 10 * speed));
    ASSERT_TRUE(DeviceHears());
  }
  ASSERT_TRUE(player.SetPlaybackSpeed(0.5));
  ASSERT_TRUE(player.SeekSeconds(59.8));
  EXPECT_TRUE(WaitFor([&] { return player.State() == kActiveStopped; }, 3));
  player.Destroy();
  EXPECT_EQ(g_render_allocations.load(), 0);
}

}  // namespace
}  // namespace lirotag
