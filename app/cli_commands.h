#pragma once

// Commands of lirotag-cli that live in files of their own. Each takes the arguments after
// its name and returns the exit status.

#include <string>

namespace lirotag {

// tags [--picture OUT] FILE…: one JSON object per file with its eight song tags.
int RunTagsCommand(int argc, char** argv);

// lrc COMMAND [options] FILE: one of the editor's commands on a lyric file.
int RunLrcCommand(int argc, char** argv);
extern const char kLrcHelp[];

// peaks SONG [--columns N] [--from T] [--seconds D]: the waveform strip's columns as JSON.
int RunPeaksCommand(int argc, char** argv);
extern const char kPeaksHelp[];
// lrclib get|search|publish: the online lyrics service.
int RunLrclibCommand(int argc, char** argv);
extern const char kLrclibHelp[];
// export --format F [--song SONG | --length S] LYRICS OUT, import SUBTITLES OUT.lrc.
int RunExportCommand(int argc, char** argv);
int RunImportCommand(int argc, char** argv);
extern const char kSubtitlesHelp[];

// lyrics extract [--out FILE] SONG | lyrics embed SONG LYRICS: the lyric inside a song.
int RunLyricsCommand(int argc, char** argv);
extern const char kLyricsHelp[];

// What every command says on failure: one line on standard error; returns the exit
// status 2. Usage adds where to find help.
int Fail(const std::string& why);
int Usage(const std::string& why);
// `text` as a JSON string (invalid UTF-8 repaired first).
std::string Json(const std::string& text);

}  // namespace lirotag
