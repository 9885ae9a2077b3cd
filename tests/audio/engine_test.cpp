// The real engine on fixtures generated here with sox, lame and ffmpeg: every render
// after a seek is compared with FFmpeg's own decode of the whole file from the start.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "audio/audio_engine.h"
#include "audio/confirm_sound.h"
#include "audio/peaks.h"
#include "audio/player.h"
#include "audio_fixtures.h"
#include "wait_for.h"
#include "wav_file.h"

namespace lirotag {
namespace {

using testing::WaitFor;

namespace fs = std::filesystem;
using testing::MakeMod;
using testing::Reference;
using testing::Shell;

fs::path Dir() {
  static fs::path dir = fs::temp_directory_path() / ("lirotag_audio_" + std::to_string(getpid()));
  return dir;
}

std::string P(const std::string& name) {
  return (Dir() / name).string();
}

// Where a seek to `t` must land: the first frame at or after it.
int64_t FrameAt(double t, int rate) {
  return static_cast<int64_t>(std::ceil(t * rate - 1e-7));
}

// `cmd` with every SRC and OUT replaced by quoted paths of the test folder.
std::string Fill(std::string cmd, const std::string& src, const std::string& out) {
  for (auto [key, name] : {std::pair{"SRC", src}, std::pair{"OUT", out}})
    for (size_t at; (at = cmd.find(key)) != std::string::npos;)
      cmd.replace(at, 3, "'" + P(name) + "'");
  return cmd;
}

double RmsDb(const std::vector<float>& x, int chans, int c) {
  double sum = 0;
  size_t n = x.size() / chans;
  for (size_t i = 0; i < n; ++i) sum += double(x[i * chans + c]) * x[i * chans + c];
  return 10 * std::log10(sum / std::max<size_t>(n, 1) + 1e-30);
}

class EngineTest : public ::testing::Test {
 protected:
  // The suite's fixtures never change once made, so each is decoded by FFmpeg once.
  static const std::vector<float>& Ref(const std::string& name) {
    static std::map<std::string, std::vector<float>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, Reference(P(name))).first;
    return it->second;
  }

  static void SetUpTestSuite() {
    fs::create_directories(Dir());
    std::string src = P("src.wav");
    ok_ = Shell("sox -n -r 44100 -c 2 '" + src + "' synth 6 sine 200-4000 sine 330 gain -4");
    const std::pair<const char*, std::string> enc[] = {
        {"cbr.mp3", "lame --quiet -b 128 SRC OUT"},
        {"vbr_notoc.mp3", "lame --quiet -V 4 -t SRC OUT"},
        {"vbr.mp3", "lame --quiet -V 2 SRC OUT"},
        {"aac.m4a", "ffmpeg -v error -y -i SRC -c:a aac -b:a 128k OUT"},
        {"vorbis.ogg", "ffmpeg -v error -y -i SRC -c:a libvorbis OUT"},
        {"opus.opus", "ffmpeg -v error -y -i SRC -c:a libopus OUT"},
        {"flac.flac", "ffmpeg -v error -y -i SRC OUT"},
        {"pcm.wav", "ffmpeg -v error -y -i SRC -ar 22050 -ac 1 OUT"},
        {"wma.wma", "ffmpeg -v error -y -i SRC -c:a wmav2 OUT"},
        {"wv.wv", "ffmpeg -v error -y -i SRC -c:a wavpack OUT"},
        {"tta.tta", "ffmpeg -v error -y -i SRC -c:a tta OUT"},
    };
    for (const auto& [name, cmd] : enc) {
      std::string c = cmd;
      c.replace(c.find("SRC"), 3, "'" + src + "'");
      c.replace(c.find("OUT"), 3, "'" + P(name) + "'");
      ok_ = Shell(c) && ok_;
    }
    std::ofstream(P("tune.mod"), std::ios::binary) << MakeMod();
  }
  static void TearDownTestSuite() { fs::remove_all(Dir()); }

  void SetUp() override {
    ASSERT_TRUE(ok_) << "fixture tools (sox, lame, ffmpeg) failed";
    engine_ = CreateAudioEngine();
    engine_->Init(kNoSoundDevice, 44100, 0, nullptr, nullptr);
  }
  void TearDown() override { engine_->Free(); }

  std::vector<float> ReadAll(Player& p, int64_t frames) {
    ChannelInfo info = p.GetInfo();
    std::vector<float> out(static_cast<size_t>(frames) * info.chans);
    int64_t got = 0;
    while (got < frames) {
      int64_t n = engine_->ChannelRead(p.Handle(), out.data() + got * info.chans, frames - got);
      if (n <= 0) break;
      got += n;
    }
    out.resize(static_cast<size_t>(got) * info.chans);
    return out;
  }

  // Seeks to `t` and compares the next 0.2 s (or what is left) with a decode from the
  // start: the largest difference of a sample, or infinity when they differ in number.
  float WorstAfterSeek(Player& p, const std::vector<float>& ref, double t) {
    const ChannelInfo info = p.GetInfo();
    const int64_t at = FrameAt(t, info.freq);
    if (!p.SeekSeconds(t)) return INFINITY;
    EXPECT_NEAR(p.PositionSeconds(), static_cast<double>(at) / info.freq, 1e-9);
    const int64_t want = std::min<int64_t>(info.freq / 5, ref.size() / info.chans - at);
    const std::vector<float> got = ReadAll(p, want);
    if (got.size() != static_cast<size_t>(want) * info.chans) return INFINITY;
    float worst = 0;
    for (size_t i = 0; i < got.size(); ++i)
      worst = std::max(worst, std::fabs(got[i] - ref[at * info.chans + i]));
    return worst;
  }

