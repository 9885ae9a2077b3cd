// Files written by real tools (ffmpeg, lame), the tag libraries' own test data (damaged
// files among them; skipped when absent) and lirotag-cli tags as a script runs it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/encoding.h"
#include "shell_tools.h"
#include "tags/read_song_tags.h"

namespace lirotag {
namespace {

namespace fs = std::filesystem;
using testing::Shell;
using testing::Slurp;

class ToolsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("lirotag_tagtools_" + std::to_string(getpid()));
    fs::create_directories(dir_ / "folder.flac");
    const std::string in = "-f lavfi -i anullsrc=r=44100:cl=mono -t 0.2 ";
    const std::string cover =
        "-i '" + P("cover.png") + "' -map 0 -map 1 -c:v copy -disposition:v attached_pic -t 0.2 ";
    const std::string meta =
        "-metadata title=中文标题仿 -metadata artist=歌手 -metadata album=专辑 -metadata date=2020 "
        "-metadata genre=流行 -metadata comment=评论 -metadata track=3/12 -metadata lyrics=歌词 ";
    const std::string ff = "ffmpeg -v error -y ";
    ASSERT_EQ(Shell(ff + "-f lavfi -i color=red:s=16x16 -frames:v 1 '" + P("cover.png") + "'"), 0);
    for (const char* name : {"v24.mp3", "o.ogg", "w.wma", "s.wav"}) {
      ASSERT_EQ(Shell(ff + in + meta + "'" + P(name) + "'"), 0) << name;
    }
    for (const char* name : {"f.flac", "m.m4a"}) {
      ASSERT_EQ(Shell(ff + in + cover + meta + "'" + P(name) + "'"), 0) << name;
    }
    ASSERT_EQ(Shell(ff + in + cover + meta + "-id3v2_version 3 '" + P("v23.mp3") + "'"), 0);
    ASSERT_EQ(
        Shell("lame --quiet --tt 标题 --ta 歌手 --tl 专辑 --ty 2001 --tc 评论 --tn 5 --tg Rock "
              "--add-id3v2 '" +
              P("s.wav") + "' '" + P("lame.mp3") + "'"),
        0);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  static std::string P(const std::string& name) { return (dir_ / name).string(); }

