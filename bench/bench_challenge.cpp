// The publishing challenge: SHA-256 tries per second on one core, and on every core
// together (the rate the window's progress bar moves at).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "net/challenge.h"

namespace {

lirotag::ChallengeTarget Unreachable() {
  lirotag::ChallengeTarget t{};
  return t;  // all zero: no hash meets it, the solver runs until stopped
}

// Runs the solver on `threads` threads for the benchmark's time; items = hashes.
void BM_ChallengeHashes(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  uint64_t total = 0;
  for (auto _ : state) {
    lirotag::ChallengeSolver solver("bcd6e7f8a9b0c1d2e3f4a5b6c7d8e9f0", Unreachable(), threads);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    solver.Cancel();
    solver.Wait();
    total += solver.Tried();
  }
  state.SetItemsProcessed(static_cast<int64_t>(total));
  state.counters["hashes_per_s_per_core"] =
      benchmark::Counter(static_cast<double>(total) / threads, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChallengeHashes)
    ->Arg(1)
    ->Arg(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The check the service makes: one hash of prefix + nonce.
void BM_OneNonceCheck(benchmark::State& state) {
  const lirotag::ChallengeTarget target = Unreachable();
  uint64_t nonce = 0;
  for (auto _ : state) benchmark::DoNotOptimize(lirotag::NonceSolves("prefix", nonce++, target));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneNonceCheck);

}  // namespace