  static inline bool ok_ = false;
  std::unique_ptr<AudioEngine> engine_;
};

struct FormatCase {
  const char* file;
  float tolerance;  // per sample; AAC's noise substitution is random after any jump
};

const FormatCase kFormats[] = {
    {"pcm.wav", 0}, {"flac.flac", 0},   {"cbr.mp3", 0},    {"vbr_notoc.mp3", 0},
    {"vbr.mp3", 0}, {"aac.m4a", 2e-3f}, {"vorbis.ogg", 0}, {"opus.opus", 1e-6f},
    {"wma.wma", 0}, {"wv.wv", 0},       {"tta.tta", 0},    {"tune.mod", 0},
};

TEST_F(EngineTest, SeeksLandOnTheSamplesOfADecodeFromTheStart) {
  for (const auto& c : kFormats) {
    SCOPED_TRACE(c.file);
    const std::vector<float>& ref = Ref(c.file);
    Player p(*engine_);
    ASSERT_TRUE(p.Load(P(c.file), true, false, false));
    ChannelInfo info = p.GetInfo();
    ASSERT_GT(info.chans, 0u);
    int64_t total = static_cast<int64_t>(ref.size() / info.chans);
    ASSERT_GT(total, info.freq);
    // Seek backwards and forwards in one channel, as a user does.
    for (double t : {2.71828, 0.0, 4.0503, 0.10001, 1.5, 3.14159})
      EXPECT_LE(WorstAfterSeek(p, ref, t), c.tolerance) << t;
  }
}

TEST_F(EngineTest, LengthIsTheDecodedLength) {
  for (const auto& c : kFormats) {
    SCOPED_TRACE(c.file);
    const std::vector<float>& ref = Ref(c.file);
    Player p(*engine_);
    ASSERT_TRUE(p.Load(P(c.file), true, false, false));
    ChannelInfo info = p.GetInfo();
    double truth = static_cast<double>(ref.size() / info.chans) / info.freq;
    // An ASF header only knows the length to the millisecond: until the count in the
    // background is done, that estimate stands in.
    if (std::string(c.file) == "wma.wma") {
      EXPECT_NEAR(p.LengthSeconds(), truth, 0.1);
    }
    EXPECT_TRUE(engine_->ChannelLengthIsExact(p.Handle(), 60000));
    // FFmpeg's module demuxer renders a tenth of a second past libopenmpt's song end;
    // our length is libopenmpt's.
    double slack = std::string(c.file) == "tune.mod" ? 0.11 : 1.0 / info.freq;
    EXPECT_NEAR(p.LengthSeconds(), truth, slack);
    // And the decode from the start really ends there.
    ASSERT_TRUE(p.SeekSeconds(0));
    std::vector<float> all = ReadAll(p, static_cast<int64_t>(truth * info.freq) + info.freq);
    EXPECT_NEAR(static_cast<double>(all.size() / info.chans) / info.freq, p.LengthSeconds(), 1e-9);
  }
}

// ASF packets carry no sample counts: the engine learns them by decoding on from the
// top. A seek that lands while that decode is running cancels it, and a cancelled
// decode is not the end of the song: the length must stay, later seeks must succeed.
TEST_F(EngineTest, SeeksThatInterruptDecodingKeepTheLength) {
  const std::vector<float>& ref = Ref("wma.wma");
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    Player p(*engine_);
    ASSERT_TRUE(p.Load(P("wma.wma"), true, false, false));
    for (double t : {1.2345, 4.7, 2.1, 5.5, 0.3, 3.9}) {
      SCOPED_TRACE(t);
      ASSERT_TRUE(p.SeekSeconds(t));
      std::vector<float> got = ReadAll(p, 64);
      int64_t at = FrameAt(t, 44100);
      ASSERT_EQ(got.size(), 128u);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin() + at * 2));
    }
    EXPECT_NEAR(p.LengthSeconds(), 6.0, 0.1);
  }
}

TEST_F(EngineTest, BadFilesFailOrPlayWhatDecodes) {
  std::string mp3;
  {
    std::ifstream in(P("cbr.mp3"), std::ios::binary);
    mp3.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage.push_back(static_cast<char>((i * 7919) >> 3));
  struct Case {
    const char* name;
    std::string bytes;
    bool loads;
  };
  const Case cases[] = {
      {"empty.mp3", "", false},
      {"garbage.mp3", garbage, false},
      {"text.wav", "RIFF but not really a wave file at all\n", false},
      {"renamed.ogg", mp3, true},
      {"truncated.mp3", mp3.substr(0, mp3.size() / 3), true},
      {"header_only.flac", "fLaC", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(P(c.name), std::ios::binary) << c.bytes;
    Player p(*engine_);
    EXPECT_EQ(p.Load(P(c.name), true, false, false), c.loads);
    if (!c.loads) continue;
    std::vector<float> all = ReadAll(p, 44100 * 30);
    ChannelInfo info = p.GetInfo();
    EXPECT_GT(all.size(), 0u);
    EXPECT_NEAR(p.LengthSeconds(), static_cast<double>(all.size() / info.chans) / info.freq, 0.05);
  }
  Player p(*engine_);
  EXPECT_FALSE(p.Load(P("does_not_exist.mp3")));
  EXPECT_EQ(p.Handle(), 0u);
}

TEST_F(EngineTest, EffectsAtTheirDefaultsLeaveTheSamplesAlone) {
  const std::vector<float>& ref = Ref("cbr.mp3");
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("cbr.mp3"), false, false, true));
  ASSERT_NE(p.ReverbFx(), 0u);
  EXPECT_EQ(p.GetReverb()[1], -96.0f);
  std::vector<float> got = ReadAll(p, 44100);
  ASSERT_EQ(got.size(), 88200u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin()));
  // Volume scales; a band with gain changes the sound.
  ASSERT_TRUE(p.SetVolume(0.5f));
  EXPECT_EQ(p.GetVolume(), 0.5f);
  std::vector<float> half = ReadAll(p, 1000);
  for (size_t i = 0; i < half.size(); ++i) ASSERT_EQ(half[i], ref[88200 + i] * 0.5f);
  ASSERT_TRUE(p.SetEqualizerBand(2, 1000, 12, 12));
  EXPECT_EQ(p.GetEqualizerBand(2), (std::array<float, 3>{1000, 12, 12}));
}

