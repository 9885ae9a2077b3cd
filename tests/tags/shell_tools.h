#pragma once

// What the tag tests use to make and inspect real files with outside tools.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace lirotag::testing {

// Runs `cmd` with the shell; its exit status, standard output and error.
inline int Shell(const std::string& cmd, std::string* out = nullptr) {
  FILE* f = popen((cmd + " 2>&1").c_str(), "r");
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  if (out) *out = text;
  const int status = pclose(f);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Slurp(const std::filesystem::path& p) {
  std::ostringstream s;
  s << std::ifstream(p, std::ios::binary).rdbuf();
  return s.str();
}

}  // namespace lirotag::testing
