#pragma once

// What a pass over a whole file learns (the packets' places in the decoded output, and
// the decoded length), shared by the scanning thread that makes the pass and the source
// that plays. Private to the FFmpeg decoder's files.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace lirotag {

// One packet of the file, in file order.
struct PacketEntry {
  int64_t pos;        // byte position
  int64_t out_start;  // output frame of its first kept sample
  int64_t ts;         // its timestamp in the stream's time base (walk: where to seek)
  int32_t skip;       // samples dropped from its start (indexed)
  int32_t count;      // samples kept (indexed)
};

// What a pass over the whole file learns, shared by the thread that makes the pass and
// the source that plays: the packets' places in the output, in file order, and in the
// end the decoded length. Entries are only ever appended.
class PacketMap {
 public:
  void Stop() {
    stop_ = true;
    cv_.notify_all();
  }
  bool Stopped() const { return stop_.load(); }

  // Moves `batch` in; frames below `covered` are now placed.
  void Append(std::vector<PacketEntry>* batch, int64_t covered) {
    {
      std::lock_guard<std::mutex> lk(mu_);
      entries_.insert(entries_.end(), batch->begin(), batch->end());
      covered_ = std::max(covered_, covered);
    }
    batch->clear();
    cv_.notify_all();
  }
  // The pass ended: with the decoded length, or -1 if it failed.
  void Finish(int64_t length) {
    {
      std::lock_guard<std::mutex> lk(mu_);
      done_ = true;
      length_ = length;
      if (listener_ && !stop_) listener_(length);
    }
    cv_.notify_all();
  }
  void Listen(std::function<void(int64_t)> done) {
    std::lock_guard<std::mutex> lk(mu_);
    listener_ = std::move(done);
    if (done_ && listener_ && !stop_) listener_(length_);
  }

  // The decoded length once the pass has ended well, otherwise -1.
  int64_t Length() const {
    std::lock_guard<std::mutex> lk(mu_);
    return done_ ? length_ : -1;
  }
  bool Done() const {
    std::lock_guard<std::mutex> lk(mu_);
    return done_;
  }
  // Frames placed so far and the byte position the pass has reached.
  void Progress(int64_t* covered, int64_t* pos) const {
    std::lock_guard<std::mutex> lk(mu_);
    *covered = covered_;
    *pos = entries_.empty() ? -1 : entries_.back().pos;
  }
  bool At(int64_t k, PacketEntry* e) const {
    std::lock_guard<std::mutex> lk(mu_);
    if (k < 0 || k >= static_cast<int64_t>(entries_.size())) return false;
    *e = entries_[static_cast<size_t>(k)];
    return true;
  }
  // The index of the packet at byte `pos`, or -1.
  int64_t FindPos(int64_t pos, PacketEntry* e) const {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = std::lower_bound(entries_.begin(), entries_.end(), pos,
                               [](const PacketEntry& x, int64_t p) { return x.pos < p; });
    if (it == entries_.end() || it->pos != pos) return -1;
    if (e) *e = *it;
    return it - entries_.begin();
  }
  // The packet `back` packets before the last one starting at or before `frame`
  // (clamped to the first); -1 when none starts at or before it.
  int64_t Before(int64_t frame, int64_t back, PacketEntry* e) const {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = std::upper_bound(entries_.begin(), entries_.end(), frame,
                               [](int64_t f, const PacketEntry& x) { return f < x.out_start; });
    int64_t k = (it - entries_.begin()) - 1;
    if (k < 0) return -1;
    k = std::max<int64_t>(0, k - back);
    *e = entries_[static_cast<size_t>(k)];
    return k;
  }

  // Each waits until what it asks for is placed (true), or the pass ended without it,
  // the map was stopped or `cancel` says so (false).
  bool WaitFrame(int64_t frame, const std::function<bool()>& cancel) {
    return Wait([&] { return covered_ > frame; }, cancel);
  }
  bool WaitPos(int64_t pos, const std::function<bool()>& cancel) {
    return Wait([&] { return !entries_.empty() && entries_.back().pos >= pos; }, cancel);
  }
  bool WaitEntries(size_t n, std::chrono::steady_clock::time_point until) {
    std::unique_lock<std::mutex> lk(mu_);
    return cv_.wait_until(lk, until, [&] { return done_ || stop_ || entries_.size() >= n; });
  }
  void WaitDone(std::chrono::steady_clock::time_point until) {
    std::unique_lock<std::mutex> lk(mu_);
    cv_.wait_until(lk, until, [&] { return done_ || stop_.load(); });
  }

 private:
  template <typename Placed>
  bool Wait(Placed placed, const std::function<bool()>& cancel) {
    std::unique_lock<std::mutex> lk(mu_);
    while (!placed()) {
      if (done_ || stop_ || (cancel && cancel())) return false;
      cv_.wait_for(lk, std::chrono::milliseconds(20));
    }
    return true;
  }

  mutable std::mutex mu_;
  std::condition_variable cv_;
  std::vector<PacketEntry> entries_;
  int64_t covered_ = 0;
  bool done_ = false;
  int64_t length_ = -1;
  std::atomic<bool> stop_{false};
  std::function<void(int64_t)> listener_;
};

}  // namespace lirotag
