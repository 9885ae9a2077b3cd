#include "files/dropped_files.h"

#include <gtest/gtest.h>

namespace lirotag {
namespace {

TEST(ClassifyDroppedFiles, FirstSongAndFirstLyricFileCount) {
  struct Case {
    std::vector<std::string> dropped;
    std::string song;
    std::string lyric;
  } cases[] = {
      {{"/m/x.mp3", "/m/a.TXT", "/m/b.lrc"}, "/m/x.mp3", "/m/a.TXT"},
      {{"/m/x.lrc.mp3"}, "/m/x.lrc.mp3", ""},
      {{"/m/y.Lrc"}, "", "/m/y.Lrc"},
      {{"/m/a.lrc", "/m/b.lrc", "/m/s.ogg", "/m/t.ogg"}, "/m/s.ogg", "/m/a.lrc"},
      {{"/m/lrc", "/m/.txt"}, "/m/lrc", "/m/.txt"},
      {{"/m/歌.flac", "/m/词.txt"}, "/m/歌.flac", "/m/词.txt"},
      // Subtitles are lyrics to load; a video named like one is still a song.
      {{"/m/v.mkv", "/m/k.ASS", "/m/c.srt"}, "/m/v.mkv", "/m/k.ASS"},
      {{"/m/a.ttml", "/m/b.vtt.mp4"}, "/m/b.vtt.mp4", "/m/a.ttml"},
      {{}, "", ""},
  };
  for (const Case& c : cases) {
    const DroppedFiles found = ClassifyDroppedFiles(c.dropped);
    EXPECT_EQ(found.song, c.song);
    EXPECT_EQ(found.lyricFile, c.lyric);
  }
}

}  // namespace
}  // namespace lirotag