TEST_F(EngineTest, MemoryStreamFromAWavImage) {
  std::ifstream in(P("pcm.wav"), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  AudioHandle h = engine_->StreamCreateMemory(bytes.data(), bytes.size(), 0);
  ASSERT_NE(h, 0u);
  bytes.assign(bytes.size(), 0);  // the engine holds its own copy
  EXPECT_NEAR(engine_->ChannelBytes2Seconds(h, engine_->ChannelGetLength(h, kPosByte)), 6.0,
              1.0 / 22050);
  EXPECT_TRUE(engine_->ChannelPlay(h, false));
  EXPECT_TRUE(engine_->StreamFree(h));
  EXPECT_FALSE(engine_->MusicFree(h));
  EXPECT_EQ(engine_->StreamCreateMemory("junk", 4, 0), 0u);

  // The calibration's click track: each click is heard from the first sample at or after
  // its time, and silence before it, so that key presses are measured from the click.
  const std::string clicks = ClickTrackWav({0.5, 1.00001}, 2.0);
  h = engine_->StreamCreateMemory(clicks.data(), clicks.size(), 0);
  ASSERT_NE(h, 0u);
  EXPECT_NEAR(engine_->ChannelBytes2Seconds(h, engine_->ChannelGetLength(h, kPosByte)), 2.0, 1e-9);
  std::vector<float> frames(44100 * 3);
  frames.resize(static_cast<size_t>(engine_->ChannelRead(h, frames.data(), 44100 * 3)));
  ASSERT_EQ(frames.size(), 88200u);
  std::vector<size_t> onsets;  // a loud sample after a tenth of a second of quiet ones
  size_t lastLoud = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (std::fabs(frames[i]) <= 0.05f) continue;
    if (onsets.empty() || i - lastLoud > 4410) onsets.push_back(i);
    lastLoud = i;
  }
  EXPECT_EQ(onsets, (std::vector<size_t>{22050, 44101}));
  EXPECT_EQ(frames[22049], 0.0f);
  EXPECT_TRUE(engine_->StreamFree(h));
}

TEST_F(EngineTest, TrackerModulesComeThroughTheMusicLoader) {
  EXPECT_EQ(engine_->StreamCreateFile(P("tune.mod"), 0, 0, 0), 0u);
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("tune.mod"), true, false, false));
  EXPECT_EQ(engine_->ChannelGetDecoder(p.Handle()), "libopenmpt");
  EXPECT_FALSE(engine_->StreamFree(p.Handle()));  // the wrong kind fails harmlessly
}

TEST_F(EngineTest, PlayPauseSeekAndEndOnTheSilentOutput) {
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("flac.flac"), true, false, false));
  EXPECT_EQ(p.State(), kActiveStopped);
  EXPECT_EQ(p.PositionSeconds(), 0.0);
  ASSERT_TRUE(p.Play(false));
  EXPECT_NE(p.State(), kActiveStopped);
  ASSERT_TRUE(WaitFor([&] { return p.PositionSeconds() > 0.05; }, 10));
  double last = 0;
  for (int i = 0; i < 20; ++i) {  // never backwards while playing
    double now = p.PositionSeconds();
    EXPECT_GE(now, last);
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(p.Pause());
  EXPECT_EQ(p.State(), kActivePaused);
  double frozen = p.PositionSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(p.PositionSeconds(), frozen);
  // Resume plays on from the very sample where the pause left off.
  const std::vector<float>& ref = Ref("flac.flac");
  std::vector<float> got = ReadAll(p, 100);
  int64_t at = std::llround(frozen * 44100);
  ASSERT_EQ(got.size(), 200u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin() + at * 2));

  ASSERT_TRUE(p.SeekSeconds(3.25));
  EXPECT_DOUBLE_EQ(p.PositionSeconds(), 3.25);
  EXPECT_FALSE(p.SeekSeconds(60.0));
  ASSERT_TRUE(p.SeekSeconds(p.LengthSeconds() - 0.2));
  ASSERT_TRUE(p.Play(false));
  ASSERT_TRUE(WaitFor([&] { return p.State() == kActiveStopped; }, 10));
  EXPECT_NEAR(p.PositionSeconds(), p.LengthSeconds(), 1e-9);
  // Playing an ended song starts it again.
  ASSERT_TRUE(p.Play(false));
  EXPECT_LT(p.PositionSeconds(), 1.0);
  ASSERT_TRUE(p.Stop());
  EXPECT_EQ(p.State(), kActiveStopped);
}

