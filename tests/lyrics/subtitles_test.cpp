// Subtitles from a timed lyric and back. What the files say is read back by others: ffmpeg
// for SRT, WebVTT and ASS, Qt's XML reader for TTML; imports read files written by ffmpeg
// and by hand.

#include "lyrics/subtitles.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QString>
#include <QXmlStreamReader>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "lyrics/xml_tree.h"
#include "wav_file.h"

namespace lirotag {
namespace {

// Header lines, an untimed line, word timing (with an end tag), a line sung twice with
// its words, an empty timed line, a translation sharing its line's time, CJK text, a long
// instrumental gap and a time in thousandths.
constexpr char kLyric[] =
    "[ti:静夜思]\r\n[ar:李白]\r\n[al:唐诗三百首]\r\n[by:someone]\r\n[la:zh]\r\n"
    "untimed line\r\n"
    "[00:01.00]<00:01.00>床<00:01.48>前<00:02.00>明<00:02.50>月<00:03.00>光\r\n"
    "[00:04.00][00:40.00]<00:04.00>疑是<00:05.00>地上霜\r\n"
    "[00:06.50]\r\n"
    "[00:07.00]<00:07.00>Hel<00:07.30>lo <00:07.60>world<00:08.20>\r\n"
    "[00:07.00]你好世界\r\n"
    "[00:30.00]举头望明月\r\n"
    "[01:05.123]低头思故乡\r\n";

struct Cue {
  int64_t start, end;
  std::string text;
  bool operator==(const Cue&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Cue& c) {
  return os << "{" << c.start << ", " << c.end << ", " << c.text << "}";
}

// The rules, with the song 80 s long.
const std::vector<Cue> kCues = {
    {1000, 4000, "床前明月光"},   {4000, 6500, "疑是地上霜"},   {7000, 17000, "Hello world"},
    {7000, 17000, "你好世界"},    {30000, 40000, "举头望明月"}, {40000, 50000, "疑是地上霜"},
    {65123, 80000, "低头思故乡"},
};
// Word starts of the cues with word timing, and the end tag where there is one.
const std::map<int64_t, std::vector<int64_t>> kWords = {
    {1000, {1000, 1480, 2000, 2500, 3000}},
    {4000, {4000, 5000}},
    {7000, {7000, 7300, 7600, 8200}},
    {40000, {40000, 41000}},
};

std::vector<Cue> Plain(const SubtitleTrack& track) {
  std::vector<Cue> out;
  for (const SubtitleCue& c : track.cues) out.push_back({c.start, c.end, c.text});
  return out;
}

std::string Temp(const std::string& name) {
  return ::testing::TempDir() + "subtitles_" + name;
}
void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
int Shell(const std::string& command, std::string* out) {
  FILE* f = popen(command.c_str(), "r");
  out->clear();
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out->append(buf, n);
  const int status = pclose(f);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
bool HaveFfmpeg() {
  std::string out;
  return Shell("ffmpeg -version >/dev/null 2>&1", &out) == 0;
}

// ffmpeg's reading of a subtitle file, as the cues of the SRT it converts it to.
std::vector<Cue> ReadByFfmpeg(const std::string& path) {
  std::string srt;
  EXPECT_EQ(Shell("ffmpeg -v error -i '" + path + "' -f srt - 2>&1", &srt), 0) << srt;
  std::vector<Cue> out;
  const std::regex timing(R"((\d+):(\d\d):(\d\d),(\d{3}) --> (\d+):(\d\d):(\d\d),(\d{3}))");
  std::istringstream in(srt);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, timing)) continue;
    const auto ms = [&m](int i) {
      return ((std::stoll(m[i]) * 60 + std::stoll(m[i + 1])) * 60 + std::stoll(m[i + 2])) * 1000 +
             std::stoll(m[i + 3]);
    };
    Cue cue{ms(1), ms(5), ""};
    while (std::getline(in, line) && !line.empty() && line != "\r")
      cue.text += std::regex_replace(line, std::regex("<[^>]*>|\r"), "");
    out.push_back(cue);
  }
  return out;
}

TEST(SubtitlesTest, CuesFollowTheRules) {
  SubtitleTrack track = CuesFromLyrics(kLyric, 80000);
  EXPECT_EQ(Plain(track), kCues);
  EXPECT_EQ(track.title, "静夜思");
  EXPECT_EQ(track.artist, "李白");
  EXPECT_EQ(track.album, "唐诗三百首");
  for (const SubtitleCue& cue : track.cues) {
    std::vector<int64_t> starts;
    for (const Syllable& s : cue.syllables) starts.push_back(s.start);
    const auto words = kWords.find(cue.start);
    const bool timed = words != kWords.end() && cue.text != "你好世界";
    EXPECT_EQ(starts, timed ? words->second : std::vector<int64_t>{}) << cue.text;
  }
  // Without the song's length the last cue lasts 5 s.
  track = CuesFromLyrics(kLyric, std::nullopt);
  EXPECT_EQ(track.cues.back().end, 70123);

  const struct {
    const char* lyric;
    std::vector<Cue> cues;
  } cases[] = {
      // A cue starting after the song's end lasts 5 s; sorted by time, text order kept.
      {"[02:00.00]late\n[00:01.00]early", {{1000, 11000, "early"}, {120000, 125000, "late"}}},
      // Players apply the offset; so does the export.
      {"[offset:500]\n[00:01.00]a\n[00:02.00]b", {{1500, 2500, "a"}, {2500, 90000, "b"}}},
      // A header line by its first tag; bracketed text is no lyric; spaces are trimmed.
      {"[Chorus][00:01.00]x\n[00:01.00] [x]y　\n[00:02.00]  ", {{1000, 2000, "y"}}},
      {"no times\n[ti:only a title]\n[00:01.2.3]not a time", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Plain(CuesFromLyrics(c.lyric, 90000)), c.cues) << c.lyric;
}

// SRT, WebVTT and ASS as ffmpeg reads them; ASS counts centiseconds, so 65.123 s is
// 65.12 s there.
TEST(SubtitlesTest, FfmpegReadsTheCues) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  const SubtitleTrack track = CuesFromLyrics(kLyric, 80000);
  for (SubtitleFormat format :
       {SubtitleFormat::kSrt, SubtitleFormat::kWebVtt, SubtitleFormat::kAss}) {
    const std::string path = Temp(std::string("cues.") + SubtitleExtension(format));
    Write(path, (SubtitleNeedsBom(format) ? "\xEF\xBB\xBF" : "") + WriteSubtitles(track, format));
    std::vector<Cue> expected = kCues;
    if (format == SubtitleFormat::kAss) expected.back().start = 65120;
    EXPECT_EQ(ReadByFfmpeg(path), expected) << path;
  }
}

// Each karaoke line's \kf durations add up to its cue's length, word by word as tagged.
TEST(SubtitlesTest, AssKaraokeTimesEveryWord) {
  const std::string ass = WriteSubtitles(CuesFromLyrics(kLyric, 80000), SubtitleFormat::kAss);
  EXPECT_NE(ass.find("Title: 静夜思\r\n"), std::string::npos);
  const std::regex dialogue(
      R"(Dialogue: 0,(\d+):(\d\d):(\d\d)\.(\d\d),(\d+):(\d\d):(\d\d)\.(\d\d),Karaoke,,0,0,0,,(.*)\r)");
  std::map<int64_t, std::vector<int64_t>> words;
  std::istringstream in(ass);
  int karaoke = 0;
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (!std::regex_match(line, m, dialogue)) continue;
    const auto cs = [&m](int i) {
      return ((std::stoll(m[i]) * 60 + std::stoll(m[i + 1])) * 60 + std::stoll(m[i + 2])) * 100 +
             std::stoll(m[i + 3]);
    };
    const std::string text = m[9];
    int64_t at = cs(1) * 10, sum = 0;
    std::vector<int64_t> starts;
    const std::regex k(R"(\{\\kf(\d+)\})");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), k); it != std::sregex_iterator();
         ++it) {
      starts.push_back(at);
      at += std::stoll((*it)[1]) * 10;
      sum += std::stoll((*it)[1]);
    }
    if (starts.empty()) continue;
    ++karaoke;
    EXPECT_EQ(sum, cs(5) - cs(1)) << line;
    words[cs(1) * 10] = starts;
  }
  EXPECT_EQ(karaoke, 4);
  for (const auto& [start, expected] : kWords) EXPECT_EQ(words[start], expected) << start;
}

