// The PortAudio output, on a machine without a sound card: this process points ALSA at
// its "null" PCM, a device that opens and calls back but takes frames far faster than
// any DAC plays them. The engine must notice, go on from the sample last heard on the
// silent output, and keep the position honest throughout. Its own program, so the ALSA
// setting reaches no other test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "wait_for.h"

namespace lirotag {
namespace {

using testing::WaitFor;

namespace fs = std::filesystem;

fs::path Dir() {
  static fs::path dir = fs::temp_directory_path() / ("lirotag_pa_" + std::to_string(getpid()));
  return dir;
}

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class PortAudioTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(Dir());
    // The standard configuration first, so every name PortAudio probes still resolves;
    // then the default PCM replaced.
    std::ofstream(Dir() / "asound.conf") << "<confdir:alsa.conf>\n"
                                            "pcm.!default { type null }\n";
    setenv("ALSA_CONFIG_PATH", (Dir() / "asound.conf").c_str(), 1);
    song_ = (Dir() / "song.wav").string();
    ok_ = std::system(
              ("sox -n -r 44100 -c 2 '" + song_ + "' synth 8 sine 440 gain -6 >/dev/null 2>&1")
                  .c_str()) == 0;
  }
  static void TearDownTestSuite() { fs::remove_all(Dir()); }

  void SetUp() override {
    ASSERT_TRUE(ok_) << "sox could not make the fixture";
    engine_ = CreateAudioEngine();
    ASSERT_TRUE(engine_->Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    WaitFor([&] { return IsDevice(engine_->OutputName()); }, 5);  // opened in the background
    device_ = engine_->OutputName();
    if (!IsDevice(device_)) {
      engine_->Free();
      GTEST_SKIP() << "PortAudio opened no device under ALSA's null PCM (output: " << device_
                   << ")";
    }
  }
  void TearDown() override {
    if (engine_) engine_->Free();
  }

  static bool IsDevice(const std::string& output) { return output.rfind("PortAudio: ", 0) == 0; }

  static inline bool ok_ = false;
  static inline std::string song_;
  std::unique_ptr<AudioEngine> engine_;
  std::string device_;
};

TEST_F(PortAudioTest, DeviceThatDoesNotPlayInRealTimeHandsOverToTheSilentOutput) {
  Player p(*engine_);
  ASSERT_TRUE(p.Load(song_, true, false, false));
  double start = Seconds();
  ASSERT_TRUE(p.Play(false));
  // The stream started (a stream that cannot start is replaced inside Play, with
  // another reason), ran, and was found not to play.
  ASSERT_TRUE(WaitFor([&] { return engine_->OutputName() != device_; }, 3));
  EXPECT_EQ(engine_->OutputName(), "silent (" + device_ + " failed)");

  // Never backwards, never ahead of the wall clock, though the device took seconds of
  // frames in a blink; and it goes on advancing.
  double last = 0;
  while (Seconds() - start < 0.5) {
    double pos = p.PositionSeconds();
    double wall = Seconds() - start;
    ASSERT_GE(pos, last);
    ASSERT_LE(pos, wall * 1.001);
    last = pos;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  EXPECT_GT(last, 0.2);
  EXPECT_EQ(p.State(), kActivePlaying);

  ASSERT_TRUE(p.Pause());
  double frozen = p.PositionSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(p.PositionSeconds(), frozen);
  EXPECT_EQ(p.State(), kActivePaused);

  ASSERT_TRUE(p.SeekSeconds(5.4321));
  EXPECT_NEAR(p.PositionSeconds(), 5.4321, 0.5 / 44100);
  ASSERT_TRUE(p.Play(false));
  ASSERT_TRUE(WaitFor([&] { return p.PositionSeconds() > 5.5; }, 3));
  p.Free();
  EXPECT_TRUE(engine_->Free());
  engine_.reset();
}

// Free while the device is mid-stream, and again after the hand-over: PortAudio is
// closed and terminated each time, so a new engine finds the device again.
TEST_F(PortAudioTest, FreeClosesTheStreamAndTheDeviceOpensAgain) {
  for (double wait : {0.0, 0.3}) {
    SCOPED_TRACE(wait);
    Player p(*engine_);
    ASSERT_TRUE(p.Load(song_, true, false, false));
    ASSERT_TRUE(p.Play(false));
    std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    EXPECT_TRUE(engine_->Free());
    EXPECT_EQ(engine_->OutputName(), "");
    ASSERT_TRUE(engine_->Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(WaitFor([&] { return engine_->OutputName() == device_; }, 5))
        << engine_->OutputName();
  }
}

}  // namespace
}  // namespace lirotag
