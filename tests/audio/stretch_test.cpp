// Slowed playback must keep the one promise of the editor: the position is the song
// time of the sample being heard. Clicks at known song times are rendered and played
// slowed, and each must sound where the song time says; the pitch must stay.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/output.h"
#include "audio/player.h"
#include "wait_for.h"
#include "wav_file.h"

namespace lirotag {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr double kSongSeconds = 12;
constexpr double kFirstClick = 0.2, kClickEvery = 0.4;
// A stretcher's window smears a click over some milliseconds; the delay it adds must
// be taken out exactly, so nothing beyond the smear is left.
constexpr double kClickTolerance = 0.012;

std::string Dir() {
  return (fs::temp_directory_path() / ("lirotag_stretch_" + std::to_string(getpid()))).string();
}
std::string P(const std::string& name) {
  return Dir() + "/" + name;
}

double ClickTime(int k) {
  return kFirstClick + k * kClickEvery;
}

// Stereo: a 2 ms full-scale burst of 3 kHz at each click time, silence between.
std::vector<float> ClickTrack() {
  std::vector<float> s(static_cast<size_t>(kSongSeconds * kRate) * 2, 0.0f);
  for (int k = 0; ClickTime(k) < kSongSeconds - 0.1; ++k) {
    const int64_t at = std::llround(ClickTime(k) * kRate);
    for (int i = 0; i < kRate / 500; ++i) {
      const float v = static_cast<float>(std::sin(2 * M_PI * 3000.0 * i / kRate));
      s[(at + i) * 2] = s[(at + i) * 2 + 1] = v;
    }
  }
  return s;
}

std::vector<float> Tone(double hz) {
  std::vector<float> s(static_cast<size_t>(kSongSeconds * kRate) * 2);
  for (size_t i = 0; i < s.size() / 2; ++i)
    s[i * 2] = s[i * 2 + 1] = static_cast<float>(0.5 * std::sin(2 * M_PI * hz * i / kRate));
  return s;
}

// The frame of the loudest sample of `x` (stereo) in [from, to).
int64_t Loudest(const std::vector<float>& x, int64_t from, int64_t to) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, static_cast<int64_t>(x.size() / 2));
  int64_t best = from;
  for (int64_t i = from; i < to; ++i)
    if (std::fabs(x[i * 2]) > std::fabs(x[best * 2])) best = i;
  return best;
}

// Frames from a click's start to its loudest sample.
int64_t ClickPeak() {
  static const int64_t peak = [] {
    const std::vector<float> s = ClickTrack();
    const int64_t at = std::llround(ClickTime(0) * kRate);
    return Loudest(s, at, at + kRate / 100) - at;
  }();
  return peak;
}

// Of a rendering from song time `from` at `speed`: the largest distance, in seconds of
// output, between a click and (t - from) / speed. Sets `found` to the clicks looked at.
double WorstClick(const std::vector<float>& out, double from, double speed, int* found) {
  const double end = from + static_cast<double>(out.size() / 2) * speed / kRate;
  double worst = 0;
  *found = 0;
  for (int k = 0; ClickTime(k) < end - 0.06; ++k) {
    if (ClickTime(k) < from + 0.02) continue;  // cut by the seek
    const double want = (ClickTime(k) - from) / speed * kRate + static_cast<double>(ClickPeak());
    const int64_t got =
        Loudest(out, std::llround(want - 0.08 * kRate), std::llround(want + 0.08 * kRate));
    // At 1 the very sample; slowed, the loudest of the smear may sit elsewhere.
    worst = std::max(worst, std::fabs(static_cast<double>(got) - std::round(want)) / kRate);
    ++*found;
  }
  return worst;
}

