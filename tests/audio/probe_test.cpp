// Looking for a sound device where the default one cannot open: ALSA reports every PCM
// of its configuration it tries, JACK the server it cannot reach, dozens of lines. The
// look must print one line at most, and only the first time it finds nothing; and it
// must leave the libraries' error handlers as they were, so that a real error later is
// printed. Its own program, as it points ALSA at its own configuration and takes
// stderr over for a while.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/output.h"

namespace lirotag {
namespace {

namespace fs = std::filesystem;

// What this process writes to stderr between construction and Stop, line by line.
class CaptureStderr {
 public:
  explicit CaptureStderr(const fs::path& file) : file_(file), saved_(dup(2)) {
    std::fflush(stderr);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  std::vector<std::string> Stop() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    std::ifstream in(file_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  fs::path file_;
  int saved_;
};

TEST(ProbeTest, LooksForTheDeviceQuietlyAndLeavesErrorsVisible) {
  fs::path dir = fs::temp_directory_path() / ("lirotag_probe_" + std::to_string(getpid()));
  fs::create_directories(dir);
  // The whole standard configuration, so the look walks every PCM it names, with a
  // default that cannot open.
  std::ofstream(dir / "asound.conf") << "<confdir:alsa.conf>\n"
                                        "pcm.!default { type hw card 99 }\n";
  setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
  PortAudioOutputs();  // JACK must not start a server of its own

  using JackHandler = void (*)(const char*);
  auto* jack_error = reinterpret_cast<JackHandler*>(dlsym(RTLD_DEFAULT, "jack_error_callback"));
  JackHandler jack_error_before = jack_error ? *jack_error : nullptr;

  CaptureStderr capture(dir / "stderr.txt");
  std::string why;
  std::unique_ptr<Output> first = CreatePortAudioOutput(&why);
  std::string why_again;
  std::unique_ptr<Output> again = CreatePortAudioOutput(&why_again);
  // A real error after the look: ALSA must print it as usual.
  using PcmOpen = int (*)(void**, const char*, int, int);
  using PcmClose = int (*)(void*);
  auto pcm_open = reinterpret_cast<PcmOpen>(dlsym(RTLD_DEFAULT, "snd_pcm_open"));
  auto pcm_close = reinterpret_cast<PcmClose>(dlsym(RTLD_DEFAULT, "snd_pcm_close"));
  ASSERT_NE(pcm_open, nullptr) << "libportaudio without ALSA";
  void* pcm = nullptr;
  if (pcm_open(&pcm, "lirotag_no_such_pcm", 0, 0) == 0 && pcm_close) pcm_close(pcm);
  std::vector<std::string> lines = capture.Stop();
  fs::remove_all(dir);

  ASSERT_FALSE(lines.empty()) << "ALSA's error after the look was not printed";
  EXPECT_NE(lines.back().find("lirotag_no_such_pcm"), std::string::npos) << lines.back();
  lines.pop_back();
  if (first) {
    EXPECT_TRUE(lines.empty()) << lines.front();  // a device found says nothing
  } else {
    // One line for both looks, naming what ALSA said first.
    ASSERT_EQ(lines.size(), 1u) << (lines.empty() ? "nothing" : lines.front() + "\n...");
    EXPECT_EQ(lines[0].rfind("lirotag: no sound device [ALSA: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(why), std::string::npos) << why;
    EXPECT_EQ(why_again, why);
  }
  if (jack_error) {
    EXPECT_EQ(*jack_error, jack_error_before);
  }
}

}  // namespace
}  // namespace lirotag
