#pragma once

// The additional information: the [ti:] [ar:] [al:] [by:] lines at the top of a lyric.

#include <functional>
#include <string>
#include <vector>

namespace lirotag {

struct AdditionalInfo {
  std::string InfoTi, InfoAr, InfoAl, InfoBy;
};

// Takes every [ti:] [ar:] [al:] [by:] line (key in any case, anywhere in the text) out
// of `lines`; the last value of each key is stored in `info`. The value ends at the
// line's first "]"; without one it is empty.
void ScanInfoTags(std::vector<std::string>* lines, AdditionalInfo* info);

// Scans, lets `chooseValues` decide the values (false: leave the text as it was), then
// puts the non-empty ones first, as [ti:], [ar:], [al:], [by:]. False when the lines are
// not to be written back.
bool UpdateInfoTags(std::vector<std::string>* lines, AdditionalInfo* info,
                    const std::function<bool(AdditionalInfo*)>& chooseValues);

// The song's title, artist and album into the header values; where the song has none, the
// value already there stays (a song without tags must not wipe what was typed).
void TakeSongTagValues(AdditionalInfo* info, const std::string& title, const std::string& artist,
                       const std::string& album);

}  // namespace lirotag
