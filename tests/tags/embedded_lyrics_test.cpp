// Lyrics inside songs: SYLT conversion on built bytes, then songs made by ffmpeg, written
// by lirotag-cli lyrics embed and checked with our readers, with mutagen as an outside
// reader, and with ffmpeg's decoded-audio checksum.

#include "tags/embedded_lyrics.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell_tools.h"
#include "tag_bytes.h"
#include "tags/ape_tag.h"
#include "tags/read_song_tags.h"

namespace lirotag {
namespace {

namespace fs = std::filesystem;
using namespace lirotag::testing;

void Spit(const fs::path& p, std::string_view bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A SYLT body: encoding, language, time stamp format, content type, empty descriptor,
// then the texts (already encoded, terminator included) with their stamps.
std::string Sylt(int encoding, int format, const std::vector<std::pair<std::string, uint32_t>>& e) {
  const bool wide = encoding == 1 || encoding == 2;
  std::string body =
      std::string{static_cast<char>(encoding)} + "eng" + std::string{static_cast<char>(format), 1} +
      (encoding == 1 ? std::string("\xFF\xFE\0\0", 4) : std::string(wide ? 2 : 1, '\0'));
  for (const auto& [text, stamp] : e) body += text + BE32(stamp);
  return body;
}
std::string W(std::string_view utf8, bool bom) {
  return (bom ? "\xFF\xFE" : "") + U16(utf8) + std::string(2, '\0');
}
std::string N(std::string_view text) {
  return std::string(text) + '\0';
}
std::string Uslt(std::string_view text) {
  return Id3Text(3, "eng" + std::string(1, '\0') + std::string(text));
}

TEST(SyltTest, BecomesLrcLines) {
  const double f44 = 1152.0 / 44100;
  const struct {
    std::string body;
    std::string lrc;
  } cases[] = {
      // Milliseconds, one line per entry, minutes past 59 seconds, times cut to hundredths.
      {Sylt(3, 2, {{N("line one"), 1000}, {N("line two"), 62349}}),
       "[00:01.00]line one\n[01:02.34]line two"},
      // MPEG frames; UTF-16 whose later texts rely on the first one's byte-order mark.
      {Sylt(1, 1, {{W("第一", true), 100}, {W("second", false), 200}}),
       "[00:02.61]第一\n[00:05.22]second"},
      // A big-endian mark on the descriptor only.
      {Sylt(1, 2, {{U16("be", true) + std::string(2, '\0'), 10}}).replace(6, 2, "\xFE\xFF"),
       "[00:00.01]be"},
      // Syllables: a line break starts a sung line, the others get word tags.
      {Sylt(0, 2, {{N("\nHel"), 1000}, {N("lo"), 1500}, {N("\nWorld"), 3000}}),
       "[00:01.00]<00:01.00>Hel<00:01.50>lo\n[00:03.00]World"},
      // Cut short inside an entry: the whole entries stay.
      {Sylt(3, 2, {{N("kept"), 500}}) + "cut", "[00:00.50]kept"},
  };
  for (const auto& c : cases) EXPECT_EQ(SyltToLrc(c.body, f44), c.lrc);
  EXPECT_EQ(SyltToLrc("", f44), "");
  EXPECT_TRUE(HasTimeTags("x\n[01:02.03]y"));
  EXPECT_TRUE(HasTimeTags("[1:02]y"));
  for (const char* plain : {"[ti:歌名]", "[01]", "[:02.03]", "a[01:xx]", "[01:02.]"})
    EXPECT_FALSE(HasTimeTags(plain)) << plain;
}

class EmbeddedLyricsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("lirotag_embed_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    const std::string ff = "ffmpeg -v error -y -f lavfi -t 0.5 -i sine=f=440:r=44100 ";
    const std::string cover =
        "-i '" + P("cover.png") + "' -map 0 -map 1 -c:v copy -disposition:v attached_pic ";
    const std::string title = "-metadata title=标题 ";
    ASSERT_EQ(Shell("ffmpeg -v error -y -f lavfi -i color=red:s=16x16 -frames:v 1 '" +
                    P("cover.png") + "'"),
              0);
    const std::pair<const char*, std::string> songs[] = {
        {"v23.mp3", cover + title + "-id3v2_version 3"},
        {"v24.mp3", title},
        {"bare.mp3", "-map_metadata -1 -write_id3v2 0"},
        {"f.flac", cover + title},
        {"limit.flac", title},
        {"o.ogg", title},
        {"op.opus", title + "-c:a libopus"},
        {"m.m4a", cover + title},
        {"w.wma", title},
        {"wv.wv", title},
        {"ff.flac", "-metadata lyrics=[00:01.00]ffmpeg"},
        {"u.ogg", "-metadata UNSYNCEDLYRICS=[00:02.00]unsynced"},
        {"ff.m4a", "-metadata lyrics=[00:03.00]©lyr"},
        {"ff.mp3", "-metadata lyrics=[00:04.00]ffmpeg"},
        {"ff.opus", "-c:a libopus -metadata LYRICS=[00:05.00]opus"},
        {"of.oga", "-c:a flac -metadata LYRICS=[00:07.00]oggflac"},
        {"s.wav", ""}};
    for (const auto& [name, args] : songs)
      ASSERT_EQ(Shell(ff + args + " '" + P(name) + "'"), 0) << name;
    ASSERT_EQ(Shell("ffmpeg -v error -y -f lavfi -t 0.5 -i sine=r=48000 -write_id3v2 0 '" +
                    P("48k.mp3") + "'"),
              0);
    // SYLT alone (in MPEG frames of the 48 kHz stream), beside plain and timed USLT.
    const std::string sylt = Id3Frame("SYLT", Sylt(3, 1, {{N("sylt"), 100}}));
    const std::string audio = Slurp(P("48k.mp3"));
    Spit(P("sylt.mp3"), Id3Tag(sylt) + audio);
    Spit(P("sylt_plain.mp3"), Id3Tag(Id3Frame("USLT", Uslt("plain words")) + sylt) + audio);
    Spit(P("ape.mp3"),
         Slurp(P("48k.mp3")) + ApeTag({{"Artist", "歌手"}, {"LYRICS", "[00:06.00]ape"}}));
    Spit(P("sylt_timed.mp3"), Id3Tag(sylt + Id3Frame("USLT", Uslt("[00:09.00]usl"))) + audio);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  static std::string P(const std::string& name) { return (dir_ / name).string(); }
  static std::string Q(const std::string& name) { return "'" + P(name) + "'"; }

  static std::string AudioMd5(const std::string& name) {
    std::string out;
    Shell("ffmpeg -v error -i " + Q(name) + " -map 0:a -f md5 -", &out);
    return out;
  }

  // Every value mutagen finds in a lyric field, and the ID3 version: "count version\n"
  // then the first value.
  static std::string OutsideReading(const std::string& name) {
    static const char kScript[] =
        "import sys, mutagen\n"
        "t = mutagen.File(sys.argv[1]).tags\n"
        "found = []\n"
        "for k in t.keys():\n"
        "    base, _, rest = k.partition(':')\n"
        "    if base in ('USLT', 'SYLT') or k.lower() in ('lyrics', 'unsyncedlyrics', "
        "'\\xa9lyr', 'wm/lyrics') or (base == 'TXXX' and rest.lower() in ('uslt', 'lyrics')):\n"
        "        v = t[k]\n"
        "        found += [str(x) for x in v] if isinstance(v, list) else [str(v)]\n"
        "version = '.'.join(map(str, t.version[:2])) if hasattr(t, 'version') else '-'\n"
        "sys.stdout.write('%d %s\\n%s' % (len(found), version, found[0] if found else ''))\n";
    std::string out;
    Shell("/usr/bin/python3 -c \"$(cat <<'EOF'\n" + std::string(kScript) + "EOF\n)\" " + Q(name),
          &out);
    return out;
  }

  static fs::path dir_;
};
fs::path EmbeddedLyricsTest::dir_;

#ifdef LIROTAG_CLI
const std::string kCli = "'" LIROTAG_CLI "' lyrics ";

TEST_F(EmbeddedLyricsTest, EmbedReplacesTheLyricAndKeepsEverythingElse) {
  // GBK with CR LF, as an old editor saved it: the song gets UTF-8 text with "\n".
  Spit(P("first.lrc"), "[00:01.00]old words\r\n");
  Spit(P("second.lrc"), "[00:01.00]\xB5\xDA\xD2\xBB\xD0\xD0\r\n[00:02.50]second line\r\n");
  const std::string want = "[00:01.00]第一行\n[00:02.50]second line\n";
  const struct {
    const char* song;
    const char* version;  // of the ID3v2 tag, "-" for other formats
    bool cover;
  } cases[] = {{"v23.mp3", "2.3", true}, {"v24.mp3", "2.4", false}, {"bare.mp3", "2.4", false},
               {"f.flac", "-", true},    {"o.ogg", "-", false},     {"op.opus", "-", false},
               {"m.m4a", "-", true},     {"w.wma", "-", false},     {"wv.wv", "-", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.song);
    SongTags before;
    std::string cover;
    ReadSongTags(P(c.song), &before, &cover, true);
    const std::string md5 = AudioMd5(c.song);
    ASSERT_FALSE(md5.empty());
    fs::permissions(P(c.song), fs::perms(0640));
    // Twice: the second lyric replaces the first.
    EXPECT_EQ(Shell(kCli + "embed " + Q(c.song) + " " + Q("first.lrc")), 0);
    std::string out;
    EXPECT_EQ(Shell(kCli + "embed " + Q(c.song) + " " + Q("second.lrc"), &out), 0) << out;

    std::string lyrics;
    EXPECT_EQ(ReadEmbeddedLyrics(P(c.song), &lyrics), LyricsReadError::kNone);
    EXPECT_EQ(lyrics, want);
    EXPECT_EQ(OutsideReading(c.song), "1 " + std::string(c.version) + "\n" + want);
    EXPECT_EQ(Shell(kCli + "extract " + Q(c.song), &out), 0);
    EXPECT_EQ(out, want);
    EXPECT_EQ(AudioMd5(c.song), md5);
    SongTags after;
    std::string cover_after;
    ReadSongTags(P(c.song), &after, &cover_after, true);
    EXPECT_EQ(after.Title, before.Title);
    if (c.cover) {
      EXPECT_EQ(cover_after, Slurp(P("cover.png")));
    }
    EXPECT_EQ(fs::status(P(c.song)).permissions(), fs::perms(0640));
  }
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().string().find(".lirotag-"), std::string::npos) << e.path();
  // An MP3's APE tag gives up its lyric to the ID3v2 tag and keeps the rest.
  ASSERT_EQ(Shell("cp " + Q("ape.mp3") + " " + Q("ape_embed.mp3")), 0);
  EXPECT_EQ(Shell(kCli + "embed " + Q("ape_embed.mp3") + " " + Q("second.lrc")), 0);
  SongTags ape;
  EXPECT_TRUE(ReadApeTag(P("ape_embed.mp3"), &ape));
  EXPECT_EQ(ape.Artist, "歌手");
  EXPECT_EQ(ape.Lyrics, "");
  std::string lyrics;
  ReadEmbeddedLyrics(P("ape_embed.mp3"), &lyrics);
  EXPECT_EQ(lyrics, want);
}

TEST_F(EmbeddedLyricsTest, LyricsOtherToolsWroteExtract) {
  const std::pair<const char*, const char*> cases[] = {
      {"ff.flac", "[00:01.00]ffmpeg"},
      {"u.ogg", "[00:02.00]unsynced"},
      {"ff.m4a", "[00:03.00]©lyr"},
      {"ff.mp3", "[00:04.00]ffmpeg"},  // a TXXX frame named USLT
      {"ff.opus", "[00:05.00]opus"},
      {"of.oga", "[00:07.00]oggflac"},
      {"sylt.mp3", "[00:02.40]sylt"},  // 100 frames of 1152 samples at 48 kHz
      {"sylt_plain.mp3", "[00:02.40]sylt"},
      {"sylt_timed.mp3", "[00:09.00]usl"},
      {"ape.mp3", "[00:06.00]ape"}};
  for (const auto& [song, want] : cases) {
    std::string out;
    EXPECT_EQ(Shell(kCli + "extract --out " + Q("out.lrc") + " " + Q(song), &out), 0) << out;
    EXPECT_EQ(Slurp(P("out.lrc")), want + std::string("\n")) << song;
  }
}

TEST_F(EmbeddedLyricsTest, FailuresLeaveTheSongAlone) {
  Spit(P("words.lrc"), "[00:01.00]words\n");
  Spit(P("blank.lrc"), " \r\n");
  ASSERT_EQ(Shell("cp " + Q("v23.mp3") + " " + Q("ro.mp3") + " && chmod 444 " + Q("ro.mp3")), 0);
  ASSERT_EQ(Shell("cp " + Q("48k.mp3") + " " + Q("none.mp3")), 0);
  const struct {
    std::string args;
    const char* song;
    const char* says;
  } cases[] = {
      {"embed " + Q("ro.mp3") + " " + Q("words.lrc"), "ro.mp3", "read-only"},
      {"embed " + Q("s.wav") + " " + Q("words.lrc"), "s.wav", "cannot hold"},
      {"embed " + Q("of.oga") + " " + Q("words.lrc"), "of.oga", "cannot hold"},  // Ogg FLAC
      {"embed " + Q("none.mp3") + " " + Q("blank.lrc"), "none.mp3", "empty"},
      {"embed " + Q("none.mp3") + " " + Q("missing.lrc"), "none.mp3", "missing.lrc"},
      {"embed " + Q("missing.mp3") + " " + Q("words.lrc"), nullptr, "no such file"},
      {"extract " + Q("none.mp3"), "none.mp3", "has no lyrics"},
      {"extract " + Q("s.wav"), "s.wav", "holds no lyric"},
      {"extract", nullptr, "one song"},
      {"embed " + Q("none.mp3"), "none.mp3", "a song and a lyric file"},
  };
  for (const auto& c : cases) {
    const std::string before = c.song ? Slurp(P(c.song)) : "";
    std::string out;
    EXPECT_EQ(Shell(kCli + c.args, &out), 2) << c.args;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find(c.says), std::string::npos) << out;
    if (c.song) {
      EXPECT_EQ(Slurp(P(c.song)), before) << c.song;
    }
  }
}
// A full disk, and a write killed half-way, as a file size limit makes them: the song is
// as it was, and the next write clears what the killed one left.
TEST_F(EmbeddedLyricsTest, FullDiskAndKillLeaveTheSong) {
  Spit(P("words.lrc"), "[00:01.00]words\n");
  ASSERT_EQ(Shell("cp " + Q("limit.flac") + " " + Q("limited.flac")), 0);
  const std::string before = Slurp(P("limited.flac"));
  ASSERT_GT(before.size(), 12u << 10);
  const std::string embed = kCli + "embed " + Q("limited.flac") + " " + Q("words.lrc");
  auto copies = [] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_))
      n += e.path().filename().string().starts_with(".limited.flac.lirotag-");
    return n;
  };
  std::string out;
  EXPECT_EQ(Shell("bash -c \"trap '' XFSZ; ulimit -f 12; " + embed + "\"", &out), 2);
  EXPECT_NE(out.find("disk is full"), std::string::npos) << out;
  EXPECT_EQ(Slurp(P("limited.flac")), before);
  EXPECT_EQ(copies(), 0);
  EXPECT_NE(Shell("bash -c \"ulimit -f 12; " + embed + "\""), 0);  // killed by SIGXFSZ
  EXPECT_EQ(Slurp(P("limited.flac")), before);
  EXPECT_EQ(copies(), 1);
  EXPECT_EQ(Shell(embed), 0);
  EXPECT_EQ(copies(), 0);
}
#endif

