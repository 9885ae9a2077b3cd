#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace lirotag::testing {

// Polls `cond` every 5 ms for up to `seconds`; whether it came true.
inline bool WaitFor(const std::function<bool()>& cond, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cond();
}

}  // namespace lirotag::testing