// lirotag-cli's answer: the length it prints, or -1.
double CliLength(const std::string& path) {
#ifdef LIROTAG_CLI
  FILE* f = popen(("'" LIROTAG_CLI "' probe '" + path + "' 2>/dev/null").c_str(), "r");
  if (!f) return -1;
  double len = -1;
  char line[256];
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "length: %lf", &len) == 1) break;
  while (std::fgets(line, sizeof line, f)) {
  }
  pclose(f);
  return len;
#else
  (void)path;
  return -1;
#endif
}

// WMA frames are 512 to 2048 samples by rate; lengths that are no multiple of them,
// both codec versions, mono and stereo, low and high bit rates.
TEST_F(EngineTest, WmaLengthIsCountedToTheSample) {
  struct Case {
    const char* name;
    const char* sox;  // rate, channels and length of the source
    const char* codec;
  };
  const Case cases[] = {
      {"v1_22k_mono.wma", "-r 22050 -c 1 SRC synth 5.01", "-c:a wmav1"},
      {"v2_48k_64k.wma", "-r 48000 -c 2 SRC synth 7.3", "-c:a wmav2 -b:a 64k"},
      {"v2_44k_192k.wma", "-r 44100 -c 2 SRC synth 3.3333", "-c:a wmav2 -b:a 192k"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string sox = c.sox;
    sox.replace(sox.find("SRC"), 3, "'" + P("wsrc.wav") + "'");
    ASSERT_TRUE(Shell("sox -n " + sox + " sine 300-3000 gain -3"));
    ASSERT_TRUE(
        Shell("ffmpeg -v error -y -i '" + P("wsrc.wav") + "' " + c.codec + " '" + P(c.name) + "'"));
    std::vector<float> ref = Reference(P(c.name));
    ASSERT_FALSE(ref.empty());

    std::ifstream in(P(c.name), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    AudioHandle handles[] = {engine_->StreamCreateFile(P(c.name), 0, 0, 0),
                             engine_->StreamCreateMemory(bytes.data(), bytes.size(), 0)};
    for (AudioHandle h : handles) {
      ASSERT_NE(h, 0u);
      ChannelInfo info;
      ASSERT_TRUE(engine_->ChannelGetInfo(h, &info));
      double truth = static_cast<double>(ref.size() / info.chans) / info.freq;
      // At once: the header's estimate or already the count.
      EXPECT_NEAR(engine_->ChannelBytes2Seconds(h, engine_->ChannelGetLength(h, kPosByte)), truth,
                  0.1);
      ASSERT_TRUE(engine_->ChannelLengthIsExact(h, 60000));
      EXPECT_EQ(engine_->ChannelGetLength(h, kPosByte), static_cast<int64_t>(ref.size() * 4));
      // Reading to the end agrees and keeps it.
      std::vector<float> all(ref.size() + 4096);
      int64_t got = 0, n;
      while ((n = engine_->ChannelRead(h, all.data() + got * info.chans, 4096)) > 0) got += n;
      EXPECT_EQ(got * info.chans, static_cast<int64_t>(ref.size()));
      EXPECT_EQ(engine_->ChannelGetLength(h, kPosByte), static_cast<int64_t>(ref.size() * 4));
      EXPECT_TRUE(engine_->StreamFree(h));
    }
#ifdef LIROTAG_CLI
    ChannelInfo info;
    {
      Player p(*engine_);
      ASSERT_TRUE(p.Load(P(c.name), true, false, false));
      info = p.GetInfo();
    }
    EXPECT_NEAR(CliLength(P(c.name)), static_cast<double>(ref.size() / info.chans) / info.freq,
                0.5 / info.freq + 1e-6);
#endif
  }
}

// The count reads the file on its own thread: a file removed under it or a channel
// freed while it runs must end it quietly, and the decode's own end still counts.
TEST_F(EngineTest, WmaCountSurvivesRemovalAndFree) {
  ASSERT_TRUE(Shell("sox -n -r 44100 -c 2 '" + P("lsrc.wav") + "' synth 120 sine 440"));
  ASSERT_TRUE(
      Shell("ffmpeg -v error -y -i '" + P("lsrc.wav") + "' -c:a wmav2 '" + P("long.wma") + "'"));
  int64_t frames = static_cast<int64_t>(Reference(P("long.wma")).size() / 2);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    fs::copy_file(P("long.wma"), P("gone.wma"), fs::copy_options::overwrite_existing);
    AudioHandle h = engine_->StreamCreateFile(P("gone.wma"), 0, 0, 0);
    ASSERT_NE(h, 0u);
    if (round % 2 == 0) {
      fs::remove(P("gone.wma"));
      engine_->ChannelLengthIsExact(h, 60000);  // either way: the file may be gone first
      std::vector<float> buf(2 * 65536);
      int64_t got = 0, n;
      while ((n = engine_->ChannelRead(h, buf.data(), 65536)) > 0) got += n;
      EXPECT_EQ(got, frames);
      EXPECT_TRUE(engine_->ChannelLengthIsExact(h, 0));
      EXPECT_EQ(engine_->ChannelGetLength(h, kPosByte), frames * 8);
    }
    EXPECT_TRUE(engine_->StreamFree(h));  // odd rounds: most likely while counting
    EXPECT_FALSE(engine_->ChannelLengthIsExact(h, 1000));
  }
}

std::atomic<int> g_end_syncs{0};

// The decoder refills the ring after a play or a seek; that moment is no stall, or the
// play button would keep saying "play" and a pause press would resume instead. A first
// seek deep into a WMA file decodes its way there, which keeps the ring empty a while.
TEST_F(EngineTest, PlayingRightAfterPlayAndSeek) {
  ASSERT_TRUE(Shell("sox -n -r 44100 -c 2 '" + P("ssrc.wav") + "' synth 90 sine 440"));
  ASSERT_TRUE(
      Shell("ffmpeg -v error -y -i '" + P("ssrc.wav") + "' -c:a wmav2 '" + P("seek.wma") + "'"));
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("seek.wma"), true, false, false));
  ASSERT_TRUE(p.Play(false));
  EXPECT_EQ(p.State(), kActivePlaying);
  for (double to : {85.0, 1.0, 60.0}) {
    p.SeekSeconds(to);
    for (int i = 0; i < 4; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      EXPECT_EQ(p.State(), kActivePlaying) << "after a seek to " << to;
    }
  }
}

