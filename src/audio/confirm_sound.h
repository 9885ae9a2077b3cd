#pragma once

#include <string>

namespace lirotag {

// The short chime that confirms a saved file: a WAV image (PCM, mono, 16 bits,
// 22050 Hz) made here rather than shipped as a file.
std::string ConfirmationSoundWav();

}  // namespace lirotag