// The frequency of a steady tone in `x` (stereo), from its rising zero crossings.
double Frequency(const std::vector<float>& x) {
  double first = -1, last = -1;
  int n = 0;
  for (size_t i = 1; i < x.size() / 2; ++i) {
    const float a = x[(i - 1) * 2], b = x[i * 2];
    if (a < 0 && b >= 0) {
      const double t = (static_cast<double>(i) - 1 + a / (a - b)) / kRate;
      if (first < 0) first = t;
      last = t;
      ++n;
    }
  }
  return n > 1 ? (n - 1) / (last - first) : 0;
}

double Rms(const std::vector<float>& x) {
  double sum = 0;
  for (float v : x) sum += static_cast<double>(v) * v;
  return std::sqrt(sum / std::max<size_t>(x.size(), 1));
}

class StretchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(Dir());
    ok_ = testing::WriteWavFrames(P("clicks.wav"), kRate, 2, ClickTrack()) &&
          testing::WriteWavFrames(P("tone.wav"), kRate, 2, Tone(440));
  }
  static void TearDownTestSuite() { fs::remove_all(Dir()); }

  void SetUp() override {
    ASSERT_TRUE(ok_);
    engine_ = CreateAudioEngine();
    engine_->Init(kNoSoundDevice, kRate, 0, nullptr, nullptr);
  }
  void TearDown() override { engine_->Free(); }

  // `seconds` of song time from `from`, as the output would play them at the player's
  // speed.
  std::vector<float> Render(Player& p, double from, double seconds) {
    EXPECT_TRUE(p.SeekSeconds(from));
    EXPECT_NEAR(p.PositionSeconds(), from, 1.0 / kRate);
    const int64_t want = std::llround(seconds * kRate / p.PlaybackSpeed());
    std::vector<float> out(static_cast<size_t>(want) * 2);
    int64_t got = 0;
    while (got < want) {
      int64_t n = engine_->ChannelRead(p.Handle(), out.data() + got * 2, want - got);
      if (n <= 0) break;
      got += n;
    }
    EXPECT_EQ(got, want);
    // The position is the song time of the next frame: exactly what was asked for.
    EXPECT_NEAR(p.PositionSeconds(), from + seconds, 0.001);
    out.resize(static_cast<size_t>(got) * 2);
    return out;
  }

  static inline bool ok_ = false;
  std::unique_ptr<AudioEngine> engine_;
};

struct ClickCase {
  double speed;
  double from;
  double before;  // a song time rendered first and sought away from; < 0: none
  double seconds;
};

TEST_F(StretchTest, ClicksStayAtTheirSongTimes) {
  const ClickCase cases[] = {
      {0.5, 1.05, -1, 4.0},   {0.75, 0.33, -1, 4.0}, {0.5, 2.51, 7.3, 3.0},
      {0.85, 9.77, 4.0, 2.0}, {1.0, 1.05, -1, 2.0},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "speed " << c.speed << " from " << c.from);
    Player player(*engine_);
    ASSERT_TRUE(player.Load(P("clicks.wav"), false, false, false));
    ASSERT_TRUE(player.SetPlaybackSpeed(c.speed));
    if (c.before >= 0) Render(player, c.before, 0.5);
    int found = 0;
    const double worst = WorstClick(Render(player, c.from, c.seconds), c.from, c.speed, &found);
    std::printf("speed %.2f from %.2f: %d clicks, worst %.2f ms off\n", c.speed, c.from, found,
                worst * 1000);
    EXPECT_GE(found, static_cast<int>(c.seconds / kClickEvery) - 1);
    EXPECT_LE(worst, c.speed == 1.0 ? 0.0 : kClickTolerance);
    player.Destroy();
  }
}

