// The subtitle readers on arbitrary text, and the same text as a lyric through the cue
// model and every writer. Besides the sanitizers' findings, a cue that ends before it
// starts, a word outside its cue or going back, and a written file that does not read
// back are faults.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lyrics/subtitles.h"

namespace {

void Check(const lirotag::SubtitleTrack& track) {
  for (const lirotag::SubtitleCue& cue : track.cues) {
    if (cue.end < cue.start) std::abort();
    int64_t previous = cue.start;
    for (const lirotag::Syllable& s : cue.syllables) {
      if (s.start < previous || s.start > cue.end) std::abort();
      previous = s.start;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lirotag;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr SubtitleFormat kFormats[] = {SubtitleFormat::kSrt, SubtitleFormat::kWebVtt,
                                         SubtitleFormat::kAss, SubtitleFormat::kTtml};
  for (SubtitleFormat format : kFormats) {
    std::string err;
    if (const auto track = ReadSubtitles(text, format, &err)) {
      Check(*track);
      LyricsFromCues(*track, size % 2 == 0);
    }
  }
  const SubtitleTrack lyric =
      CuesFromLyrics(text, size % 3 ? std::optional<int64_t>(60000) : std::nullopt);
  Check(lyric);
  for (const SubtitleCue& cue : lyric.cues) {
    if (cue.end <= cue.start) std::abort();
  }
  for (SubtitleFormat format : kFormats) {
    std::string err;
    const auto back = ReadSubtitles(WriteSubtitles(lyric, format), format, &err);
    if (!lyric.cues.empty() && !back) std::abort();
  }
  return 0;
}
