#pragma once

// Song fixtures for the audio tests and benchmarks: shell commands (sox, lame, ffmpeg),
// FFmpeg's full decode as the reference every seek must agree with, and a tracker
// module built from bytes.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace lirotag::testing {

// Runs a shell command quietly; true when it succeeded.
inline bool Shell(const std::string& cmd) {
  return std::system(("{ " + cmd + "; } >/dev/null 2>&1").c_str()) == 0;
}

// FFmpeg's full decode from the start, interleaved 32-bit floats; folded into
// `channels` channels when given.
inline std::vector<float> Reference(const std::string& path, int channels = 0) {
  std::vector<float> out;
  const std::string fold = channels > 0 ? " -ac " + std::to_string(channels) : "";
  FILE* f =
      popen(("ffmpeg -v error -i '" + path + "'" + fold + " -f f32le - 2>/dev/null").c_str(), "r");
  if (!f) return out;
  float buf[4096];
  size_t n;
  while ((n = std::fread(buf, sizeof(float), 4096, f)) > 0) out.insert(out.end(), buf, buf + n);
  pclose(f);
  return out;
}

// A four-channel ProTracker module: one looped waveform, a note every eight rows.
inline std::string MakeMod() {
  auto put = [](std::string* s, std::initializer_list<int> bytes) {
    for (int b : bytes) s->push_back(static_cast<char>(b));
  };
  std::string m(20, '\0');
  m.replace(0, 4, "test");
  for (int s = 0; s < 31; ++s) {
    std::string h(30, '\0');
    if (s == 0) {
      h[23] = 32;  // 64 bytes
      h[25] = 64;  // volume
      h[29] = 32;  // looped from 0 over all 64
    } else {
      h[29] = 1;
    }
    m += h;
  }
  put(&m, {1, 127});
  m += std::string(128, '\0');
  m += "M.K.";
  const int periods[] = {428, 381, 339, 320, 285, 254, 226, 214};
  for (int row = 0; row < 64; ++row) {
    for (int ch = 0; ch < 4; ++ch) {
      if (row % 8 == 0 && ch == (row / 8) % 2) {
        int period = periods[(row / 8) % 8];
        put(&m, {(period >> 8) & 0x0F, period & 0xFF, 0x10, 0});
      } else {
        put(&m, {0, 0, 0, 0});
      }
    }
  }
  for (int i = 0; i < 64; ++i)
    m.push_back(
        static_cast<char>(static_cast<int>(std::lround(100 * std::sin(i * 2 * M_PI / 64)))));
  return m;
}

}  // namespace lirotag::testing
