#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "lyrics/time_tags.h"

namespace lirotag {
namespace {

constexpr int kLines = 100000;

// Lyric lines as a long song file would hold them: one to three tags, then text.
const std::vector<std::string>& Lines() {
  static const std::vector<std::string> lines = [] {
    std::mt19937 rng(42);
    std::vector<std::string> out;
    out.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
      std::string line;
      const int tags = 1 + static_cast<int>(rng() % 3);
      for (int t = 0; t < tags; ++t)
        line += "[" + FormatTime((rng() % 600000) / 100.0, false) + "]";
      line += (i % 2) ? "这是一行歌词 with some words" : "Another lyric line, a little longer";
      out.push_back(std::move(line));
    }
    return out;
  }();
  return lines;
}

void BM_FormatTime(benchmark::State& state) {
  const bool three = state.range(0) != 0;
  for (auto _ : state) {
    for (int i = 0; i < kLines; ++i) benchmark::DoNotOptimize(FormatTime(i * 0.0731, three));
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_FormatTime)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ParseTime(benchmark::State& state) {
  std::vector<std::string> tags;
  tags.reserve(kLines);
  for (const std::string& line : Lines()) tags.push_back(line.substr(0, line.find(']') + 1));
  for (auto _ : state) {
    for (const std::string& tag : tags) benchmark::DoNotOptimize(ParseTime(tag));
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_ParseTime)->Unit(benchmark::kMillisecond);

void BM_StripTags(benchmark::State& state) {
  const std::vector<std::string>& lines = Lines();
  for (auto _ : state) {
    for (const std::string& line : lines) benchmark::DoNotOptimize(StripTags(line));
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_StripTags)->Unit(benchmark::kMillisecond);

void BM_TagList(benchmark::State& state) {
  const std::vector<std::string>& lines = Lines();
  for (auto _ : state) {
    for (const std::string& line : lines) benchmark::DoNotOptimize(TagList(line));
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_TagList)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lirotag
