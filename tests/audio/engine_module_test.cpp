// The engine's library is loaded only when a song is played, probed or drawn: this
// program links the Player side alone, and the command line is run as a script runs it.
#include "audio/engine_module.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "audio/player.h"
#include "wav_file.h"

namespace lirotag {
namespace {

namespace fs = std::filesystem;

// What the dynamic loader has mapped into this process.
std::string Mapped() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream s;
  s << maps.rdbuf();
  return s.str();
}

bool MapsAudioStack(const std::string& text) {
  for (const char* lib : {"libavformat", "libavcodec", "libopenmpt", "libportaudio",
                          "librubberband", "liblirotag_engine"}) {
    if (text.find(lib) != std::string::npos) return true;
  }
  return false;
}

class EngineModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lirotag_module_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    song_ = (dir_ / "tone.wav").string();
    ASSERT_TRUE(testing::WriteWav(song_, 8000, 8000));
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string song_;
};

// Runs in order within the program: nothing has loaded the engine before the first.
TEST_F(EngineModuleTest, LoadedOnlyWhenTheEngineIsFirstUsed) {
  ASSERT_FALSE(MapsAudioStack(Mapped())) << "the audio stack is linked in";
  DeferredAudioEngine engine;
  // Set up before it is there, as the window does: remembered, nothing loaded.
  EXPECT_TRUE(engine.Init(kNoSoundDevice, 44100, 0, nullptr, nullptr));
  EXPECT_FALSE(engine.Ready());
  EXPECT_EQ(engine.OutputName(), "");
  EXPECT_FALSE(MapsAudioStack(Mapped()));

  // The first song opened waits for the engine, which was set up as asked.
  Player player(engine);
  ASSERT_TRUE(player.Load(song_, true, false, false));
  EXPECT_TRUE(engine.Ready());
  EXPECT_TRUE(MapsAudioStack(Mapped()));
  EXPECT_EQ(engine.OutputName(), "silent");
  EXPECT_DOUBLE_EQ(player.LengthSeconds(), 1.0);
  EXPECT_EQ(engine.ChannelGetDecoder(player.Handle()), "ffmpeg:pcm_s16le/wav");
  // The engine's reason for a failed open reaches the window through the stand-in.
  EXPECT_FALSE(player.Load((dir_ / "none.wav").string(), true, false, false));
  EXPECT_EQ(player.LastOpenError(), OpenError::kNotFound);
  player.Destroy();
  EXPECT_TRUE(engine.Free());

  // Loaded once: the same table every time, and the song dialog's formats from it.
  std::string why;
  const EngineModule* m = LoadEngineModule(&why);
  ASSERT_NE(m, nullptr) << why;
  EXPECT_EQ(LoadEngineModule(), m);
  EXPECT_FALSE(m->built_in_formats().empty());
  EXPECT_NE(m->open_song(song_, 48000), nullptr);
  EXPECT_EQ(m->open_song((dir_ / "none.wav").string(), 48000), nullptr);
}

TEST_F(EngineModuleTest, AnEngineNeverUsedIsNeverLoaded) {
  DeferredAudioEngine engine;
  EXPECT_TRUE(engine.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
  EXPECT_TRUE(engine.Free());
  EXPECT_FALSE(engine.Ready());
}

#ifdef LIROTAG_CLI
// The command's standard error under LD_DEBUG=files: every library the loader mapped.
std::string LoaderLog(const std::string& args) {
  const std::string cmd =
      std::string("LD_DEBUG=files ") + LIROTAG_CLI + " " + args + " 2>&1 >/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

TEST_F(EngineModuleTest, TheCommandLineLoadsTheEngineOnlyForSongs) {
  const std::string lrc = (dir_ / "a.lrc").string();
  std::ofstream(lrc) << "[00:02.00]b\n[00:01.00]a\n";
  struct Case {
    std::string args;
    bool engine;
  };
  const Case cases[] = {
      {"tags " + song_, false}, {"lrc sort " + lrc, false}, {"lrc detect " + lrc, false},
      {"--help", false},        {"probe " + song_, true},   {"peaks --columns 4 " + song_, true},
  };
  for (const Case& c : cases) {
    const std::string log = LoaderLog(c.args);
    ASSERT_NE(log.find("file="), std::string::npos) << c.args << ": no loader log";
    EXPECT_EQ(MapsAudioStack(log), c.engine) << c.args;
  }
}
#endif

}  // namespace
}  // namespace lirotag
