// lirotag-cli: the audio engine without a window, for scripts and checks.
//   lirotag-cli probe [--json] SONG
//   lirotag-cli render SONG --from T --seconds D [--speed S] --out X.wav
//   lirotag-cli peaks SONG [--columns N] [--from T] [--seconds D]
//   lirotag-cli lrc COMMAND [options] FILE
//   lirotag-cli tags [--picture OUT] FILE…
//   lirotag-cli lrclib get|search|publish …
//   lirotag-cli lyrics extract [--out FILE] SONG | lyrics embed SONG LYRICS
// `render` writes what the output would play after SeekSeconds(T), at playback speed S
// (D seconds of the song, so about D / S seconds of sound), as 32-bit float WAV at the
// song's own rate (mono songs as one channel, every other layout folded into
// stereo), as fast as it decodes. Exit status 0 on success, 2 on any failure, with one
// line on standard error saying why.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "audio/audio_engine.h"
#include "audio/engine_module.h"
#include "audio/player.h"
#include "files/program_modules.h"

namespace lirotag {
namespace {

// Far more than counting the longest song takes; the wait ends as soon as it is done.
constexpr uint32_t kLengthWaitMs = 10 * 60 * 1000;

constexpr char kUsage[] =
    "usage: lirotag-cli probe [--json] SONG\n"
    "       lirotag-cli render SONG --from T --seconds D [--speed S] --out X.wav\n"
    "       lirotag-cli peaks SONG [--columns N] [--from T] [--seconds D]\n"
    "       lirotag-cli lrc COMMAND [--time SECONDS] [--three-decimals] [--crlf] FILE\n"
    "       lirotag-cli lrc convert [--from ENCODING] --encoding N IN OUT\n"
    "       lirotag-cli lrc detect FILE...\n"
    "       lirotag-cli tags [--picture OUT] FILE...\n"
    "       lirotag-cli lrclib get [--server URL] [--out FILE] SONG\n"
    "       lirotag-cli lrclib search [--server URL] WORDS...\n"
    "       lirotag-cli lrclib publish [--server URL] SONG LYRICS\n"
    "       lirotag-cli export --format srt|vtt|ass|ttml [--song SONG | --length S] LYRICS OUT\n"
    "       lirotag-cli import [--three-decimals] [--encoding N] SUBTITLES OUT.lrc\n"
    "       lirotag-cli lyrics extract [--out FILE] SONG\n"
    "       lirotag-cli lyrics embed SONG LYRICS\n"
    "       lirotag-cli --help\n";

constexpr char kHelp[] =
    "\n"
    "probe   prints the song's length in seconds (what a decode from the start gives),\n"
    "        sample rate, channel count as played and decoder; --json prints one JSON\n"
    "        object instead.\n"
    "render  seeks to T seconds, as the editor's player does, and writes the next D\n"
    "        seconds (fewer at the end of the song) as a 32-bit float WAV file; with\n"
    "        --speed S (0.25 to 2) played S times as fast with the pitch kept, so the\n"
    "        file lasts D / S seconds.\n"
    "tags    prints one JSON object per file: its eight song tags, or why they could\n"
    "        not be read; --picture writes the single file's embedded picture.\n";

constexpr char kExitHelp[] =
    "\n"
    "Exit status: 0 on success, 2 on bad usage or when a file cannot be opened,\n"
    "read, sought or written.\n";

void Put16(std::vector<uint8_t>* b, uint16_t v) {
  b->push_back(v & 0xFF);
  b->push_back(v >> 8);
}
void Put32(std::vector<uint8_t>* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back((v >> (8 * i)) & 0xFF);
}

bool WriteFloatWav(const std::string& path, int rate, int chans, const std::vector<float>& data,
                   std::string* err) {
  uint64_t bytes = data.size() * 4;
  if (bytes > 0xFFFFFF00u) {
    *err = "too long for a WAV file";
    return false;
  }
  std::vector<uint8_t> h;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  Put32(&h, static_cast<uint32_t>(4 + 26 + 12 + 8 + bytes));
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(&h, 18);
  Put16(&h, 3);  // IEEE float
  Put16(&h, static_cast<uint16_t>(chans));
  Put32(&h, static_cast<uint32_t>(rate));
  Put32(&h, static_cast<uint32_t>(rate * chans * 4));
  Put16(&h, static_cast<uint16_t>(chans * 4));
  Put16(&h, 32);
  Put16(&h, 0);
  h.insert(h.end(), {'f', 'a', 'c', 't'});
  Put32(&h, 4);
  Put32(&h, static_cast<uint32_t>(data.size() / chans));
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  Put32(&h, static_cast<uint32_t>(bytes));
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *err = "cannot create " + path;
    return false;
  }
  bool ok = std::fwrite(h.data(), 1, h.size(), f) == h.size() &&
            std::fwrite(data.data(), 4, data.size(), f) == data.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) *err = "cannot write " + path;
  return ok;
}