// Seeking near the start reopens the file; a newer seek interrupts that reopening. A
// user holding Alt+Left sends exactly such a burst.
TEST_F(EngineTest, SeekBurstsThatInterruptReopeningDoNotCrash) {
  const std::vector<float>& ref = Ref("flac.flac");
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("flac.flac"), true, false, false));
  ASSERT_TRUE(p.Play(false));
  for (int i = 0; i < 400; ++i) {
    p.SeekSeconds(i % 2 ? 0.0 : 0.05 * (i % 7));
    std::this_thread::sleep_for(std::chrono::microseconds(100 * (i % 9)));
  }
  ASSERT_TRUE(p.Pause());
  ASSERT_TRUE(p.SeekSeconds(1.5));
  std::vector<float> got = ReadAll(p, 100);
  ASSERT_EQ(got.size(), 200u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin() + 66150 * 2));
}

TEST_F(EngineTest, FileCutShortWhilePlayingEndsPlayback) {
  fs::copy_file(P("cbr.mp3"), P("cut.mp3"), fs::copy_options::overwrite_existing);
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("cut.mp3"), true, false, false));
  ASSERT_TRUE(p.SetEndSync([](AudioHandle, AudioHandle, uint32_t, void*) { g_end_syncs++; }));
  ASSERT_TRUE(p.Play(false));
  fs::resize_file(P("cut.mp3"), 4000);
  fs::remove(P("cut.mp3"));
  ASSERT_TRUE(WaitFor([&] { return p.State() == kActiveStopped; }, 20));
  EXPECT_TRUE(WaitFor([&] { return g_end_syncs.load() == 1; }, 1));
  p.Free();
}

TEST_F(EngineTest, PluginsDecodeTheirFormatsAndRefusedOnesAreSkipped) {
  std::string filter = LoadPlugins(*engine_, LIROTAG_TEST_PLUGIN_DIR);
  EXPECT_NE(filter.find(";*.ltone;*.ltn|"), std::string::npos);
  EXPECT_NE(filter.find("|Test tone(*.ltone;*.ltn)|*.ltone;*.ltn|所有文件(*.*)|*.*"),
            std::string::npos);
  fs::create_directories(Dir() / "bad");
  std::ofstream(Dir() / "bad" / "lirotag_broken.so") << "not a library";
  std::string plain = LoadPlugins(*engine_, (Dir() / "bad").string());
  EXPECT_EQ(plain.find("ltone"), std::string::npos);

  std::ofstream(P("a.ltone")) << "LTONE 8000 2 16000\n";
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("a.ltone"), true, false, false));
  EXPECT_DOUBLE_EQ(p.LengthSeconds(), 2.0);
  ASSERT_TRUE(p.SeekSeconds(1.2345));
  std::vector<float> got = ReadAll(p, 10);
  ASSERT_EQ(got.size(), 20u);
  int64_t f = FrameAt(1.2345, 8000);
  EXPECT_EQ(got[0], static_cast<float>((f * 7) % 1000) / 1000.0f - 0.5f);
  EXPECT_EQ(got[3], static_cast<float>((f * 7 + 7 + 13) % 1000) / 1000.0f - 0.5f);

  // A plug-in's three channels (left, right, centre) are folded into stereo: the
  // centre at -3 dB in both sides, the sum kept within full scale.
  std::ofstream(P("b.ltone")) << "LTONE 8000 3 16000\n";
  Player three(*engine_);
  ASSERT_TRUE(three.Load(P("b.ltone"), true, false, false));
  EXPECT_EQ(three.GetInfo().chans, 2u);
  got = ReadAll(three, 1);  // frame 0: left -0.5, right -0.487, centre -0.474
  const float k = 1 / (1 + std::sqrt(0.5f)), c = std::sqrt(0.5f) * -0.474f;
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NEAR(got[0], k * (-0.5f + c), 1e-6);
  EXPECT_NEAR(got[1], k * (-0.487f + c), 1e-6);
}

