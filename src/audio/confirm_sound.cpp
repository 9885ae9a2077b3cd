#include "audio/confirm_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lirotag {

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

void Put(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A WAV image of 16-bit mono samples.
std::string MonoWav(const std::string& samples, int rate) {
  std::string wav = "RIFF";
  Put(&wav, static_cast<uint32_t>(36 + samples.size()), 4);
  wav += "WAVEfmt ";
  Put(&wav, 16, 4);
  Put(&wav, 1, 2);  // PCM
  Put(&wav, 1, 2);  // mono
  Put(&wav, static_cast<uint32_t>(rate), 4);
  Put(&wav, static_cast<uint32_t>(rate * 2), 4);
  Put(&wav, 2, 2);
  Put(&wav, 16, 2);
  wav += "data";
  Put(&wav, static_cast<uint32_t>(samples.size()), 4);
  return wav + samples;
}

}  // namespace

std::string ConfirmationSoundWav() {
  // Two rising notes, each with a soft start and a fading tail, so that it never clicks.
  struct Note {
    double hz, seconds;
  };
  constexpr Note kNotes[] = {{1318.5, 0.09}, {1760.0, 0.22}};
  std::string samples;
  for (const Note& note : kNotes) {
    const int count = static_cast<int>(note.seconds * kRate);
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double attack = std::min(1.0, t / 0.005);
      const double decay = std::exp(-t * 3.0 / note.seconds);
      const double v = 0.3 * attack * decay * std::sin(2 * kPi * note.hz * t);
      Put(&samples, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))), 2);
    }
  }
  return MonoWav(samples, kRate);
}

std::string ClickTrackWav(const std::vector<double>& clicks, double lengthSeconds) {
  constexpr int kClickRate = 44100;
  const auto total = static_cast<size_t>(std::max(0.0, lengthSeconds) * kClickRate);
  std::vector<double> wave(total, 0.0);
  for (double at : clicks) {
    // The click begins on the first sample at or after its time, at full strength, so
    // that what is heard starts exactly then.
    const auto first = static_cast<size_t>(std::ceil(std::max(0.0, at) * kClickRate - 1e-6));
    for (size_t i = first; i < total && i < first + kClickRate / 20; ++i) {
      const double t = static_cast<double>(i - first) / kClickRate;
      wave[i] += 0.6 * std::exp(-t / 0.008) * std::sin(2 * kPi * 1900.0 * t + kPi / 2);
    }
  }
  std::string samples;
  samples.reserve(total * 2);
  for (double v : wave) {
    const double clipped = std::clamp(v, -1.0, 1.0);
    Put(&samples, static_cast<uint16_t>(static_cast<int16_t>(std::lround(clipped * 32767))), 2);
  }
  return MonoWav(samples, kClickRate);
}

}  // namespace lirotag
