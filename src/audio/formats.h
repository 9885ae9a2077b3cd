#pragma once

#include <string>
#include <vector>

namespace lirotag {

// One entry of the song dialog: a display name and its patterns ("*.aiff;*.aif").
struct FormatFamily {
  std::string name;
  std::string patterns;
};

// The formats the engine of this build opens beyond the basic entry, in the order the
// dialog lists them: FFmpeg's (a family only where its demuxer and one of its decoders
// are present, and only the patterns whose container is) and then the tracker modules
// of libopenmpt's own extension list. Computed once.
const std::vector<FormatFamily>& BuiltInFormats();

// Adds to the ';'-separated `*list` each pattern of `patterns` that it does not hold
// yet (compared without regard to ASCII case), in their order.
void AppendPatterns(std::string* list, const std::string& patterns);

}  // namespace lirotag
