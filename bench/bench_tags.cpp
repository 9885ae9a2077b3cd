// Song tags: 300 tagged songs (MP3, FLAC, M4A made by ffmpeg, each with a cover of about
// 200 KB) read as the editor reads them, beside TagLib reading the same files when it is
// installed; and one 2 GB M4A whose media data comes before its metadata.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tag_bytes.h"
#include "tagged_songs.h"
#include "tags/read_song_tags.h"

#ifdef LIROTAG_HAVE_TAGLIB
#include <taglib/fileref.h>
#include <taglib/tag.h>
#endif

namespace lirotag {
namespace {

namespace fs = std::filesystem;

const fs::path& Dir() {
  static const fs::path dir = bench::SongDir("tags");
  return dir;
}

const std::vector<std::string>& Songs() {
  static const std::vector<std::string> songs = bench::TaggedSongs(Dir());
  return songs;
}

void BM_Tags300Songs(benchmark::State& state) {
  const auto& songs = Songs();
  for (auto _ : state) {
    for (const std::string& s : songs) {
      SongTags tags;
      ReadSongTags(s, &tags, nullptr, false);
      benchmark::DoNotOptimize(tags);
    }
  }
  state.SetItemsProcessed(state.iterations() * songs.size());
}
BENCHMARK(BM_Tags300Songs)->Unit(benchmark::kMillisecond);

#ifdef LIROTAG_HAVE_TAGLIB
void BM_Tags300Songs_TagLib(benchmark::State& state) {
  const auto& songs = Songs();
  for (auto _ : state) {
    for (const std::string& s : songs) {
      TagLib::FileRef f(s.c_str(), false);
      const TagLib::Tag* t = f.tag();
      benchmark::DoNotOptimize(t ? t->title().to8Bit(true) + t->artist().to8Bit(true) +
                                       t->album().to8Bit(true) + t->comment().to8Bit(true) +
                                       t->genre().to8Bit(true) +
                                       std::to_string(t->year() + t->track())
                                 : "");
    }
  }
  state.SetItemsProcessed(state.iterations() * songs.size());
}
BENCHMARK(BM_Tags300Songs_TagLib)->Unit(benchmark::kMillisecond);
#endif

// A sparse file: ftyp, a 2 GB mdat, then moov with the tags.
void BM_M4a2GBMdatFirst(benchmark::State& state) {
  using namespace lirotag::testing;
  fs::create_directories(Dir());
  const std::string path = (Dir() / "big.m4a").string();
  const std::string moov = Mp4File(Mp4Item("\xA9nam", "far")).substr(24);
  const uint64_t mdat = 2ull << 30;
  {
    std::ofstream f(path, std::ios::binary);
    f << Atom("ftyp", "M4A ") << BE32(static_cast<uint32_t>(mdat)) << "mdat";
    f.seekp(static_cast<std::streamoff>(12 + mdat));
    f << moov;
  }
  for (auto _ : state) {
    SongTags tags;
    ReadSongTags(path, &tags, nullptr, false);
    if (tags.Title != "far") state.SkipWithError("the title was not found");
  }
}
BENCHMARK(BM_M4a2GBMdatFirst)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lirotag

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(lirotag::Dir());
  return 0;
}
