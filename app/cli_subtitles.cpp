// lirotag-cli export / import: a timed lyric as a subtitle file, and a subtitle file as
// a lyric.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/cli_commands.h"
#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "files/lyric_file.h"
#include "lyrics/subtitles.h"

namespace lirotag {

const char kSubtitlesHelp[] =
    "export --format srt|vtt|ass|ttml [--song SONG | --length SECONDS] LYRICS OUT\n"
    "        writes the lyric's timed lines as subtitles: one cue per time tag, ending\n"
    "        where the next starts (at most 10 s later); the last ends at the song's end\n"
    "        (its exact length, from --song or --length), else 5 s after it starts.\n"
    "        Word tags become ASS karaoke (\\kf), WebVTT timestamps and TTML word spans.\n"
    "        SRT and ASS are written with a UTF-8 byte-order mark.\n"
    "import [--three-decimals] [--encoding N] SUBTITLES OUT.lrc\n"
    "        reads SRT, WebVTT, ASS/SSA or TTML (by the file's extension, else by its\n"
    "        text) into a lyric: one line per text line of a cue at its time, word tags\n"
    "        from the word timing, an empty timed line where the screen clears; written\n"
    "        as the editor saves (N 0 GBK, 1 UTF-16, 2 UTF-8 with byte-order mark, the\n"
    "        default).\n";

namespace {

// The song's exact length, as `probe` finds it.
bool SongLengthMs(const std::string& song, int64_t* ms, std::string* err) {
  constexpr uint32_t kLengthWaitMs = 10 * 60 * 1000;
  auto engine = CreateAudioEngine();
  engine->Init(kNoSoundDevice, 44100, 0, nullptr, nullptr);
  std::error_code ec;
  auto self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) LoadPlugins(*engine, (self.parent_path() / "Plugins").string());
  bool ok = false;
  {
    Player player(*engine);
    if (player.Load(song, true, false, false)) {
      engine->ChannelLengthIsExact(player.Handle(), kLengthWaitMs);
      *ms = std::llround(player.LengthSeconds() * 1000.0);
      ok = true;
    } else {
      *err = "cannot open " + song + ": unreadable, or not a song this program plays";
    }
    player.Destroy();
  }
  engine->Free();
  return ok;
}

bool ReadText(RealFileSystem& fs, const std::string& path, std::string* text, std::string* err) {
  std::string bytes;
  if (!fs.ReadFile(path, &bytes, err)) {
    *err = "cannot read " + path + ": " + *err;
    return false;
  }
  *text = LyricTextFromBytes(bytes);
  return true;
}

}  // namespace

int RunExportCommand(int argc, char** argv) {
  std::optional<SubtitleFormat> format;
  std::string song;
  std::optional<int64_t> lengthMs;
  std::vector<std::string> files;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--format") {
      if (i + 1 >= argc) return Usage("--format needs srt, vtt, ass or ttml");
      format = SubtitleFormatFromName(argv[++i]);
      if (!format) return Usage(std::string("unknown format '") + argv[i] + "'");
    } else if (a == "--song") {
      if (i + 1 >= argc) return Usage("--song needs a song");
      song = argv[++i];
    } else if (a == "--length") {
      char* end = nullptr;
      const double v = i + 1 < argc ? std::strtod(argv[++i], &end) : -1;
      if (!end || end == argv[i] || *end != '\0' || !std::isfinite(v) || v < 0 || v > 1e9)
        return Usage("--length needs a number of seconds");
      lengthMs = std::llround(v * 1000.0);
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (!format) return Usage("export needs --format srt, vtt, ass or ttml");
  if (!song.empty() && lengthMs) return Usage("--song and --length cannot both be given");
  if (files.size() != 2) return Usage("export needs a lyric file and an output file");

  RealFileSystem fs;
  std::string text, err;
  if (!ReadText(fs, files[0], &text, &err)) return Fail(err);
  const SubtitleTrack track = CuesFromLyrics(text, lengthMs);
  if (track.cues.empty()) return Fail(files[0] + " has no timed line");
  if (!song.empty()) {
    int64_t ms = 0;
    if (!SongLengthMs(song, &ms, &err)) return Fail(err);
    lengthMs = ms;
  }
  std::string body = WriteSubtitles(CuesFromLyrics(text, lengthMs), *format);
  if (SubtitleNeedsBom(*format)) body.insert(0, "\xEF\xBB\xBF");
  if (!fs.WriteFileAtomic(files[1], body, &err))
    return Fail("cannot write " + files[1] + ": " + err);
  return 0;
}

int RunImportCommand(int argc, char** argv) {
  bool three = false;
  long encoding = 2;
  std::vector<std::string> files;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--three-decimals") {
      three = true;
    } else if (a == "--encoding") {
      char* end = nullptr;
      if (i + 1 >= argc) return Usage("--encoding needs 0, 1 or 2");
      encoding = std::strtol(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || encoding < 0 || encoding > 2)
        return Usage("--encoding needs 0, 1 or 2");
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return Usage("import needs a subtitle file and an output file");
  RealFileSystem fs;
  std::string text, err;
  if (!ReadText(fs, files[0], &text, &err)) return Fail(err);
  // The extension says which format; a file named otherwise (TTML as .xml) by its text.
  std::optional<SubtitleFormat> format = SubtitleFormatOfPath(files[0]);
  if (!format) format = GuessSubtitleFormat(text);
  if (!format) return Fail(files[0] + " is not SRT, WebVTT, ASS/SSA or TTML");
  const std::optional<SubtitleTrack> track = ReadSubtitles(text, *format, &err);
  if (!track) return Fail("cannot read " + files[0] + " as subtitles: " + err);
  const std::string body =
      EncodeLyricText(LyricsFromCues(*track, three), static_cast<int>(encoding));
  if (!fs.WriteFileAtomic(files[1], body, &err))
    return Fail("cannot write " + files[1] + ": " + err);
  return 0;
}

}  // namespace lirotag