// The song dialog offers what the engine plays: a file of each kind ffmpeg can make
// here matches a pattern of the list of all types, and the engine opens it.
TEST_F(EngineTest, TheSongFilterOffersWhatTheEngineOpens) {
  const std::string filter = LoadPlugins(*engine_, (Dir() / "no plug-ins").string());
  const std::string prefix = "所有支持的类型|";
  ASSERT_EQ(filter.rfind(prefix, 0), 0u);
  const std::string types =
      ";" + filter.substr(prefix.size(), filter.find('|', prefix.size()) - prefix.size()) + ";";
  // Each extension, and after "=" what ffmpeg needs besides it to make such a file.
  for (std::string spec : {"aiff",
                           "aif",
                           "opus",
                           "ac3",
                           "eac3",
                           "wma",
                           "wv",
                           "tta",
                           "w64",
                           "flac",
                           "mp3",
                           "ogg",
                           "aifc=-f aiff",
                           "oga=-c:a libvorbis",
                           "mka=-c:a libvorbis",
                           "webm=-c:a libopus",
                           "m4a=-c:a aac",
                           "m4b=-c:a aac -f ipod",
                           "aac=-c:a aac",
                           "dts=-strict -2 -ar 48000 -ac 2",
                           "caf=-c:a alac",
                           "rm=-c:a real_144 -ar 8000",
                           "thd=-strict -2 -ar 48000 -ac 2"}) {
    const size_t eq = spec.find('=');
    const std::string ext = spec.substr(0, eq);
    const std::string args = eq == std::string::npos ? "" : spec.substr(eq + 1);
    const std::string file = P("made." + ext);
    ASSERT_TRUE(Shell("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 " + args +
                      " '" + file + "'"))
        << ext;
    EXPECT_NE(types.find(";*." + ext + ";"), std::string::npos) << ext;
    Player p(*engine_);
    EXPECT_TRUE(p.Load(file, true, false, false)) << ext;
    EXPECT_GT(p.LengthSeconds(), 0.5) << ext;
    p.Free();
  }
  // Tracker modules are the music loader's.
  EXPECT_NE(types.find(";*.mod;"), std::string::npos);
  Player p(*engine_);
  EXPECT_TRUE(p.Load(P("tune.mod"), true, false, false));
}

TEST_F(EngineTest, FftFindsTheTone) {
  Shell("sox -n -r 44100 -c 1 '" + P("tone.wav") + "' synth 1 sine 4306.640625");
  Player p(*engine_);
  ASSERT_TRUE(p.Load(P("tone.wav"), true, false, false));
  float mags[256];
  ASSERT_EQ(p.GetFft(mags), 1024);
  EXPECT_EQ(std::max_element(mags, mags + 256) - mags, 50);  // 4306.64 Hz = bin 50 of 512
  float samples[64];
  EXPECT_EQ(p.GetSamples(samples, 64), 256);
}

// Containers whose headers hold no length or a wrong one, and those whose timestamps
// do not name samples (raw AC-3 at 44.1 kHz, Matroska's milliseconds): the length is
// what a decode from the start gives, usable at once, and every seek lands exactly.
TEST_F(EngineTest, EveryContainerIsMeasuredAndPlacedExactly) {
  struct Case {
    const char* name;
    const char* make;  // SRC: the 6 s stereo sweep
    float tolerance;   // per sample after a jump (lossy transforms)
  };
  const Case cases[] = {
      // The bit rate of a near-silent start makes FFmpeg guess the length far too long.
      {"intro.aac",
       "ffmpeg -v error -y -f lavfi -i sine=440:duration=20,volume=-90dB -f lavfi -i "
       "sine=300:duration=8 -filter_complex concat=n=2:v=0:a=1 -c:a aac -f adts OUT",
       2e-3f},
      {"ac3_44k.ac3", "ffmpeg -v error -y -i SRC -c:a ac3 OUT", 1e-3f},
      {"opus.webm", "ffmpeg -v error -y -i SRC -c:a libopus OUT", 1e-6f},
      {"vorbis.mka", "ffmpeg -v error -y -i SRC -c:a libvorbis OUT", 0},
      // Eleven minutes through a pipe: no total in the header.
      {"piped.flac",
       "sox -n -r 8000 -t wav - synth 660 sine 200-900 | ffmpeg -v error -i - -f flac - >OUT", 0},
      // Cut short: the header promises more than there is.
      {"cut.flac", "ffmpeg -v error -y -i SRC -f flac - | head -c 250000 > OUT", 0},
      {"cut.m4a",
       "ffmpeg -v error -y -i SRC -movflags +faststart OUT.m4a; head -c 60000 OUT.m4a >OUT", 2e-3f},
      {"cut.aac", "ffmpeg -v error -y -i SRC -c:a aac -f adts - | head -c 50001 > OUT", 2e-3f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Shell(Fill(c.make, "src.wav", c.name)));
    const std::vector<float> ref = Reference(P(c.name));
    Player p(*engine_);
    ASSERT_TRUE(p.Load(P(c.name), true, false, false));
    ChannelInfo info = p.GetInfo();
    const int64_t total = static_cast<int64_t>(ref.size() / std::max(info.chans, 1u));
    ASSERT_GT(total, info.freq);
    // Usable at once, exact once counted.
    EXPECT_GT(p.LengthSeconds(), 1.0);
    ASSERT_TRUE(engine_->ChannelLengthIsExact(p.Handle(), 60000));
    EXPECT_EQ(engine_->ChannelGetLength(p.Handle(), kPosByte), total * info.chans * 4);
    const double seconds = static_cast<double>(total) / info.freq;
    for (double t : {seconds - 0.3, 0.25, seconds / 2 + 0.0123, 1.001})
      EXPECT_LE(WorstAfterSeek(p, ref, t), c.tolerance) << t;
  }
}

