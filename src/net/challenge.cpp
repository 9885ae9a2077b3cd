#include "net/challenge.h"

#include <QByteArrayView>
#include <QCryptographicHash>
#include <charconv>
#include <cmath>
#include <cstring>

namespace lirotag {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Meets(QByteArrayView hash, const ChallengeTarget& target) {
  return std::memcmp(hash.data(), target.data(), target.size()) <= 0;
}

// Nonces are checked this many at a time between looks at the stop flag.
constexpr uint64_t kBatch = 4096;

}  // namespace

bool ParseChallengeTarget(const std::string& hex, ChallengeTarget* target) {
  if (hex.size() != 64) return false;
  for (size_t i = 0; i < 32; ++i) {
    const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    (*target)[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

bool NonceSolves(const std::string& prefix, uint64_t nonce, const ChallengeTarget& target) {
  const QByteArray input = QByteArray::fromStdString(prefix + std::to_string(nonce));
  return Meets(QCryptographicHash::hash(input, QCryptographicHash::Sha256), target);
}

double ExpectedTries(const ChallengeTarget& target) {
  // The target as a fraction of 2^256; the first 8 bytes are all the precision a double
  // holds anyway.
  double fraction = 0;
  for (int i = 7; i >= 0; --i) fraction = (fraction + target[i]) / 256.0;
  fraction += std::ldexp(1.0, -256);
  return 1.0 / fraction;
}

ChallengeSolver::ChallengeSolver(std::string prefix, const ChallengeTarget& target, int threads)
    : prefix_(std::move(prefix)), target_(target) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this, i, threads] { Work(i, threads); });
}

ChallengeSolver::~ChallengeSolver() {
  Cancel();
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
}

void ChallengeSolver::Cancel() {
  stop_.store(true, std::memory_order_release);
}

std::optional<uint64_t> ChallengeSolver::Wait() {
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
  return Nonce();
}

std::optional<uint64_t> ChallengeSolver::Nonce() const {
  const std::lock_guard<std::mutex> lock(found_mutex_);
  return nonce_;
}

void ChallengeSolver::Work(uint64_t first, uint64_t stride) {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  const QByteArrayView prefix(prefix_.data(), static_cast<qsizetype>(prefix_.size()));
  char digits[24];
  for (uint64_t nonce = first; !stop_.load(std::memory_order_relaxed);) {
    for (uint64_t n = 0; n < kBatch; ++n, nonce += stride) {
      const auto end = std::to_chars(digits, digits + sizeof digits, nonce).ptr;
      hash.reset();
      hash.addData(prefix);
      hash.addData(QByteArrayView(digits, end - digits));
      if (Meets(hash.resultView(), target_)) {
        {
          // The first finder wins; the others just stop.
          const std::lock_guard<std::mutex> lock(found_mutex_);
          if (!nonce_) nonce_ = nonce;
        }
        stop_.store(true, std::memory_order_release);
        tried_.fetch_add(n + 1, std::memory_order_relaxed);
        return;
      }
    }
    tried_.fetch_add(kBatch, std::memory_order_relaxed);
  }
}

}  // namespace lirotag