TEST_F(StretchTest, PitchAndLoudnessAreKept) {
  Player player(*engine_);
  // Chosen before a song is open: the song loaded next plays at it.
  ASSERT_TRUE(player.SetPlaybackSpeed(0.5));
  ASSERT_TRUE(player.Load(P("tone.wav"), false, false, false));
  EXPECT_DOUBLE_EQ(engine_->ChannelGetSpeed(player.Handle()), 0.5);
  for (double speed : {0.5, 0.75}) {
    SCOPED_TRACE(speed);
    ASSERT_TRUE(player.SetPlaybackSpeed(speed));
    EXPECT_DOUBLE_EQ(player.PlaybackSpeed(), speed);
    std::vector<float> out = Render(player, 2.0, 2.0);
    out.erase(out.begin(), out.begin() + kRate / 5 * 2);  // the seek's onset
    EXPECT_NEAR(Frequency(out), 440.0, 4.4);
    EXPECT_NEAR(20 * std::log10(Rms(out) / (0.5 / std::sqrt(2.0))), 0.0, 2.0);
  }
  // Back to 1: the samples pass untouched.
  ASSERT_TRUE(player.SetPlaybackSpeed(1.0));
  std::vector<float> out = Render(player, 1.0, 0.1);
  const std::vector<float> tone = Tone(440);
  for (size_t i = 0; i < out.size(); ++i)
    ASSERT_NEAR(out[i], tone[kRate * 2 + i], 1.0 / 32767) << i;
  // Out of range: refused, the speed stays.
  EXPECT_FALSE(player.SetPlaybackSpeed(0.1));
  EXPECT_FALSE(player.SetPlaybackSpeed(NAN));
  EXPECT_DOUBLE_EQ(player.PlaybackSpeed(), 1.0);
}

// A slowed song reaching its end ends as at 1: a render stops at the last frame (the
// stretched length exactly) and a playing channel stops, with the position at the end.
TEST_F(StretchTest, ASlowedSongEndsAtEverySpeed) {
  std::vector<float> song = ClickTrack();
  song.resize(static_cast<size_t>(kRate) * 2);  // one second
  ASSERT_TRUE(testing::WriteWavFrames(P("short.wav"), kRate, 2, song));
  for (double speed : {0.5, 0.75, 0.3, 0.9, 1.5}) {
    SCOPED_TRACE(speed);
    Player player(*engine_);
    ASSERT_TRUE(player.SetPlaybackSpeed(speed));
    ASSERT_TRUE(player.Load(P("short.wav"), false, false, false));
    ASSERT_TRUE(player.SeekSeconds(0.2));
    // Asks for more than is left: gets what is left, then nothing, every time.
    const int64_t left = std::llround(0.8 * kRate / speed);
    std::vector<float> out(static_cast<size_t>(left + kRate) * 2);
    int64_t got = 0;
    for (int64_t n;
         (n = engine_->ChannelRead(player.Handle(), out.data() + got * 2, left + kRate - got)) > 0;)
      got += n;
    EXPECT_NEAR(static_cast<double>(got), static_cast<double>(left), 1.0);
    EXPECT_EQ(engine_->ChannelRead(player.Handle(), out.data(), 1024), 0);
    EXPECT_NEAR(player.PositionSeconds(), 1.0, 1.0 / kRate);
    // Played from near the end on the silent output: it stops on its own.
    ASSERT_TRUE(player.SeekSeconds(0.85));
    ASSERT_TRUE(player.Play(false));
    EXPECT_TRUE(testing::WaitFor(
        [&] { return engine_->ChannelIsActive(player.Handle()) == kActiveStopped; },
        0.15 / speed + 2.0));
    EXPECT_NEAR(player.PositionSeconds(), 1.0, 1.0 / kRate);
    player.Destroy();
  }
}

