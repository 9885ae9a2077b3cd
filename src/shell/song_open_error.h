#pragma once

#include <string>

namespace lirotag {

// Why a song could not be opened, in the user's words: not a file, no permission,
// a type no decoder knows, or a known type that does not decode (damaged). Told from the
// file and `songFilter` (the song dialog's '|' filter, whose patterns name the types the
// engine plays), as far as that is cheap; the one place to ask the engine instead once it
// reports its own reason.
std::string SongOpenFailureReason(const std::string& path, const std::string& songFilter);

}  // namespace lirotag
