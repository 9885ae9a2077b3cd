#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/source.h"

namespace lirotag {

// The lowest and the highest sample of a stretch of the song, over all its channels.
struct PeakColumn {
  float min = 0.0f;
  float max = 0.0f;
};

// A song's waveform for drawing: the smallest and the largest sample of each block of
// frames, kept at a few block sizes so any zoom draws from a handful of entries per
// column, never from samples (about 1 MB for ten minutes at 44.1 kHz). Worked out on a
// thread of its own, from a decoder of its own, never the one that plays; what is done
// is published in pieces while the rest is read.
class PeakTable {
 public:
  // Called on the worker thread after each piece is published and once more when the
  // table is complete, failed or cancelled (then Done() is true). Never after
  // Cancel() or the destructor has returned. It must not call Cancel() or destroy the
  // table; a window posts itself a repaint from it.
  using Progress = std::function<void()>;

  // Starts reading `path` (any song the engine plays with FFmpeg, or a tracker module);
  // nullptr when it cannot be opened.
  static std::unique_ptr<PeakTable> Start(const std::string& path, Progress progress = {});
  // From an open decoder (tests, plug-ins): the table takes it over.
  static std::unique_ptr<PeakTable> Start(std::unique_ptr<Source> source, Progress progress = {});
  // Cancels and waits for the worker: a closed song stops costing at once.
  ~PeakTable();
  PeakTable(const PeakTable&) = delete;
  PeakTable& operator=(const PeakTable&) = delete;

  // Stops the worker and waits for it; what was published stays readable.
  void Cancel();

  // All of these may be called from any thread at any time.
  int Rate() const { return rate_; }
  // The song's length as known (the decoded length once Done()).
  double Seconds() const;
  // The song time up to which the columns hold data.
  double ReadySeconds() const;
  // The table is complete, or will grow no more (a failed read, or cancelled).
  bool Done() const { return done_.load(); }
  // `n` columns evenly spread over [start, end) seconds, each the min and max of its
  // stretch; columns (or the parts of them) past ReadySeconds() or outside the song
  // count as silence.
  std::vector<PeakColumn> Columns(double start, double end, int n) const;
  // Bytes held by the tables.
  size_t MemoryBytes() const;

  // Frames per entry of the finest table; each further table has 4 times as many.
  static constexpr int64_t kBaseBlock = 256;
  static constexpr int kLevels = 5;

 private:
  PeakTable(std::unique_ptr<Source> source, Progress progress);
  void Run();
  // Under mu_: appends `fresh` to the finest table and brings the coarser ones up to
  // date; at the end also with their last, incomplete entries.
  void Publish(std::vector<PeakColumn>& fresh, int64_t frames, bool end);

  std::unique_ptr<Source> source_;
  Progress progress_;
  int rate_ = 0;
  int chans_ = 0;

  mutable std::mutex mu_;
  std::vector<PeakColumn> levels_[kLevels];  // levels_[l] has kBaseBlock << 2l frames an entry
  int64_t ready_frames_ = 0;
  int64_t length_frames_ = 0;

  std::atomic<bool> cancel_{false};
  std::atomic<bool> done_{false};
  std::thread worker_;
};

}  // namespace lirotag
