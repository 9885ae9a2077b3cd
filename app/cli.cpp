// lirotag-cli: the audio engine without a window.
//   lirotag-cli probe SONG
//   lirotag-cli render SONG --from T --seconds D --out X.wav
// `render` writes what the output would play after SeekSeconds(T), as 32-bit float WAV
// at the song's own rate and channel count, as fast as it decodes.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/player.h"

namespace lirotag {
namespace {

// Far more than counting the longest song takes; the wait ends as soon as it is done.
constexpr uint32_t kLengthWaitMs = 10 * 60 * 1000;

int Usage() {
  std::fprintf(stderr,
               "usage: lirotag-cli probe SONG\n"
               "       lirotag-cli render SONG --from T --seconds D --out X.wav\n");
  return 2;
}

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

int Run(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string cmd = argv[1], song = argv[2];
  double from = 0, seconds = -1;
  std::string out;
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    if (a == "--from") {
      if (!ParseSeconds(argv[++i], &from)) return Usage();
    } else if (a == "--seconds") {
      if (!ParseSeconds(argv[++i], &seconds)) return Usage();
    } else if (a == "--out") {
      out = argv[++i];
    } else {
      return Usage();
    }
  }
  if (cmd != "probe" && cmd != "render") return Usage();
  if (cmd == "render" && (seconds < 0 || out.empty())) return Usage();

  auto engine = CreateAudioEngine();
  engine->Init(kNoSoundDevice, 44100, 0, nullptr, nullptr);
  std::error_code ec;
  auto self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) LoadPlugins(*engine, (self.parent_path() / "Plugins").string());
  int rc = 0;
  {
    Player player(*engine);
    if (!player.Load(song, true, false, false)) {
      std::fprintf(stderr, "lirotag-cli: cannot open %s\n", song.c_str());
      engine->Free();
      return 1;
    }
    ChannelInfo info = player.GetInfo();
    if (cmd == "probe") {
      // Some containers only estimate their length at open; the engine counts the
      // decoded frames beside it (a second or two for an hour of audio).
      if (!engine->ChannelLengthIsExact(player.Handle(), kLengthWaitMs))
        std::fprintf(stderr, "lirotag-cli: the length is the container's estimate\n");
      std::printf("length: %.6f\nsample_rate: %u\nchannels: %u\ndecoder: %s\n",
                  player.LengthSeconds(), info.freq, info.chans,
                  engine->ChannelGetDecoder(player.Handle()).c_str());
    } else {
      if (!player.SeekSeconds(from)) {
        std::fprintf(stderr, "lirotag-cli: cannot seek to %.6f\n", from);
        rc = 1;
      } else {
        int64_t want = std::llround(seconds * info.freq);
        std::vector<float> data(static_cast<size_t>(want) * info.chans);
        int64_t got = 0;
        while (got < want) {
          int64_t n = engine->ChannelRead(player.Handle(), data.data() + got * info.chans,
                                          std::min<int64_t>(want - got, 65536));
          if (n <= 0) break;
          got += n;
        }
        data.resize(static_cast<size_t>(got) * info.chans);
        std::string err;
        if (!WriteFloatWav(out, static_cast<int>(info.freq), static_cast<int>(info.chans), data,
                           &err)) {
          std::fprintf(stderr, "lirotag-cli: %s\n", err.c_str());
          rc = 1;
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