// The check that stands between a tagged copy and the song: it must see a changed
// audio byte, and must not mind the tags or the pages' numbering around the audio.
TEST_F(EmbeddedLyricsTest, AudioPayloadSeesAChangedSample) {
  for (const char* name : {"v23.mp3", "f.flac", "o.ogg", "m.m4a", "w.wma", "wv.wv"}) {
    SCOPED_TRACE(name);
    const std::string bytes = Slurp(P(name));
    const LyricsFormat format = LyricsFormatOf(name);
    MemorySource a(bytes);
    ByteRanges ranges;
    ASSERT_TRUE(AudioPayload(a, format, &ranges));
    ASSERT_FALSE(ranges.empty());
    EXPECT_TRUE(SameAudioPayload(a, a, format));
    std::string changed = bytes;
    const auto& [begin, end] = ranges.back();
    changed[(begin + end) / 2] ^= 1;
    MemorySource b(changed);
    EXPECT_FALSE(SameAudioPayload(a, b, format));
    // A different tag in front leaves the audio the same.
    if (format == LyricsFormat::kId3v2) {
      const std::string retagged =
          Id3Tag(Id3Frame("TIT2", Id3Text(3, "x")), 4) + bytes.substr(ranges[0].first);
      MemorySource c(retagged);
      EXPECT_TRUE(SameAudioPayload(a, c, format));
    }
  }
}

}  // namespace
}  // namespace lirotag
