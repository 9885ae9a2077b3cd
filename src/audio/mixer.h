#pragma once

// The songs the output plays and the mixing of them on the output's callback. The
// callback works from its own copy of the playing list and buffers sized beforehand: it
// blocks on no lock (it tries them) and allocates nothing. A song it plays to the end
// is left to the monitor thread to finish (its end syncs, its leaving the list).

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/channel.h"
#include "audio/output.h"

namespace lirotag {

class Mixer {
 public:
  // `on_end` is called on the callback when a song has played to its end: it must
  // not block (OutputHolder::Wake).
  explicit Mixer(std::function<void()> on_end) : on_end_(std::move(on_end)) {}

  // The list of playing songs; each change is seen by the next callback.
  void Add(const std::shared_ptr<Channel>& ch);
  void Remove(const std::shared_ptr<Channel>& ch);
  void Clear();
  bool AnyPlaying();
  std::vector<std::shared_ptr<Channel>> Playing();
  // Once this returns, no callback mixes from a list older than the list now: a song
  // removed before may be destroyed.
  void WaitUntilUnused();

  // The callback: mixes the playing songs into `out` (stereo, zeroed) for output `o`
  // at `dev_rate`, while `current` is `o`; the first frame reaches the DAC at `dac`.
  void Mix(const std::atomic<Output*>& current, Output* o, float* out, int frames, double dac,
           int dev_rate);
  // Off the callback: the songs played to their end leave the list, their end syncs
  // are added to `fire`.
  void FinishEnded(std::vector<PendingSync>* fire);

 private:
  // Under play_mu_, after any change to playing_.
  void PlayingChanged() { playing_version_.fetch_add(1); }
  static bool LockForMix(Channel& ch);

  static constexpr size_t kMaxChannels = 64;
  static constexpr int kBlock = 4096;

  std::function<void()> on_end_;
  // Before Channel::m in the lock order.
  std::mutex play_mu_;  // the list below
  std::vector<std::shared_ptr<Channel>> playing_;
  std::atomic<uint64_t> playing_version_{0};  // changes with playing_

  // The callback's own: its copy of the playing list (pointers only: it never holds the
  // last reference, see WaitUntilUnused), the version it was copied at, and its
  // buffer. `mixing_` is set while a callback mixes; a second output's late callback
  // meanwhile mixes nothing.
  std::vector<Channel*> mix_list_ = std::vector<Channel*>(kMaxChannels);
  size_t mix_count_ = 0;
  uint64_t mix_version_ = ~uint64_t{0};
  std::atomic<uint64_t> mix_seen_{0};
  std::atomic<bool> mixing_{false};
  std::vector<float> mix_tmp_ = std::vector<float>(kBlock * kMaxChannelChans);
  // A song the callback played to its end: FinishEnded has work.
  std::atomic<bool> ends_pending_{false};
};

}  // namespace lirotag