// Every layout is heard: surround folds into stereo (a voice only in the centre comes
// out of both sides), mono stays one channel, and nothing clips.
TEST_F(EngineTest, SurroundIsFoldedIntoStereo) {
  auto render = [&](const std::string& name, const std::string& place, unsigned want) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Shell(Fill(
        "ffmpeg -v error -y -f lavfi -i sine=1000:duration=3 -af 'volume=0.5" + place + "' OUT", "",
        name)));
    Player p(*engine_);
    EXPECT_TRUE(p.Load(P(name), true, false, false));
    EXPECT_EQ(p.GetInfo().chans, want);
    EXPECT_TRUE(p.SeekSeconds(1.0));
    std::vector<float> got = ReadAll(p, 24000);
    EXPECT_EQ(got.size(), 24000u * want);
    return got;
  };
  render("voice.wav", "", 1);
  const double level = RmsDb(render("voice2.wav", ",pan=stereo|c0=c0|c1=c0", 2), 2, 0);
  for (const char* name : {"six.flac", "six.ac3", "six.ogg"}) {
    const std::vector<float> got = render(name, ",pan=5.1|FC=c0", 2);
    for (int c = 0; c < 2; ++c) {
      EXPECT_GT(RmsDb(got, 2, c), level - 11) << name;
      EXPECT_LT(RmsDb(got, 2, c), level + 0.5) << name;
    }
  }
}

// A FIFO (or any file that blocks on open) must not hang whoever opens it.
TEST_F(EngineTest, OpeningAFifoFailsAtOnce) {
  const std::string fifo = P("song.mp3.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(fifo, P("link.mp3"));
  for (const std::string& path : {fifo, P("link.mp3")}) {
    SCOPED_TRACE(path);
    auto opened = std::async(std::launch::async,
                             [&] { return Player(*engine_).Load(path, true, false, false); });
    if (opened.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
      // Let every stuck open go (each sees an empty file), then fail.
      while (opened.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
      }
      FAIL() << "the open blocked";
    }
    EXPECT_FALSE(opened.get());
  }
}

// A jump to a tag shows and stamps that very tag again: the position read back is the
// first sample at or after the time, never one before it, at any rate.
TEST_F(EngineTest, SeeksLandOnTheFirstSampleAtOrAfterTheTime) {
  for (int rate : {8000, 11025, 22050, 44100, 48000, 96000}) {
    SCOPED_TRACE(rate);
    const std::string name = P("r" + std::to_string(rate) + ".wav");
    ASSERT_TRUE(testing::WriteWav(name, rate, 4 * rate));
    Player p(*engine_);
    ASSERT_TRUE(p.Load(name, true, false, false));
    for (int ms = 0; ms < 3500; ms += 7) {
      for (double t : {ms / 1000.0, ms / 100.0 / 10 + 0.001}) {
        ASSERT_TRUE(p.SeekSeconds(t));
        const double at = p.PositionSeconds();
        ASSERT_GE(at, t - 1e-12) << t;
        ASSERT_LT(at, t + 1.0 / rate) << t;
      }
    }
  }
}

// A 16-bit PCM WAV whose header claims `rate` and `chans`, with `frames` frames of silence.
std::string WavBytes(uint32_t rate, uint16_t chans, uint32_t frames) {
  std::string b;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
  };
  const uint32_t data = frames * chans * 2;
  b += "RIFF";
  put(36 + data, 4);
  b += "WAVEfmt ";
  put(16, 4);
  put(1, 2);
  put(chans, 2);
  put(rate, 4);
  put(rate * chans * 2, 4);
  put(chans * 2, 2);
  put(16, 2);
  b += "data";
  put(data, 4);
  return b + std::string(data, '\0');
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Ogg's page checksum, so a page with a changed granule position still reads as intact.
uint32_t OggCrc(const std::string& page) {
  uint32_t c = 0;
  for (unsigned char byte : page) {
    c ^= static_cast<uint32_t>(byte) << 24;
    for (int k = 0; k < 8; ++k) c = c & 0x80000000u ? (c << 1) ^ 0x04c11db7u : c << 1;
  }
  return c;
}

// A song that cannot open says why; a header claiming a rate, a channel count or a
// length no song has is refused, or its claim disbelieved, before any buffer is sized
// from it (once these took 8 GB for the ring and terabytes for the waveform).
TEST_F(EngineTest, OpenFailuresSayWhyAndHeadersDecideNoMemory) {
  // Matroska claiming a duration of 30 000 years; Ogg whose last page claims 2^61 frames.
  std::string mkv = Slurp(P("src.wav"));
  ASSERT_TRUE(
      Shell("ffmpeg -v error -y -i '" + P("src.wav") + "' -c:a pcm_s16le '" + P("src.mkv") + "'"));
  mkv = Slurp(P("src.mkv"));
  const size_t dur = mkv.find("\x44\x89\x88");
  ASSERT_NE(dur, std::string::npos);
  const double forever = 1e15;  // milliseconds
  uint64_t bits;
  std::memcpy(&bits, &forever, 8);
  for (int i = 0; i < 8; ++i) mkv[dur + 3 + i] = static_cast<char>(bits >> (56 - 8 * i));
  std::string ogg = Slurp(P("vorbis.ogg"));
  const size_t last = ogg.rfind("OggS");
  ASSERT_NE(last, std::string::npos);
  for (int i = 0; i < 8; ++i) ogg[last + 6 + i] = static_cast<char>(i == 7 ? 0x20 : 0);
  ogg.replace(last + 22, 4, std::string(4, '\0'));
  const uint32_t crc = OggCrc(ogg.substr(last));
  for (int i = 0; i < 4; ++i) ogg[last + 22 + i] = static_cast<char>(crc >> (8 * i));
  std::string flac = Slurp(P("flac.flac"));

  fs::create_directories(Dir() / "folder");
  mkfifo(P("fifo.wav").c_str(), 0600);
  struct Case {
    const char* name;
    std::string bytes;  // written when not empty
    OpenError want;     // kNone: opens, with a length of a few seconds
  } cases[] = {
      {"absent.mp3", "", OpenError::kNotFound},
      {"folder", "", OpenError::kNotAFile},
      {"fifo.wav", "", OpenError::kNotAFile},
      {"words.mp3", "just words, no sound\n", OpenError::kUnsupported},
      {"rate_2g.wav", WavBytes(0x7FFFFFFF, 1, 4410), OpenError::kDamaged},
      {"rate_1g.wav", WavBytes(1000000000, 2, 4410), OpenError::kDamaged},
      {"rate_10.wav", WavBytes(10, 1, 4410), OpenError::kDamaged},
      {"head.flac", flac.substr(0, 200), OpenError::kDamaged},
      {"forever.mkv", mkv, OpenError::kNone},
      {"forever.ogg", ogg, OpenError::kNone},
      {"locked.wav", WavBytes(44100, 1, 4410), OpenError::kNoPermission},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.bytes.empty()) std::ofstream(P(c.name), std::ios::binary) << c.bytes;
    if (c.want == OpenError::kNoPermission) {
      if (geteuid() == 0) continue;  // root reads everything
      chmod(P(c.name).c_str(), 0);
    }
    Player p(*engine_);
    EXPECT_EQ(p.Load(P(c.name), true, false, false), c.want == OpenError::kNone);
    EXPECT_EQ(p.LastOpenError(), c.want);
    auto peaks = PeakTable::Start(P(c.name));
    EXPECT_EQ(peaks != nullptr, c.want == OpenError::kNone);
    if (c.want != OpenError::kNone) continue;
    // The length believed at once is what decodes, or a guess near it, never the claim.
    EXPECT_LT(p.LengthSeconds(), 60.0);
    EXPECT_LT(peaks->MemoryBytes(), size_t{1} << 20);
    EXPECT_TRUE(WaitFor([&] { return peaks->Done(); }, 10));
    EXPECT_NEAR(peaks->Seconds(), 6.0, 0.1);
  }
}