  static fs::path dir_;
};
fs::path ToolsTest::dir_;

TEST_F(ToolsTest, ChineseTagsAndCoversOfEveryFormat) {
  const SongTags common{"中文标题仿", "歌手", "专辑", "2020", "流行", "", "3/12"};
  SongTags vorbis = common, m4a = common, wma = common;
  vorbis.Comment = m4a.Comment = "评论";
  vorbis.Lyrics = m4a.Lyrics = "歌词";  // ffmpeg writes an M4A's lyric as ©lyr
  m4a.Track = "3";
  wma.Year = "";  // ffmpeg stores the date under no name the reader takes
  const std::pair<const char*, SongTags> cases[] = {
      {"v24.mp3", common},
      {"v23.mp3", common},
      {"f.flac", vorbis},
      {"o.ogg", vorbis},
      {"m.m4a", m4a},
      {"w.wma", wma},
      {"lame.mp3", {"标题", "歌手", "专辑", "2001", "Rock", "评论", "5"}}};
  const std::string png = Slurp(P("cover.png"));
  for (const auto& [name, want] : cases) {
    SongTags tags;
    std::string picture;
    EXPECT_TRUE(ReadSongTags(P(name), &tags, &picture, true));
    EXPECT_EQ(tags, want) << name;
    if (std::string("v23.mp3 f.flac m.m4a").find(name) != std::string::npos) {
      EXPECT_EQ(picture, png) << name;
    }
  }
}

// Opus (opusenc, and ffmpeg into .ogg), Ogg FLAC (flac --ogg, ffmpeg) and a FLAC file
// behind the ID3v2 tag a tagger put in front of it.
TEST_F(ToolsTest, OggCodecsAndFlacBehindId3v2) {
  if (Shell("command -v opusenc && command -v flac") != 0) GTEST_SKIP() << "no opusenc or flac";
  const std::string wav = " '" + P("s.wav") + "' ", cover = "'" + P("cover.png") + "'";
  ASSERT_EQ(
      Shell("opusenc --quiet --title 标题 --artist 歌手 --album 专辑 --date 2019 --genre 流行 "
            "--comment tracknumber=4 --picture " +
            cover + wav + "'" + P("o.opus") + "'"),
      0);
  ASSERT_EQ(Shell("flac -s --ogg -T TITLE=奥格 -T ARTIST=歌手 -T DATE=2018 --picture=" + cover +
                  wav + "-o '" + P("f.oga") + "'"),
            0);
  // ffmpeg carries over the WAV's tags and sets the title.
  const std::string ff = "ffmpeg -v error -y -i" + wav;
  ASSERT_EQ(Shell(ff + "-metadata title=火 -c:a flac '" + P("flac.ogg") + "'"), 0);
  ASSERT_EQ(Shell(ff + "-metadata title=欧 -c:a libopus '" + P("opus.ogg") + "'"), 0);
  // The ID3v2 tag of v23.mp3 (its cover included) before a FLAC file with a title only.
  ASSERT_EQ(Shell("flac -s -T TITLE=自己的 " + wav + "-o '" + P("plain.flac") + "'"), 0);
  const std::string mp3 = Slurp(P("v23.mp3"));
  const size_t id3 =
      10 + (size_t{static_cast<unsigned char>(mp3[6])} << 21 |
            size_t{static_cast<unsigned char>(mp3[7])} << 14 |
            size_t{static_cast<unsigned char>(mp3[8])} << 7 | static_cast<unsigned char>(mp3[9]));
  std::ofstream(P("behind.flac"), std::ios::binary) << mp3.substr(0, id3) << Slurp(P("plain.flac"));

  const std::string png = Slurp(P("cover.png"));
  const struct {
    const char* name;
    SongTags want;
    bool cover;
  } cases[] = {
      {"o.opus", {"标题", "歌手", "专辑", "2019", "流行", "", "4"}, true},
      {"f.oga", {"奥格", "歌手", "", "2018"}, true},
      {"flac.ogg", {"火", "歌手", "专辑", "2020", "流行", "评论", "3/12"}, false},
      {"opus.ogg", {"欧", "歌手", "专辑", "2020", "流行", "评论", "3/12"}, false},
      {"behind.flac", {"自己的", "歌手", "专辑", "2020", "流行", "", "3/12"}, true},
  };
  for (const auto& c : cases) {
    SongTags tags;
    std::string picture;
    EXPECT_TRUE(ReadSongTags(P(c.name), &tags, &picture, true));
    EXPECT_EQ(tags, c.want) << c.name;
    EXPECT_EQ(picture, c.cover ? png : "") << c.name;
  }
}

#ifdef LIROTAG_CLI
TEST_F(ToolsTest, CommandLineGivesOneJsonLinePerFile) {
  const std::string cli = "'" LIROTAG_CLI "' tags ";
  std::string out;
  EXPECT_EQ(Shell(cli + "'" + P("m.m4a") + "' '" + P("missing.mp3") + "' '" + P("s.txt") + "' '" +
                      P("folder.flac") + "'",
                  &out),
            2);
  EXPECT_EQ(out,
            "{\"file\": \"" + P("m.m4a") +
                "\", \"Title\": \"中文标题仿\", \"Artist\": \"歌手\", \"Album\": \"专辑\", "
                "\"Year\": \"2020\", \"Genre\": \"流行\", \"Comment\": \"评论\", \"Track\": \"3\", "
                "\"Lyrics\": \"歌词\"}\n"
                "{\"file\": \"" +
                P("missing.mp3") +
                "\", \"error\": \"no such file\"}\n"
                "{\"file\": \"" +
                P("s.txt") +
                "\", \"error\": \"unsupported\"}\n"
                "{\"file\": \"" +
                P("folder.flac") + "\", \"error\": \"a directory\"}\n");
  EXPECT_EQ(Shell(cli + "--picture '" + P("out.png") + "' '" + P("f.flac") + "' >/dev/null"), 0);
  EXPECT_EQ(Slurp(P("out.png")), Slurp(P("cover.png")));
  for (const std::string bad : {"", "--picture", "--picture x a.mp3 b.mp3", "--what a.mp3"}) {
    EXPECT_EQ(Shell(cli + bad, &out), 2) << bad;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  }
}
#endif

// Real and deliberately broken files of two tag libraries: each read within a moment,
// as valid text, with the values their tools wrote.
TEST(CorpusTest, TagLibrariesTestData) {
  const fs::path corpus = LIROTAG_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no " << corpus;
  int read = 0;
  for (const auto& e : fs::recursive_directory_iterator(corpus)) {
    if (!e.is_regular_file()) continue;
    SongTags tags;
    std::string picture;
    const auto start = std::chrono::steady_clock::now();
    read += ReadSongTags(e.path().string(), &tags, &picture, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200)) << e.path();
    for (int i = 0; i < SongTags::kFieldCount; ++i) EXPECT_TRUE(IsValidUtf8(tags.Field(i)));
  }
  EXPECT_GT(read, 100);
  const std::pair<const char*, SongTags> known[] = {
      {"mutagen/silence-44-s.mp3",
       {"Silence", "jzig", "Quod Libet Test Data", "2004", "Silence", "", "02/10"}},
      {"mutagen/issue_29.wma",
       {"Señor Flamingos Adieu", "Kaizers Orchestra", "Live at Vega", "2006", "", "", "6/15"}},
      {"mutagen/multipage-setup.ogg",
       {"Burst", "UVERworld", "Timeless", "2006", "JRock", "SRCL-6240", "7"}},
      {"taglib/ilst-is-last.m4a",
       {"Intro", "Pearl Jam", "1995-03-22 Brisbane, Australia - Entertainment Centre", "1995", "",
        "", "1"}},
      {"taglib/gnre.m4a", {"", "", "", "", "Ska"}},
      {"mutagen/id3v22-test.mp3",
       {"cosmic american", "Anais Mitchell", "Hymns for the Exiled", "2004", "",
        "Waterbug Records, www.anaismitchell.com", "3/11"}},
      {"mutagen/52-too-short-block-size.flac",
       {"Mother's Daughter", "Tunng", "Mother's Daughter and Other Songs", "2004", "Folk-Rock", "",
        "1"}},
      {"mutagen/variable-block.flac",
       {"DIVE FOR YOU", "Boom Boom Satellites", "Appleseed Original Soundtrack", "2004",
        "Anime Soundtrack", "Original Soundtrack", "01"}}};
  for (const auto& [name, want] : known) {
    SongTags tags;
    ReadSongTags((corpus / name).string(), &tags, nullptr, false);
    EXPECT_EQ(tags, want) << name;
  }
}

}  // namespace
}  // namespace lirotag
