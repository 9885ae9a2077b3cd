#pragma once

// The recovery file: the lyric text and the open song, kept while the user works so
// that a crash, a kill or a power cut loses nothing.

#include <string>
#include <string_view>

namespace lirotag {

struct RecoveryRecord {
  std::string savedAt;   // local time, "2026-12-09 06:30:12"
  std::string songPath;  // empty when no song was open
  std::string text;      // the lyric text, UTF-8, exactly as the box held it
  // The highlighted lines, so that a restored text goes on where the user was (files
  // kept before this was stored give line 0).
  int rangeFirst = 0;
  int rangeLast = 0;
};

// A small header of its own, then the text as it is; the header gives the text's length,
// so that a file cut short is told from a whole one.
std::string SerializeRecovery(const RecoveryRecord& record);
// False, with `*err` saying why, for a file that is not a whole recovery file.
bool ParseRecovery(std::string_view bytes, RecoveryRecord* record, std::string* err);

// The first `count` lines of the text, each at most `width` characters, for a preview.
std::string RecoveryPreview(std::string_view text, int count, int width);

// Where recovery files live: $XDG_STATE_HOME/Lirotag, else ~/.local/state/Lirotag.
std::string RecoveryDir(const char* xdgStateHome, const char* home);

}  // namespace lirotag