#ifdef LIROTAG_CLI
// What a script sees: status 0 and the answer on standard output, or status 2 and one
// line on standard error.
TEST_F(EngineTest, CommandLineAnswersScripts) {
  struct Run {
    int status;
    std::string out, err;
  };
  auto run = [&](const std::string& args) -> Run {
    const std::string out = P("cli.out"), err = P("cli.err");
    int rc = std::system(("'" LIROTAG_CLI "' " + args + " >'" + out + "' 2>'" + err + "'").c_str());
    auto slurp = [](const std::string& f) {
      std::ifstream in(f);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return Run{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(out), slurp(err)};
  };
  Run help = run("--help");
  EXPECT_TRUE(help.status == 0 && help.out.rfind("usage: lirotag-cli probe", 0) == 0) << help.out;
  for (const std::string& bad : std::vector<std::string>{
           "", "probe", "twirl x", "render '" + P("flac.flac") + "' --from",
           "render '" + P("flac.flac") + "' --seconds 1", "probe '" + P("missing.mp3") + "'",
           "probe '" + P("text.wav") + "'",
           "render '" + P("flac.flac") + "' --from 99 --seconds 1 --out '" + P("x.wav") + "'"}) {
    SCOPED_TRACE(bad);
    std::ofstream(P("text.wav")) << "not a song\n";
    Run r = run(bad);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  Run json = run("probe --json '" + P("flac.flac") + "'");
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out,
            "{\"length\": 6.000000, \"length_exact\": true, \"sample_rate\": 44100, "
            "\"channels\": 2, \"decoder\": \"ffmpeg:flac/flac\"}\n");
}
#endif

// Files from two tag libraries' test data, damaged ones among them: each either fails
// to open or opens with the length a decode from the start gives, and plays from any
// point without hanging.
TEST_F(EngineTest, SongsFromElsewhereOpenExactlyOrNotAtAll) {
  std::error_code ec;
  if (!fs::is_directory(LIROTAG_CORPUS_DIR, ec)) GTEST_SKIP() << "no corpus at " LIROTAG_CORPUS_DIR;
  int opened = 0;
  for (const auto& entry : fs::recursive_directory_iterator(LIROTAG_CORPUS_DIR, ec)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    Player p(*engine_);
    if (!p.Load(path, true, false, false)) continue;
    ++opened;
    ChannelInfo info = p.GetInfo();
    ASSERT_TRUE(engine_->ChannelLengthIsExact(p.Handle(), 60000));
    // FFmpeg's module demuxer renders past libopenmpt's end; those are checked above.
    if (engine_->ChannelGetDecoder(p.Handle()) != "libopenmpt") {
      const size_t frames = Reference(path, static_cast<int>(info.chans)).size() / info.chans;
      EXPECT_EQ(engine_->ChannelGetLength(p.Handle(), kPosByte),
                static_cast<int64_t>(frames * info.chans * 4));
    }
    ASSERT_TRUE(p.SeekSeconds(p.LengthSeconds() / 2));
    ReadAll(p, info.freq / 10);
  }
  EXPECT_GT(opened, 20);
}

}  // namespace
}  // namespace lirotag