// libass (ffmpeg's ass filter) shows the karaoke line filling word by word: the sung part
// in the first colour (gold), the rest in the second (white).
TEST(SubtitlesTest, LibassFillsWordByWord) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  const std::string path = Temp("fill.ass");
  Write(path, "\xEF\xBB\xBF" + WriteSubtitles(CuesFromLyrics(kLyric, 80000), SubtitleFormat::kAss));
  const auto pixels = [&path](double at) {
    std::string rgb;
    EXPECT_EQ(Shell("ffmpeg -v error -f lavfi -i color=c=black:s=640x360:d=5 -vf \"ass='" + path +
                        "'\" -ss " + std::to_string(at) +
                        " -frames:v 1 -f rawvideo -pix_fmt rgb24 - 2>/dev/null",
                    &rgb),
              0);
    std::pair<int, int> goldWhite{0, 0};
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      const auto r = static_cast<uint8_t>(rgb[i]), g = static_cast<uint8_t>(rgb[i + 1]),
                 b = static_cast<uint8_t>(rgb[i + 2]);
      if (r > 200 && g > 150 && g < 230 && b < 90) ++goldWhite.first;
      if (r > 200 && g > 200 && b > 200) ++goldWhite.second;
    }
    return goldWhite;
  };
  EXPECT_EQ(pixels(0.5), std::make_pair(0, 0));  // before the first cue
  const auto first = pixels(1.3), third = pixels(2.3), last = pixels(3.95);
  EXPECT_GT(first.first, 0);
  EXPECT_GT(first.second, 2 * first.first);  // one word of five sung
  EXPECT_GT(third.first, first.first);
  EXPECT_LT(third.second, first.second);
  EXPECT_GT(last.first, 4 * last.second);  // nearly all sung
}

