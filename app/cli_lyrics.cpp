// lirotag-cli lyrics extract [--out FILE] SONG
// lirotag-cli lyrics embed SONG LYRICS
// `extract` prints the lyric the song carries as UTF-8 text with "\n" line ends (or
// writes it to FILE); `embed` stores a lyric file, in any encoding the editor reads, in
// the song, as the editor's "写入歌曲" does. Exit status 0 on success; 2, one line on
// standard error and the song untouched for a song without a lyric, of a type that holds
// none, read-only or missing, and for bad usage.

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "files/file_io.h"
#include "files/lyric_file.h"
#include "tags/embedded_lyrics.h"
#include "tags/lyrics_writer.h"

namespace lirotag {

const char kLyricsHelp[] =
    "lyrics  extract prints the lyric stored inside SONG (ID3v2 USLT or SYLT, Vorbis\n"
    "        comment LYRICS, MP4 ©lyr, WM/Lyrics, APE Lyrics) as UTF-8 text, or writes\n"
    "        it to FILE with --out; embed stores the lyric file LYRICS (any encoding the\n"
    "        editor reads) in SONG, replacing the lyric it had and keeping every other\n"
    "        tag, the cover and the audio as they are.\n";

namespace {

constexpr uint64_t kMaxLyricBytes = 64ull << 20;

int Extract(const std::string& song, const std::string& out) {
  std::string lyrics;
  switch (ReadEmbeddedLyrics(song, &lyrics)) {
    case LyricsReadError::kUnsupported:
      return Fail(song + ": this type of song holds no lyric we read");
    case LyricsReadError::kCannotOpen:
      return Fail(song + ": cannot be opened");
    case LyricsReadError::kNoLyrics:
      return Fail(song + ": the song has no lyrics");
    case LyricsReadError::kNone:
      break;
  }
  if (!lyrics.ends_with('\n')) lyrics += '\n';
  if (out.empty()) {
    std::fwrite(lyrics.data(), 1, lyrics.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the standard output");
  }
  RealFileSystem fs;
  std::string err;
  if (!fs.WriteFileAtomic(out, lyrics, &err)) return Fail(out + ": " + err);
  return 0;
}

int Embed(const std::string& song, const std::string& lyricFile) {
  RealFileSystem fs;
  std::string bytes, err;
  if (!fs.ReadFile(lyricFile, &bytes, &err, kMaxLyricBytes)) return Fail(lyricFile + ": " + err);
  const EmbedError result = WriteEmbeddedLyrics(song, LyricTextFromBytes(bytes));
  if (result != EmbedError::kNone) return Fail(song + ": " + EmbedErrorText(result));
  return 0;
}

}  // namespace

int RunLyricsCommand(int argc, char** argv) {
  if (argc < 1) return Usage("lyrics needs extract or embed");
  const std::string sub = argv[0];
  std::string out;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--out" && sub == "extract") {
      if (i + 1 >= argc) return Usage("--out needs a file name");
      out = argv[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (sub == "extract") {
    if (files.size() != 1) return Usage("lyrics extract takes one song");
    return Extract(files[0], out);
  }
  if (sub == "embed") {
    if (files.size() != 2) return Usage("lyrics embed takes a song and a lyric file");
    return Embed(files[0], files[1]);
  }
  return Usage("unknown lyrics command '" + sub + "'");
}

}  // namespace lirotag
