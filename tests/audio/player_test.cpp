#include "audio/player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_engine.h"

namespace lirotag {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct NoSongCase {
  const char* name;
  std::function<bool(Player&)> zero;  // true when the result is the no-song one
};

TEST(PlayerTest, EveryOperationWithoutSongCallsNothing) {
  float buf[256];
  const NoSongCase cases[] = {
      {"Play", [](Player& p) { return !p.Play(false); }},
      {"Pause", [](Player& p) { return !p.Pause(); }},
      {"Stop", [](Player& p) { return !p.Stop(); }},
      {"Free",
       [](Player& p) {
         p.Free();
         return true;
       }},
      {"Handle", [](Player& p) { return p.Handle() == 0; }},
      {"GetFft", [&](Player& p) { return p.GetFft(buf) == 0; }},
      {"LengthSeconds", [](Player& p) { return p.LengthSeconds() == 0.0; }},
      {"PositionSeconds", [](Player& p) { return p.PositionSeconds() == 0.0; }},
      {"SeekSeconds", [](Player& p) { return !p.SeekSeconds(3.0); }},
      {"GetVolume", [](Player& p) { return p.GetVolume() == 0.0f; }},
      {"SetVolume", [](Player& p) { return !p.SetVolume(0.5f); }},
      {"State", [](Player& p) { return p.State() == 0; }},
      {"SetSpeed", [](Player& p) { return !p.SetSpeed(1.5f); }},
      {"GetFrequency", [](Player& p) { return p.GetFrequency() == 0.0f; }},
      {"SetEqualizerBand", [](Player& p) { return !p.SetEqualizerBand(1, 100, 12, 3); }},
      {"GetEqualizerBand",
       [](Player& p) {
         return p.GetEqualizerBand(1) == std::array<float, 3>{0, 0, 0};
       }},
      {"SetEndSync", [](Player& p) { return !p.SetEndSync(nullptr); }},
      {"RemoveEndSync", [](Player& p) { return !p.RemoveEndSync(); }},
      {"GetInfo", [](Player& p) { return p.GetInfo().freq == 0 && p.GetInfo().chans == 0; }},
      {"GetSamples", [&](Player& p) { return p.GetSamples(buf, 16) == 0; }},
      {"SetReverb", [](Player& p) { return !p.SetReverb(0, 0, 1000, 0.001f); }},
      {"GetReverb",
       [](Player& p) {
         return p.GetReverb() == std::array<float, 4>{0, 0, 0, 0};
       }},
      {"AverageBitrate", [](Player& p) { return p.AverageBitrate() == 0.0; }},
      {"SetupEffects",
       [](Player& p) {
         p.SetupEffects();
         return true;
       }},
  };
  for (const auto& c : cases) {
    FakeEngine e;
    Player p(e);
    EXPECT_TRUE(c.zero(p)) << c.name;
    EXPECT_THAT(e.calls, IsEmpty()) << c.name;
  }
}

TEST(PlayerTest, RemoveEffectsRunsWithoutSong) {
  FakeEngine e;
  Player p(e);
  p.RemoveEffects();
  ASSERT_EQ(e.calls.size(), 11u);
  for (const auto& c : e.calls) EXPECT_EQ(c, "ChannelRemoveFX 0 0");
}

TEST(PlayerTest, LoadWithoutKeepingUnloadsFirstAndReadsFrequency) {
  FakeEngine e;
  e.openable = {"a.mp3"};
  Player p(e);
  ASSERT_TRUE(p.Load("a.mp3", false, false, false));
  EXPECT_EQ(p.Handle(), 100u);
  EXPECT_EQ(p.BaseFrequency(), 44100.0f);
  ASSERT_GE(e.calls.size(), 4u);
  std::vector<std::string> tail(e.calls.end() - 4, e.calls.end());
  EXPECT_THAT(tail, ElementsAre("StreamFree 0", "MusicFree 0", "StreamCreateFile a.mp3",
                                "ChannelGetAttribute 100 1"));
}

TEST(PlayerTest, AutoPlayPlaysWithoutRestart) {
  FakeEngine e;
  e.openable = {"a.mp3"};
  Player p(e);
  ASSERT_TRUE(p.Load("a.mp3", false, true, false));
  // The attribute read precedes the play.
  e.calls.clear();
  ASSERT_TRUE(p.Load("a.mp3", false, true, false));
  EXPECT_EQ(e.calls.back(), "ChannelPlay 101 0");
}

struct LoadCase {
  const char* name;
  bool keep;
  const char* second;
  bool ok;
  AudioHandle handle_after;
};

TEST(PlayerTest, LoadFailureAndKeepCurrent) {
  const LoadCase cases[] = {
      {"keep, fails: old song stays", true, "bad", false, 100},
      {"no keep, fails: nothing open", false, "bad", false, 0},
      {"keep, succeeds", true, "b.ogg", true, 101},
      {"keep, tracker through music loader", true, "m.xm", true, 101},
  };
  for (const auto& c : cases) {
    FakeEngine e;
    e.openable = {"a.mp3", "b.ogg"};
    e.music = {"m.xm"};
    Player p(e);
    ASSERT_TRUE(p.Load("a.mp3", true, false, false));
    e.calls.clear();
    EXPECT_EQ(p.Load(c.second, c.keep, false, false), c.ok) << c.name;
    EXPECT_EQ(p.Handle(), c.handle_after) << c.name;
    bool freed_old = std::count(e.calls.begin(), e.calls.end(), "StreamFree 100") > 0;
    EXPECT_EQ(freed_old, c.ok || !c.keep) << c.name;
  }
}

TEST(PlayerTest, EffectsAreSetUpSilentAndRemovedOnFree) {
  FakeEngine e;
  e.openable = {"a.mp3"};
  Player p(e);
  ASSERT_TRUE(p.Load("a.mp3"));
  for (int b = 1; b <= 10; ++b) EXPECT_NE(p.EqualizerFx(b), 0u);
  ASSERT_NE(p.ReverbFx(), 0u);
  EXPECT_EQ(p.GetReverb()[1], -96.0f);
  EXPECT_TRUE(p.SetEqualizerBand(3, 1000, 12, 6));
  EXPECT_EQ(p.GetEqualizerBand(3), (std::array<float, 3>{1000, 12, 6}));
  EXPECT_FALSE(p.SetEqualizerBand(11, 1000, 12, 6));
  p.Free();
  EXPECT_EQ(p.Handle(), 0u);
  EXPECT_EQ(p.ReverbFx(), 0u);
  for (int b = 1; b <= 10; ++b) EXPECT_EQ(p.EqualizerFx(b), 0u);
}

TEST(PlayerTest, SecondsGoThroughBytes) {
  FakeEngine e;
  e.openable = {"a.mp3"};
  Player p(e);
  ASSERT_TRUE(p.Load("a.mp3", true, false, false));
  EXPECT_DOUBLE_EQ(p.LengthSeconds(), 10.0);
  EXPECT_DOUBLE_EQ(p.PositionSeconds(), 1.0);
  e.calls.clear();
  EXPECT_TRUE(p.SeekSeconds(2.5));
  EXPECT_THAT(e.calls, ElementsAre("ChannelSeconds2Bytes 100", "ChannelSetPosition 100 882000"));
  EXPECT_EQ(p.State(), kActivePaused);
  EXPECT_TRUE(p.SetSpeed(2.0f));
  EXPECT_EQ(e.calls.back(), "ChannelSlideAttribute 100 1 88200.000000 0");
}

TEST(PlayerTest, AverageBitrateOfEmptySongDividesByHalf) {
  FakeEngine e;
  e.openable = {"a.mp3"};
  e.length_bytes = 0;
  Player p(e);
  ASSERT_TRUE(p.Load("a.mp3", true, false, false));
  EXPECT_DOUBLE_EQ(p.AverageBitrate(), 1000000 / 0.5);
  e.length_bytes = 352800 * 8;
  EXPECT_DOUBLE_EQ(p.AverageBitrate(), 1000000 / (8 * 125 + 0.5));
}

TEST(PlayerTest, EndSyncRetriesThenGivesUp) {
  FakeEngine e;
  e.openable = {"a.mp3"};
  Player p(e);
  ASSERT_TRUE(p.Load("a.mp3", true, false, false));
  e.sync_fails = 2;
  EXPECT_TRUE(p.SetEndSync([](AudioHandle, AudioHandle, uint32_t, void*) {}));
  EXPECT_NE(p.EndSync(), 0u);
  EXPECT_TRUE(p.RemoveEndSync());
  EXPECT_EQ(p.EndSync(), 0u);
  e.sync_fails = 5;
  EXPECT_FALSE(p.SetEndSync([](AudioHandle, AudioHandle, uint32_t, void*) {}, 5));
}

// --- SongFilter -------------------------------------------------------------------

const std::string kBasicTypes = "*.mp3;*.mp2;*.mp1;*.ogg;*.wav;*.aif";
// Built-in families as the engine reports them; two repeat basic patterns, which the
// list of all types holds once.
const std::vector<FormatFamily> kBuiltIn = {
    {"AIFF", "*.aiff;*.aif;*.aifc"}, {"Ogg", "*.oga;*.ogg"}, {"MOD音乐", "*.mod;*.xm"}};
const std::string kBuiltInEntries =
    "AIFF(*.aiff;*.aif;*.aifc)|*.aiff;*.aif;*.aifc|Ogg(*.oga;*.ogg)|*.oga;*.ogg|"
    "MOD音乐(*.mod;*.xm)|*.mod;*.xm|";
const std::string kBuiltInTypes = ";*.aiff;*.aifc;*.oga;*.mod;*.xm";

class SongFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("lirotag_plugins_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
  std::filesystem::path dir_;
};

TEST_F(SongFilterTest, FilterForZeroOneRefusedAndTwoFormatPlugins) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::string extra_types;
    std::string extra_entries;
  };
  const Case cases[] = {
      {"none", {}, "", ""},
      {"one", {"lirotag_n.so"}, ";*.nn", "N(*.nn)|*.nn|"},
      {"refused and foreign files", {"lirotag_bad.so", "other.so", "lirotag_n.txt"}, "", ""},
      {"two formats", {"lirotag_two.so"}, ";*.a;*.b", "A(*.a)|*.a|B(*.b)|*.b|"},
      {"patterns listed already", {"lirotag_dup.so"}, ";*.dup", "Dup(*.AIFF;*.dup)|*.AIFF;*.dup|"},
  };
  for (const auto& c : cases) {
    SetUp();
    FakeEngine e;
    e.plugins["lirotag_n.so"] = PluginInfo{1, {{0, "N", "*.nn"}}};
    e.plugins["lirotag_two.so"] = PluginInfo{1, {{0, "A", "*.a"}, {0, "B", "*.b"}}};
    e.plugins["lirotag_dup.so"] = PluginInfo{1, {{0, "Dup", "*.AIFF;*.dup"}}};
    for (const auto& f : c.files) Touch(f);
    std::string filter = LoadPlugins(e, dir_.string(), kBuiltIn);
    std::string types = kBasicTypes + kBuiltInTypes + c.extra_types;
    EXPECT_EQ(filter, "所有支持的类型|" + types + "|基本(" + kBasicTypes + ")|" + kBasicTypes +
                          "|" + kBuiltInEntries + c.extra_entries + "所有文件(*.*)|*.*")
        << c.name;
    TearDown();
  }
}

TEST_F(SongFilterTest, MissingFolderGivesBuiltInsOnly) {
  FakeEngine e;
  std::string filter = LoadPlugins(e, (dir_ / "nope").string());
  EXPECT_EQ(filter.rfind("所有支持的类型|" + kBasicTypes + ";*.", 0), 0u);
  EXPECT_NE(filter.find("|MOD音乐(*."), std::string::npos);
  EXPECT_TRUE(filter.ends_with("|所有文件(*.*)|*.*"));
  EXPECT_THAT(e.calls, IsEmpty());
}

}  // namespace
}  // namespace lirotag