// Qt's XML reader finds the header, the cues and one span per word, from its tag to the
// next (the last one to the end tag or the cue's end).
TEST(SubtitlesTest, TtmlCarriesCuesAndWordSpans) {
  using Span = std::pair<int64_t, int64_t>;
  const std::map<int64_t, std::vector<Span>> kSpans = {
      {1000, {{1000, 1480}, {1480, 2000}, {2000, 2500}, {2500, 3000}, {3000, 4000}}},
      {4000, {{4000, 5000}, {5000, 6500}}},
      {7000, {{7000, 7300}, {7300, 7600}, {7600, 8200}}},
      {40000, {{40000, 41000}, {41000, 50000}}},
  };
  const std::string ttml = WriteSubtitles(CuesFromLyrics(kLyric, 80000), SubtitleFormat::kTtml);
  QXmlStreamReader xml(QString::fromStdString(ttml));
  const auto attr = [&xml](const char* name) {
    const QStringList f = xml.attributes().value(QLatin1String(name)).toString().split(':');
    return f.size() != 3
               ? -1
               : std::llround((f[0].toInt() * 3600 + f[1].toInt() * 60 + f[2].toDouble()) * 1000);
  };
  std::vector<Cue> cues;
  std::string header, timing;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == u"tt") {
      timing = xml.attributes()
                   .value(QStringLiteral("http://music.apple.com/lyric-ttml-internal"),
                          QStringLiteral("timing"))
                   .toString()
                   .toStdString();
    } else if (xml.name() == u"title" || xml.name() == u"name" || xml.name() == u"item") {
      header += xml.readElementText().toStdString() + "|";
    } else if (xml.name() == u"p") {
      Cue cue{attr("begin"), attr("end"), ""};
      std::vector<Span> spans;
      while (!xml.atEnd() &&
             !(xml.readNext() == QXmlStreamReader::EndElement && xml.name() == u"p")) {
        if (xml.isCharacters()) cue.text += xml.text().toString().toStdString();
        if (xml.isStartElement() && xml.name() == u"span")
          spans.emplace_back(attr("begin"), attr("end"));
      }
      const auto expected = kSpans.find(cue.start);
      EXPECT_EQ(spans, expected == kSpans.end() || cue.text == "你好世界" ? std::vector<Span>{}
                                                                          : expected->second)
          << cue.text;
      cues.push_back(cue);
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(timing, "Word");
  EXPECT_EQ(header, "静夜思|李白|唐诗三百首|");
  EXPECT_EQ(cues, kCues);
}

