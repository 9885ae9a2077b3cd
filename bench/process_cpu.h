#pragma once

// Processor time, for the benchmarks that measure a share of a core while a song plays.
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace bench {

// This process's processor seconds so far, every thread counted.
inline double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Another process's, from /proc (to the clock tick).
inline double CpuSecondsOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text(std::istreambuf_iterator<char>(in), {});
  const size_t name_end = text.rfind(')');
  if (name_end == std::string::npos) return 0;
  std::istringstream fields(text.substr(name_end + 2));
  std::string f;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i)
    if (i >= 14) ticks += std::stod(f);  // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace bench
