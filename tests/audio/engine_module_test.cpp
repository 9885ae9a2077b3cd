// The engine's library is loaded only when a song is played, probed or drawn, the online
// service's and the lyric writer's only when they are used: this program links the
// Player side alone, and the command line and the window are run as a user runs them.
#include "audio/engine_module.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
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

bool MapsAny(const std::string& text, std::initializer_list<const char*> libs) {
  for (const char* lib : libs) {
    if (text.find(lib) != std::string::npos) return true;
  }
  return false;
}

bool MapsAudioStack(const std::string& text) {
  return MapsAny(text, {"libavformat", "libavcodec", "libopenmpt", "libportaudio", "librubberband",
                        "liblirotag_engine"});
}
bool MapsOnlineService(const std::string& text) {
  return MapsAny(text, {"libQt6Network", "liblirotag_online"});
}
bool MapsLyricWriter(const std::string& text) {
  return MapsAny(text, {"libtag.so", "liblirotag_tag_writer"});
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
// The program's standard error under LD_DEBUG=files: every library the loader mapped.
std::string LoaderLog(const std::string& command) {
  const std::string cmd =
      "LD_DEBUG=files QT_QPA_PLATFORM=offscreen " + command + " 2>&1 >/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

TEST_F(EngineModuleTest, EachModuleIsLoadedOnlyByWhatUsesIt) {
  const std::string lrc = (dir_ / "a.lrc").string();
  std::ofstream(lrc) << "[00:02.00]b\n[00:01.00]a\n";
  const std::string cli = std::string(LIROTAG_CLI) + " ";
  struct Case {
    std::string command;
    bool engine, online, writer;
  };
  const Case cases[] = {
      {cli + "tags " + song_, false, false, false},
      {cli + "lrc sort " + lrc, false, false, false},
      {cli + "lrc detect " + lrc, false, false, false},
      {cli + "--help", false, false, false},
      // The window as it starts, before anything is opened.
      {std::string(LIROTAG_EDITOR) + " --help", false, false, false},
      {cli + "probe " + song_, true, false, false},
      {cli + "peaks --columns 4 " + song_, true, false, false},
      // Nothing listens on port 9: the service is loaded, the search fails at once.
      {cli + "lrclib search --server http://127.0.0.1:9 words", false, true, false},
      {cli + "lyrics embed " + song_ + " " + lrc, false, false, true},
  };
  for (const Case& c : cases) {
    const std::string log = LoaderLog(c.command);
    ASSERT_NE(log.find("file="), std::string::npos) << c.command << ": no loader log";
    EXPECT_EQ(MapsAudioStack(log), c.engine) << c.command;
    EXPECT_EQ(MapsOnlineService(log), c.online) << c.command;
    EXPECT_EQ(MapsLyricWriter(log), c.writer) << c.command;
  }
}
#endif

}  // namespace
}  // namespace lirotag
