#include "files/dropped_files.h"

#include "files/ascii.h"

namespace lirotag {

namespace {

bool IsLyricFileName(const std::string& path) {
  // Subtitle files are loaded as lyrics too.
  for (const char* ext : {".lrc", ".txt", ".srt", ".vtt", ".ass", ".ssa", ".ttml"}) {
    if (EndsWithNoCase(path, ext)) return true;
  }
  return false;
}

}  // namespace

DroppedFiles ClassifyDroppedFiles(const std::vector<std::string>& paths) {
  DroppedFiles found;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    std::string& slot = IsLyricFileName(path) ? found.lyricFile : found.song;
    if (slot.empty()) slot = path;
    if (!found.song.empty() && !found.lyricFile.empty()) break;
  }
  return found;
}

}  // namespace lirotag