std::string Imported(std::string_view text, SubtitleFormat format, bool three = false) {
  std::string err;
  const std::optional<SubtitleTrack> track = ReadSubtitles(text, format, &err);
  EXPECT_TRUE(track) << err << "\n" << text;
  return track ? LyricsFromCues(*track, three) : std::string();
}

constexpr char kHandSrt[] =
    "1\r\n00:00:01,000 --> 00:00:03,500\r\n<i>First</i> line\r\nsecond row\r\n\r\n"
    "2\r\n00:00:03,500 --> 00:00:05,000 X1:10 X2:20 Y1:5 Y2:6\r\n{\\an8}Top & more\r\n\r\n"
    "3\r\n00:01:10,120 --> 00:01:12,000\r\n<font color=\"#ff0000\">静夜思</font>\r\n";
constexpr char kHandSrtLyric[] =
    "[00:01.00]First line\r\n[00:01.00]second row\r\n[00:03.50]Top & more\r\n[00:05.00]\r\n"
    "[01:10.12]静夜思\r\n[01:12.00]";

// Files written by hand, with styling, multi-line cues and karaoke timing, into lyrics.
TEST(SubtitlesTest, ImportsHandWrittenFiles) {
  const struct {
    SubtitleFormat format;
    const char* file;
    const char* lyric;
  } cases[] = {
      {SubtitleFormat::kSrt, kHandSrt, kHandSrtLyric},
      {SubtitleFormat::kWebVtt,
       "\xEF\xBB\xBFWEBVTT - lyrics\nKind: captions\n\nSTYLE\n::cue { color: yellow }\n\n"
       "NOTE\n[ti:Song]\n[ar:Singer]\n\nintro\n00:01.000 --> 00:00:04.000 align:center line:90%\n"
       "<v Singer><c.red>床</c><00:00:01.500>前<00:00:02.000>明 &amp; 月</v>\n\n"
       "00:00:10.000 --> 00:00:12.000\n<ruby>漢<rt>kan</rt></ruby>字 &lt;3\n",
       "[ti:Song]\r\n[ar:Singer]\r\n[00:01.00]<00:01.00>床<00:01.50>前<00:02.00>明 & 月\r\n"
       "[00:04.00]\r\n[00:10.00]漢字 <3\r\n[00:12.00]"},
      {SubtitleFormat::kAss,
       "[Script Info]\nTitle: Karaoke test\nScriptType: v4.00+\n\n[V4+ Styles]\n"
       "Format: Name, Fontname\nStyle: Default,Arial\n\n[Events]\n"
       "Format: Layer, Start, End, Style, Actor, MarginL, MarginR, MarginV, Effect, Text\n"
       "Comment: 0,0:00:00.00,0:00:05.00,Default,,0,0,0,karaoke,{\\k100}ignored\n"
       "Dialogue: 0,0:00:01.00,0:00:04.00,Default,,0,0,0,,"
       "{\\an8\\c&H00FF00&}{\\k50}Ka{\\K25}ra{\\kf25}o\\N{\\ko100}ke\n"
       "Dialogue: 0,0:00:05.00,0:00:07.50,Default,,0,0,0,,{\\i1}Plain{\\i0}, with commas\\hhere\n",
       "[ti:Karaoke test]\r\n[00:01.00]<00:01.00>Ka<00:01.50>ra<00:01.75>o\r\n"
       "[00:01.00]<00:02.00>ke<00:03.00>\r\n[00:04.00]\r\n"
       "[00:05.00]Plain, with commas here\r\n[00:07.50]"},
      {SubtitleFormat::kAss,  // SSA, the older form
       "[Script Info]\nScriptType: v4.00\n\n[Events]\n"
       "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
       "Dialogue: Marked=0,0:00:02.50,0:00:03.00,*Default,NTP,0000,0000,0000,,Old style\n",
       "[00:02.50]Old style\r\n[00:03.00]"},
      {SubtitleFormat::kTtml,  // as music players have it: times from the song's start
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- by hand -->\n"
       "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\" "
       "xmlns:itunes=\"http://music.apple.com/lyric-ttml-internal\" itunes:timing=\"Word\">"
       "<head><metadata><ttm:title>T &amp; T</ttm:title></metadata></head>"
       "<body dur=\"1:00.000\"><div begin=\"12.000\" end=\"20.000\">\n"
       "<p begin=\"00:12.000\" end=\"00:15.000\" ttm:agent=\"v1\">"
       "<span begin=\"00:12.000\" end=\"00:12.480\">Hello</span> <span begin=\"12.48\" "
       "end=\"13.2\"><span tts:fontStyle=\"italic\">wor</span>ld</span>"
       "<span ttm:role=\"x-translation\">你好</span></p>\n"
       "<p begin=\"16s\" end=\"18s\"><metadata><ttm:desc>not sung</ttm:desc></metadata>"
       "Line one<br/>line\n   two</p>\n</div></body></tt>",
       "[ti:T & T]\r\n[00:12.00]<00:12.00>Hello <00:12.48>world<00:13.20>\r\n[00:15.00]\r\n"
       "[00:16.00]Line one\r\n[00:16.00]line two\r\n[00:18.00]"},
      {SubtitleFormat::kTtml,  // the standard's relative times, ticks and durations
       "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\" "
       "ttp:tickRate=\"10000000\"><body><div begin=\"10s\">"
       "<p begin=\"0s\" end=\"20000000t\">A</p><p begin=\"2.5s\" dur=\"1s\">"
       "<span begin=\"0s\" end=\"0.5s\">B</span><span "
       "begin=\"500ms\">C</span></p></div></body></tt>",
       "[00:10.00]A\r\n[00:12.00]\r\n[00:12.50]<00:12.50>B<00:13.00>C\r\n[00:13.50]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Imported(c.file, c.format), c.lyric) << c.file;
  // The format from the text, for files named otherwise.
  for (const auto& c : cases) EXPECT_EQ(GuessSubtitleFormat(c.file), c.format) << c.file;
  EXPECT_EQ(GuessSubtitleFormat("[ti:x]\n[00:01.00]a"), std::nullopt);
  // Thousandths when the setting asks for them.
  EXPECT_EQ(Imported("1\n00:00:01,234 --> 00:00:02,000\nx\n", SubtitleFormat::kSrt, true),
            "[00:01.234]x\r\n[00:02.000]");
  // Files holding no cue of their format.
  for (const auto& [format, text] :
       {std::pair{SubtitleFormat::kSrt, "just text\n\nmore"},
        {SubtitleFormat::kWebVtt, "WEBVTT\n\n"},
        {SubtitleFormat::kAss, "[Events]\nDialogue: broken"},
        {SubtitleFormat::kTtml, "<html/>"},
        {SubtitleFormat::kTtml, "<tt><body><p>no times</p></body></tt>"}}) {
    std::string err;
    EXPECT_FALSE(ReadSubtitles(text, format, &err)) << text;
    EXPECT_FALSE(err.empty());
  }
}

// ffmpeg's own ASS, WebVTT and TTML of the hand-written SRT read as that SRT does.
TEST(SubtitlesTest, ImportsFilesWrittenByFfmpeg) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  Write(Temp("hand.srt"), kHandSrt);
  for (SubtitleFormat format :
       {SubtitleFormat::kAss, SubtitleFormat::kWebVtt, SubtitleFormat::kTtml}) {
    const std::string path = Temp(std::string("ffmpeg.") + SubtitleExtension(format));
    std::string out;
    ASSERT_EQ(Shell("ffmpeg -v error -y -i '" + Temp("hand.srt") + "' '" + path + "' 2>&1", &out),
              0)
        << out;
    EXPECT_EQ(Imported(Read(path), format), kHandSrtLyric) << path;
  }
}

// Every timed line comes back at its time, a line sung twice as two lines; words too
// where the format keeps them (all but SRT).
TEST(SubtitlesTest, RoundTripKeepsEveryTimedLine) {
  const std::string words =
      "[00:01.000]<00:01.000>床<00:01.480>前<00:02.000>明<00:02.500>月<00:03.000>光\r\n"
      "[00:04.000]<00:04.000>疑是<00:05.000>地上霜\r\n[00:06.500]\r\n"
      "[00:07.000]<00:07.000>Hel<00:07.300>lo <00:07.600>world<00:08.200>\r\n"
      "[00:07.000]你好世界\r\n[00:17.000]\r\n[00:30.000]举头望明月\r\n"
      "[00:40.000]<00:40.000>疑是<00:41.000>地上霜\r\n[00:50.000]\r\n";
  const std::string header = "[ti:静夜思]\r\n[ar:李白]\r\n[al:唐诗三百首]\r\n";
  const std::string tail = "[01:05.123]低头思故乡\r\n[01:20.000]";
  const SubtitleTrack track = CuesFromLyrics(kLyric, 80000);
  for (SubtitleFormat format : {SubtitleFormat::kSrt, SubtitleFormat::kWebVtt, SubtitleFormat::kAss,
                                SubtitleFormat::kTtml}) {
    std::string expected = words;
    if (format == SubtitleFormat::kSrt)
      expected = std::regex_replace(words, std::regex("<[^>]*>"), "");
    if (format != SubtitleFormat::kSrt)
      expected.insert(0, format == SubtitleFormat::kAss ? "[ti:静夜思]\r\n" : header);
    expected += format == SubtitleFormat::kAss ? "[01:05.120]低头思故乡\r\n[01:20.000]" : tail;
    EXPECT_EQ(Imported(WriteSubtitles(track, format), format, true), expected)
        << SubtitleExtension(format);
  }
}

#ifdef LIROTAG_CLI
// The commands: each format written whole (SRT and ASS with a byte-order mark), the
// song's exact length ending the last cue; bad input one line and no file.
TEST(SubtitlesTest, CommandLineExportsAndImports) {
  const std::string cli = "'" LIROTAG_CLI "' ";
  Write(Temp("in.lrc"), std::string("\xEF\xBB\xBF") + kLyric);
  ASSERT_TRUE(testing::WriteWav(Temp("song.wav"), 8000, 8000 * 80 + 4));  // 80.0005 s
  std::string out;
  for (SubtitleFormat format : {SubtitleFormat::kSrt, SubtitleFormat::kWebVtt, SubtitleFormat::kAss,
                                SubtitleFormat::kTtml}) {
    const std::string path = Temp(std::string("cli.") + SubtitleExtension(format));
    EXPECT_EQ(Shell(cli + "export --format " + SubtitleExtension(format) + " --song '" +
                        Temp("song.wav") + "' '" + Temp("in.lrc") + "' '" + path + "' 2>&1",
                    &out),
              0)
        << out;
    const std::string bom = SubtitleNeedsBom(format) ? "\xEF\xBB\xBF" : "";
    SubtitleTrack track = CuesFromLyrics(kLyric, 80001);
    EXPECT_EQ(Read(path), bom + WriteSubtitles(track, format));
  }
  EXPECT_EQ(Shell(cli + "import '" + Temp("cli.vtt") + "' '" + Temp("back.lrc") + "' 2>&1", &out),
            0)
      << out;
  EXPECT_EQ(Read(Temp("back.lrc")).substr(0, 19), "\xEF\xBB\xBF[ti:静夜思]\r\n");
  // TTML named .xml, as downloads often are: known by its text.
  Write(Temp("lyrics.xml"), Read(Temp("cli.ttml")));
  EXPECT_EQ(Shell(cli + "import --three-decimals '" + Temp("lyrics.xml") + "' '" + Temp("xml.lrc") +
                      "' 2>&1",
                  &out),
            0)
      << out;
  EXPECT_NE(Read(Temp("xml.lrc")).find("[01:05.123]低头思故乡\r\n[01:20.001]"), std::string::npos);

  Write(Temp("untimed.lrc"), "[ti:x]\nno time here\n");
  Write(Temp("junk.srt"), "not a subtitle\n");
  for (const std::string& args :
       {"export --format mp4 '" + Temp("in.lrc") + "' '" + Temp("bad.out") + "'",
        "export --format srt '" + Temp("untimed.lrc") + "' '" + Temp("bad.out") + "'",
        "export --format srt --song '" + Temp("missing.wav") + "' '" + Temp("in.lrc") + "' '" +
            Temp("bad.out") + "'",
        "import '" + Temp("junk.srt") + "' '" + Temp("bad.out") + "'",
        "import '" + Temp("in.lrc") + "' '" + Temp("bad.out") + "'"}) {
    EXPECT_EQ(Shell(cli + args + " 2>&1", &out), 2) << args;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_FALSE(std::ifstream(Temp("bad.out")).good()) << args;
  }
}
#endif

}  // namespace
}  // namespace lirotag
