#include "audio/confirm_sound.h"

#include <cmath>
#include <cstdint>

namespace lirotag {

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

void Put(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
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
  std::string wav = "RIFF";
  Put(&wav, static_cast<uint32_t>(36 + samples.size()), 4);
  wav += "WAVEfmt ";
  Put(&wav, 16, 4);
  Put(&wav, 1, 2);  // PCM
  Put(&wav, 1, 2);  // mono
  Put(&wav, kRate, 4);
  Put(&wav, kRate * 2, 4);
  Put(&wav, 2, 2);
  Put(&wav, 16, 2);
  wav += "data";
  Put(&wav, static_cast<uint32_t>(samples.size()), 4);
  return wav + samples;
}

}  // namespace lirotag
