#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>

namespace lirotag::testing {

// Writes a 16-bit mono PCM WAV of `frames` samples at `rate` Hz: a quiet sine, so that
// decoders and players have something real to chew on. Returns false when it cannot.
inline bool WriteWav(const std::string& path, uint32_t rate, uint64_t frames) {
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto put16 = [&](uint16_t v) {
    out.put(static_cast<char>(v & 0xFF));
    out.put(static_cast<char>(v >> 8));
  };
  const uint32_t dataBytes = static_cast<uint32_t>(frames * 2);
  out.write("RIFF", 4);
  put32(36 + dataBytes);
  out.write("WAVEfmt ", 8);
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(rate);
  put32(rate * 2);
  put16(2);
  put16(16);
  out.write("data", 4);
  put32(dataBytes);
  for (uint64_t i = 0; i < frames; ++i) {
    const double v =
        3000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * static_cast<double>(i) / rate);
    put16(static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  return static_cast<bool>(out);
}

}  // namespace lirotag::testing