// A device that records what reaches its DAC and when, on the silent output's clock,
// each block sounding 150 ms after it is rendered.
class CaptureDevice : public Output {
 public:
  static constexpr double kLatency = 0.15;
  struct Block {
    double dac;
    std::vector<float> frames;
  };
  explicit CaptureDevice(std::vector<Block>* blocks, std::mutex* mu) : blocks_(blocks), mu_(mu) {}
  bool Start(int rate, Render render) override {
    return clock_->Start(rate, [this, render](float* out, int n, double dac) {
      render(out, n, dac + kLatency);
      std::lock_guard<std::mutex> lk(*mu_);
      blocks_->push_back(Block{dac + kLatency, std::vector<float>(out, out + 2 * n)});
    });
  }
  void Stop() override { clock_->Stop(); }
  bool Running() const override { return clock_->Running(); }
  int Rate() const override { return clock_->Rate(); }
  std::string Name() const override { return "capture"; }

 private:
  std::vector<Block>* blocks_;
  std::mutex* mu_;
  std::unique_ptr<Output> clock_ = CreateSilentOutput();
};

TEST_F(StretchTest, ThePositionIsTheSongTimeOfTheSampleHeard) {
  std::vector<CaptureDevice::Block> blocks;
  std::mutex mu;
  auto engine = CreateAudioEngine([&](std::string*) -> std::unique_ptr<Output> {
    return std::make_unique<CaptureDevice>(&blocks, &mu);
  });
  engine->Init(kDefaultDevice, kRate, 0, nullptr, nullptr);
  ASSERT_TRUE(testing::WaitFor([&] { return engine->OutputName() == "capture"; }, 5));
  Player player(*engine);
  ASSERT_TRUE(player.Load(P("clicks.wav"), false, false, false));
  constexpr double kSpeed = 0.5;
  ASSERT_TRUE(player.SetPlaybackSpeed(kSpeed));
  ASSERT_TRUE(player.SeekSeconds(3.13));
  ASSERT_TRUE(player.Play(false));
  // The position as the window's timer reads it; a reading the scheduler interrupted
  // cannot be placed in time and is left out.
  std::vector<std::pair<double, double>> reads;  // clock, position
  const double until = OutputClock() + 3.2;
  bool sought = false;
  while (OutputClock() < until) {
    const double t0 = OutputClock();
    const double pos = player.PositionSeconds();
    const double t1 = OutputClock();
    if (t1 - t0 < 0.001) reads.emplace_back((t0 + t1) / 2, pos);
    if (!sought && t1 > until - 1.6) {  // a seek while playing slowed
      ASSERT_TRUE(player.SeekSeconds(6.93));
      sought = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
  }
  player.Destroy();
  engine->Free();
  ASSERT_GT(reads.size(), 50u);
  // Where a click must sound: when the position reads its song time.
  int checked = 0;
  for (int k = 0; ClickTime(k) < kSongSeconds; ++k) {
    const double t = ClickTime(k);
    auto after = std::find_if(reads.begin(), reads.end(), [&](auto& r) { return r.second >= t; });
    if (after == reads.begin() || after == reads.end()) continue;
    auto before = std::prev(after);
    // Across the seek the position jumps: no click is looked for there.
    if (after->first - before->first > 0.05 || after->second - before->second > 0.05) continue;
    const double due =
        before->first +
        (t - before->second) / (after->second - before->second) * (after->first - before->first) +
        static_cast<double>(ClickPeak()) / kRate / kSpeed;
    // The loudest sample heard within 80 ms of then.
    double loudest = 0, when = 0;
    for (const auto& b : blocks) {
      for (size_t i = 0; i < b.frames.size() / 2; ++i) {
        const double at = b.dac + static_cast<double>(i) / kRate;
        if (std::fabs(at - due) < 0.08 && std::fabs(b.frames[i * 2]) > loudest) {
          loudest = std::fabs(b.frames[i * 2]);
          when = at;
        }
      }
    }
    SCOPED_TRACE(t);
    EXPECT_GT(loudest, 0.3);
    std::printf("click at %.2f s heard %.2f ms from the position's time\n", t, (when - due) * 1000);
    EXPECT_NEAR(when, due, kClickTolerance);
    ++checked;
  }
  EXPECT_GE(checked, 4);
}

}  // namespace
}  // namespace lirotag
