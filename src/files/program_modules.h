#pragma once

#include <string>

namespace lirotag {

// The parts of the program that bring large libraries with them (the audio engine with
// FFmpeg, the online lyrics service with Qt Network, the lyric writer with TagLib) are
// libraries of their own, loaded the first time they are needed, so that starting the
// window or a quick command does not load them.

// Where the installed program keeps its modules, relative to the program's folder; set
// once, before the first module is opened.
void SetProgramModuleDir(const std::string& relative_to_program);

// Opens the module `file` (e.g. "liblirotag_engine.so") and returns what its entry point
// `entry` gives for `version`: an extern "C" function `const void* entry(int version)`
// that answers nullptr for a version it is not. Looked for beside the program first,
// then in the installed folder, then where the dynamic loader looks. nullptr, with the
// reason in `why`, when none opens. A module opened is never closed: what it hands out
// lives as long as the process.
const void* OpenProgramModule(const char* file, const char* entry, int version, std::string* why);

}  // namespace lirotag
