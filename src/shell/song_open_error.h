#pragma once

#include <string>

#include "audio/audio_engine.h"

namespace lirotag {

// Why a song could not be opened, in the user's words, from the engine's own reason:
// no such file, not a file, no permission, a known type that does not decode (damaged),
// or a type no decoder knows. A file named as a type the engine plays (`songFilter`, the
// song dialog's '|' filter) that no decoder recognises is damaged or misnamed, not of an
// unsupported type.
std::string SongOpenFailureReason(OpenError error, const std::string& path,
                                  const std::string& songFilter);

}  // namespace lirotag
