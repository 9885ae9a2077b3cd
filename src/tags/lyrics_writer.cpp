#include "tags/lyrics_writer.h"

#include <mutex>

#include "files/program_modules.h"
#include "tags/taglib_lyrics_writer.h"

namespace lirotag {

namespace {

// TagLib is loaded with the writer, the first time a lyric is written: reading tags,
// the window and the other commands start without it.
const TagWriterModule* Writer() {
  static std::once_flag once;
  static const TagWriterModule* module = nullptr;
  std::call_once(once, [] {
    std::string why;
    module = static_cast<const TagWriterModule*>(OpenProgramModule(
        kTagWriterModuleFile, kTagWriterModuleEntry, kTagWriterModuleVersion, &why));
  });
  return module;
}

}  // namespace

EmbedError WriteEmbeddedLyrics(const std::string& songPath, std::string_view lyrics) {
  const TagWriterModule* writer = Writer();
  return writer ? writer->write_lyrics(songPath, lyrics) : EmbedError::kNoWriter;
}

const char* EmbedErrorText(EmbedError error) {
  switch (error) {
    case EmbedError::kNone:
      return "done";
    case EmbedError::kEmpty:
      return "the lyric is empty";
    case EmbedError::kUnsupported:
      return "this type of song cannot hold a lyric we can write";
    case EmbedError::kNotFound:
      return "no such file";
    case EmbedError::kReadOnly:
      return "the song is read-only";
    case EmbedError::kNoSpace:
      return "the disk is full";
    case EmbedError::kWriteFailed:
      return "the song could not be written";
    case EmbedError::kCheckFailed:
      return "the written copy did not read back right; the song is unchanged";
    case EmbedError::kNoWriter:
      return "the lyric writer (liblirotag_tag_writer.so) cannot be loaded; the song is unchanged";
  }
  return "";
}

}  // namespace lirotag
