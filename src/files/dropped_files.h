#pragma once

#include <string>
#include <vector>

namespace lirotag {

// What a drop of several files onto the window means: the first song and the first
// lyric file among them (either may be empty). A name ending in ".lrc" or ".txt", or in
// a subtitle file's extension (".srt", ".vtt", ".ass", ".ssa", ".ttml"), in any letter
// case, is a lyric file; every other name is a song.
struct DroppedFiles {
  std::string song;
  std::string lyricFile;
};

DroppedFiles ClassifyDroppedFiles(const std::vector<std::string>& paths);

}  // namespace lirotag
