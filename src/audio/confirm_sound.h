#pragma once

#include <string>
#include <vector>

namespace lirotag {

// The short chime that confirms a saved file: a WAV image (PCM, mono, 16 bits,
// 22050 Hz) made here rather than shipped as a file.
std::string ConfirmationSoundWav();

// A click track to measure the user's reaction time with: a short, sharp click starting
// at each of `clicks` (seconds), silence between, `lengthSeconds` long in all; a WAV
// image (PCM, mono, 16 bits, 44100 Hz).
std::string ClickTrackWav(const std::vector<double>& clicks, double lengthSeconds);

}  // namespace lirotag
