#pragma once

// The lyric writer's module, liblirotag_tag_writer.so: TagLib, and the checks around it.
// Only the program's module loader (lyrics_writer.cpp) and the module's own tests use
// this directly; everything else calls WriteEmbeddedLyrics.

#include <string>
#include <string_view>

#include "tags/lyrics_writer.h"

namespace lirotag {

struct TagWriterModule {
  EmbedError (*write_lyrics)(const std::string& songPath, std::string_view lyrics);
};

// The module's one exported symbol: extern "C" const void* lirotag_tag_writer_module(int),
// a TagWriterModule.
inline constexpr char kTagWriterModuleEntry[] = "lirotag_tag_writer_module";
// Raised whenever TagWriterModule or EmbedError changes.
inline constexpr int kTagWriterModuleVersion = 1;
inline constexpr char kTagWriterModuleFile[] = "liblirotag_tag_writer.so";

// WriteEmbeddedLyrics, done here.
EmbedError WriteLyricsWithTagLib(const std::string& songPath, std::string_view lyrics);

}  // namespace lirotag

extern "C" const void* lirotag_tag_writer_module(int version);
