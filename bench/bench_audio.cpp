// Audio engine measurements: opening a long VBR MP3 without TOC (the packet index scan
// included), and an exact seek with the first 100 ms decoded after it.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "audio/audio_engine.h"
#include "audio/player.h"

namespace {

std::string LongVbrMp3() {
  static std::string path = [] {
    auto p = std::filesystem::temp_directory_path() /
             ("lirotag_bench_" + std::to_string(getpid()) + ".mp3");
    std::string cmd =
        "sox -n -r 44100 -c 2 -t wav - synth 600 sine 200-4000 2>/dev/null | "
        "lame --quiet -V 4 -t - '" +
        p.string() + "'";
    if (std::system(cmd.c_str()) != 0) return std::string();
    return p.string();
  }();
  return path;
}

void BM_OpenTenMinuteVbrMp3WithoutToc(benchmark::State& state) {
  std::string path = LongVbrMp3();
  if (path.empty()) return state.SkipWithError("sox/lame missing");
  auto engine = lirotag::CreateAudioEngine();
  engine->Init(lirotag::kNoSoundDevice, 44100, 0, nullptr, nullptr);
  for (auto _ : state) {
    lirotag::Player p(*engine);
    if (!p.Load(path, true, false, false)) return state.SkipWithError("load failed");
    benchmark::DoNotOptimize(p.LengthSeconds());
    p.Free();
  }
  engine->Free();
}
BENCHMARK(BM_OpenTenMinuteVbrMp3WithoutToc)->Unit(benchmark::kMillisecond);

void BM_ExactSeekAndFirst100ms(benchmark::State& state) {
  std::string path = LongVbrMp3();
  if (path.empty()) return state.SkipWithError("sox/lame missing");
  auto engine = lirotag::CreateAudioEngine();
  engine->Init(lirotag::kNoSoundDevice, 44100, 0, nullptr, nullptr);
  lirotag::Player p(*engine);
  if (!p.Load(path, true, false, false)) return state.SkipWithError("load failed");
  std::vector<float> buf(4410 * 2);
  double t = 1.234;
  for (auto _ : state) {
    p.SeekSeconds(t);
    engine->ChannelRead(p.Handle(), buf.data(), 4410);
    t = t > 500 ? 1.234 : t + 97.531;
  }
  p.Free();
  engine->Free();
}
BENCHMARK(BM_ExactSeekAndFirst100ms)->Unit(benchmark::kMillisecond);

}  // namespace