bool ParseSeconds(const char* s, double* out) {
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s || *end != '\0' || !std::isfinite(v) || v < 0) return false;
  *out = v;
  return true;
}

// Why a song did not open, in the words of every command that opens one.
const char* OpenErrorText(OpenError error) {
  switch (error) {
    case OpenError::kNotFound:
      return "no such file";
    case OpenError::kNotAFile:
      return "not a regular file";
    case OpenError::kNoPermission:
      return "permission denied";
    case OpenError::kDamaged:
      return "damaged, or not what its header claims";
    case OpenError::kUnsupported:
    case OpenError::kNone:
      break;
  }
  return "not a song this program plays";
}

}  // namespace

bool ExactSongLength(const std::string& song, double* seconds, std::string* err) {
  std::string why;
  std::unique_ptr<AudioEngine> engine = LoadAudioEngine(&why);
  if (!engine) {
    *err = "cannot load the audio engine: " + why;
    return false;
  }
  engine->Init(kNoSoundDevice, 44100, 0, nullptr, nullptr);
  std::error_code ec;
  const auto self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) LoadPlugins(*engine, (self.parent_path() / "Plugins").string());
  bool ok = false;
  {
    Player player(*engine);
    if (player.Load(song, true, false, false)) {
      // Far more than counting the longest song takes; the wait ends when it is done.
      ok = engine->ChannelLengthIsExact(player.Handle(), 10 * 60 * 1000);
      *seconds = player.LengthSeconds();
      if (!ok) *err = "cannot count the exact length of " + song;
      player.Destroy();
    } else {
      *err = "cannot open " + song + ": " + OpenErrorText(player.LastOpenError());
    }
  }
  engine->Free();
  return ok;
}

