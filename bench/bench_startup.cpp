// Whole processes, as a user and a script start them, each beside its yardstick:
//  - `lirotag` until its window is shown and painted, against a bare Qt window with the
//    same controls (bench_bare_window);
//  - `lirotag-cli tags` over 300 songs, against TagLib reading the same tags in a
//    program of its own (bench_taglib_tags).
// The last lines give each ratio from runs taken in turns, one of each kind after the
// other, so that a machine whose load changes weighs on both alike.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tagged_songs.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const fs::path& Dir() {
  static const fs::path dir = bench::SongDir("startup");
  return dir;
}

const std::vector<std::string>& Songs() {
  static const std::vector<std::string> songs = bench::TaggedSongs(Dir());
  return songs;
}

// A window program with a home of its own (no settings, recovery files or skins of
// the user's), offscreen unless a display is asked for.
std::vector<std::string> WindowEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  const std::string home = (Dir() / "home").string();
  fs::create_directories(home);
  env.push_back("HOME=" + home);
  env.push_back("XDG_CONFIG_HOME=" + home + "/.config");
  env.push_back("XDG_STATE_HOME=" + home + "/.state");
  env.push_back("LIROTAG_REPORT_SHOWN=1");
  if (!getenv("QT_QPA_PLATFORM")) env.push_back("QT_QPA_PLATFORM=offscreen");
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Seconds from the start of `program` to its "shown" line; the program is then killed.
double SecondsToShown(const char* program) {
  static std::vector<std::string> env = WindowEnvironment();
  std::vector<char*> envp = Pointers(env);
  int out[2];
  if (pipe(out) != 0) return 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string name = program;
  char* argv[] = {name.data(), nullptr};
  const auto t0 = Clock::now();
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  double seconds = 0;
  if (rc == 0) {
    std::string got;
    char buf[64];
    ssize_t n;
    while (got.find("shown") == std::string::npos && (n = read(out[0], buf, sizeof buf)) > 0)
      got.append(buf, static_cast<size_t>(n));
    seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  close(out[0]);
  return seconds;
}

// Seconds the whole of `argv` takes, its output thrown away.
double SecondsToRun(std::vector<std::string> args) {
  std::vector<char*> argv = Pointers(args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto t0 = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return 0;
  posix_spawn_file_actions_destroy(&actions);
  waitpid(pid, nullptr, 0);
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

std::vector<std::string> Command(const char* program, std::vector<std::string> first) {
  first.insert(first.begin(), program);
  for (const std::string& s : Songs()) first.push_back(s);
  return first;
}

void BM_EditorShown(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(SecondsToShown(LIROTAG_EDITOR));
}
BENCHMARK(BM_EditorShown)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_BareWindowShown(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(SecondsToShown(BARE_WINDOW));
}
BENCHMARK(BM_BareWindowShown)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_CliTags300Songs(benchmark::State& state) {
  const auto cmd = Command(LIROTAG_CLI, {"tags"});
  for (auto _ : state) state.SetIterationTime(SecondsToRun(cmd));
}
BENCHMARK(BM_CliTags300Songs)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_TagLibTags300Songs(benchmark::State& state) {
  const auto cmd = Command(TAGLIB_TAGS, {});
  for (auto _ : state) state.SetIterationTime(SecondsToRun(cmd));
}
BENCHMARK(BM_TagLibTags300Songs)->Unit(benchmark::kMillisecond)->UseManualTime();

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

template <class A, class B>
void InTurns(const char* what, const char* a_name, const char* b_name, A a, B b) {
  constexpr int kPairs = 40;
  std::vector<double> as, bs;
  for (int i = 0; i < kPairs; ++i) {
    if (i % 2) bs.push_back(b());
    as.push_back(a());
    if (i % 2 == 0) bs.push_back(b());
  }
  const double ma = Median(as), mb = Median(bs);
  std::printf("%s, in turns, median of %d each: %s %.1f ms, %s %.1f ms: ratio %.2f\n", what, kPairs,
              a_name, ma * 1e3, b_name, mb * 1e3, ma / mb);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Songs();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  InTurns(
      "window shown", "lirotag", "bare Qt window", [] { return SecondsToShown(LIROTAG_EDITOR); },
      [] { return SecondsToShown(BARE_WINDOW); });
  const auto cli = Command(LIROTAG_CLI, {"tags"});
  const auto taglib = Command(TAGLIB_TAGS, {});
  InTurns(
      "tags of 300 songs", "lirotag-cli tags", "TagLib", [&] { return SecondsToRun(cli); },
      [&] { return SecondsToRun(taglib); });
  fs::remove_all(Dir());
  return 0;
}
