#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

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

// Writes interleaved samples in -1..1 as a 16-bit PCM WAV; false when it cannot.
inline bool WriteWavFrames(const std::string& path, uint32_t rate, uint16_t channels,
                           const std::vector<float>& samples) {
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  put(36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);  // PCM
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * 2, 4);
  put(channels * 2u, 2);
  put(16, 2);
  out.write("data", 4);
  put(dataBytes, 4);
  for (float v : samples) {
    const double c = std::fmax(-1.0, std::fmin(1.0, static_cast<double>(v)));
    put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767))), 2);
  }
  return static_cast<bool>(out);
}

}  // namespace lirotag::testing
