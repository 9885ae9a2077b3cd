#pragma once

// The proof of work the lyrics service asks for before it takes a lyric: find a nonce,
// counted 0, 1, 2 … as decimal text, whose SHA-256(prefix + nonce) is at or below the
// target, the 32 bytes compared in order.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lirotag {

using ChallengeTarget = std::array<uint8_t, 32>;

// 64 hex digits (either case); false for anything else.
bool ParseChallengeTarget(const std::string& hex, ChallengeTarget* target);
// Whether SHA-256(prefix + decimal nonce) meets the target.
bool NonceSolves(const std::string& prefix, uint64_t nonce, const ChallengeTarget& target);
// How many nonces it takes on average: 2^256 / (target + 1).
double ExpectedTries(const ChallengeTarget& target);

// Looks for a nonce on `threads` threads (0: one per core) from construction on. Any
// nonce that meets the target ends the search, so two runs may find different ones.
// The destructor stops and joins the threads.
class ChallengeSolver {
 public:
  ChallengeSolver(std::string prefix, const ChallengeTarget& target, int threads = 0);
  ~ChallengeSolver();
  ChallengeSolver(const ChallengeSolver&) = delete;
  ChallengeSolver& operator=(const ChallengeSolver&) = delete;

  void Cancel();
  // Blocks until a nonce is found or the search is cancelled.
  std::optional<uint64_t> Wait();
  bool Finished() const { return stop_.load(std::memory_order_acquire); }
  // The nonce once found (nullopt while searching or after a cancel).
  std::optional<uint64_t> Nonce() const;
  // Nonces tried so far, over every thread (counted in batches).
  uint64_t Tried() const { return tried_.load(std::memory_order_relaxed); }
  int Threads() const { return static_cast<int>(workers_.size()); }

 private:
  void Work(uint64_t first, uint64_t stride);

  const std::string prefix_;
  const ChallengeTarget target_;
  std::atomic<bool> stop_{false};
  mutable std::mutex found_mutex_;
  std::optional<uint64_t> nonce_;
  std::atomic<uint64_t> tried_{0};
  std::vector<std::thread> workers_;
};

}  // namespace lirotag