namespace {

int Run(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s%s%s%s%s%s%s%s", kUsage, kHelp, kPeaksHelp, kLrcHelp, kLrclibHelp,
                kSubtitlesHelp, kLyricsHelp, kExitHelp);
    return 0;
  }
  if (argc < 2) return Usage("no command given");
  // Only probe, render and peaks load the engine's library, when they get that far.
  SetProgramModuleDir(LIROTAG_INSTALLED_MODULE_DIR);
  std::string cmd = argv[1];
  if (cmd == "lrc") return RunLrcCommand(argc - 2, argv + 2);
  if (cmd == "tags") return RunTagsCommand(argc - 2, argv + 2);
  if (cmd == "lrclib") return RunLrclibCommand(argc - 2, argv + 2);
  if (cmd == "lyrics") return RunLyricsCommand(argc - 2, argv + 2);
  if (cmd == "peaks") return RunPeaksCommand(argc - 2, argv + 2);
  if (cmd == "export") return RunExportCommand(argc - 2, argv + 2);
  if (cmd == "import") return RunImportCommand(argc - 2, argv + 2);
  if (cmd != "probe" && cmd != "render") return Usage("unknown command '" + cmd + "'");
  std::string song, out;
  double from = 0, seconds = -1, speed = 1.0;
  bool json = false;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    bool has_value = i + 1 < argc;
    if (a == "--json" && cmd == "probe") {
      json = true;
    } else if (a == "--from" || a == "--seconds") {
      if (cmd != "render") return Usage(a + " belongs to render");
      if (!has_value || !ParseSeconds(argv[++i], a == "--from" ? &from : &seconds))
        return Usage(a + " needs a number of seconds, 0 or more");
    } else if (a == "--speed") {
      if (cmd != "render") return Usage(a + " belongs to render");
      if (!has_value || !ParseSeconds(argv[++i], &speed) || speed < kMinPlaybackSpeed ||
          speed > kMaxPlaybackSpeed)
        return Usage("--speed needs a number from 0.25 to 2");
    } else if (a == "--out") {
      if (cmd != "render") return Usage(a + " belongs to render");
      if (!has_value) return Usage("--out needs a file name");
      out = argv[++i];
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return Usage("unknown option '" + a + "'");
    } else if (song.empty()) {
      song = a;
    } else {
      return Usage("more than one song given");
    }
  }
  if (song.empty()) return Usage("no song given");
  if (cmd == "render" && seconds < 0) return Usage("render needs --seconds");
  if (cmd == "render" && out.empty()) return Usage("render needs --out");

  std::string why;
  if (!LoadEngineModule(&why)) return Fail("cannot load the audio engine: " + why);
  auto engine = LoadAudioEngine();
  engine->Init(kNoSoundDevice, 44100, 0, nullptr, nullptr);
  std::error_code ec;
  auto self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) LoadPlugins(*engine, (self.parent_path() / "Plugins").string());
  int rc = 0;
  {
    Player player(*engine);
    if (!player.Load(song, true, false, false)) {
      engine->Free();
      return Fail("cannot open " + song + ": " + OpenErrorText(player.LastOpenError()));
    }
    ChannelInfo info = player.GetInfo();
    if (cmd == "probe") {
      // Some containers only estimate their length at open; the engine counts the
      // decoded frames beside it (a second or two for an hour of audio).
      bool exact = engine->ChannelLengthIsExact(player.Handle(), kLengthWaitMs);
      if (!exact) std::fprintf(stderr, "lirotag-cli: the length is the container's estimate\n");
      std::string decoder = engine->ChannelGetDecoder(player.Handle());
      if (json) {
        std::printf(
            "{\"length\": %.6f, \"length_exact\": %s, \"sample_rate\": %u, \"channels\": %u, "
            "\"decoder\": %s}\n",
            player.LengthSeconds(), exact ? "true" : "false", info.freq, info.chans,
            Json(decoder).c_str());
      } else {
        std::printf("length: %.6f\nsample_rate: %u\nchannels: %u\ndecoder: %s\n",
                    player.LengthSeconds(), info.freq, info.chans, decoder.c_str());
      }
    } else {
      if (!player.SetPlaybackSpeed(speed)) {
        rc = Fail("cannot play this song at another speed");
      } else if (!player.SeekSeconds(from)) {
        char at[64];
        std::snprintf(at, sizeof at, "%.6f", from);
        rc = Fail(std::string("cannot seek to ") + at + " s (the song is " +
                  std::to_string(player.LengthSeconds()) + " s long)");
      } else {
        // Grown as the frames come, so a huge --seconds costs only what the song holds.
        // D seconds of the song are D / S seconds of sound.
        const int64_t want = std::llround(std::min(seconds, 1e9) * info.freq / speed);
        std::vector<float> data;
        int64_t got = 0;
        while (got < want) {
          int64_t chunk = std::min<int64_t>(want - got, 65536);
          data.resize(static_cast<size_t>(got + chunk) * info.chans);
          int64_t n = engine->ChannelRead(player.Handle(), data.data() + got * info.chans, chunk);
          if (n <= 0) break;
          got += n;
        }
        data.resize(static_cast<size_t>(got) * info.chans);
        std::string err;
        if (!WriteFloatWav(out, static_cast<int>(info.freq), static_cast<int>(info.chans), data,
                           &err)) {
          rc = Fail(err);
        }
      }
    }
    player.Destroy();
  }
  engine->Free();
  return rc;
}

}  // namespace
}  // namespace lirotag

int main(int argc, char** argv) {
  return lirotag::Run(argc, argv);
}
