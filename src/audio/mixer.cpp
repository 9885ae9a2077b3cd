#include "audio/mixer.h"

#include <algorithm>
#include <thread>

namespace lirotag {

void Mixer::Add(const std::shared_ptr<Channel>& ch) {
  std::lock_guard<std::mutex> lk(play_mu_);
  if (std::find(playing_.begin(), playing_.end(), ch) != playing_.end()) return;
  if (playing_.size() >= kMaxChannels) return;
  playing_.push_back(ch);
  PlayingChanged();
}

void Mixer::Remove(const std::shared_ptr<Channel>& ch) {
  std::lock_guard<std::mutex> lk(play_mu_);
  playing_.erase(std::remove(playing_.begin(), playing_.end(), ch), playing_.end());
  PlayingChanged();
}

void Mixer::Clear() {
  std::lock_guard<std::mutex> lk(play_mu_);
  playing_.clear();
  PlayingChanged();
}

bool Mixer::AnyPlaying() {
  std::lock_guard<std::mutex> lk(play_mu_);
  return !playing_.empty();
}

std::vector<std::shared_ptr<Channel>> Mixer::Playing() {
  std::lock_guard<std::mutex> lk(play_mu_);
  return playing_;
}

// The songs the mixer played to their end leave the playing list, and their end syncs
// are queued; here rather than on the output's callback, which must not wait for the
// locks this takes nor allocate.
void Mixer::FinishEnded(std::vector<PendingSync>* fire) {
  if (!ends_pending_.exchange(false)) return;
  std::lock_guard<std::mutex> pl(play_mu_);
  for (auto it = playing_.begin(); it != playing_.end();) {
    Channel& ch = **it;
    std::lock_guard<std::mutex> lk(ch.m);
    if (ch.end_pending) {
      ch.end_pending = false;
      for (auto& sy : ch.syncs) fire->push_back(PendingSync{sy, ch.handle});
    }
    it = ch.state == kActivePlaying ? std::next(it) : playing_.erase(it);
  }
  PlayingChanged();
}

// Once this returns, no callback mixes from a list older than the playing list now:
// a channel that has left it may be destroyed.
void Mixer::WaitUntilUnused() {
  const uint64_t v = playing_version_.load();
  // Versions only grow: a callback that has copied this one or a later one is done
  // with the old list.
  while (mixing_.load() && mix_seen_.load() < v) std::this_thread::yield();
}

// Tries a channel's lock for a few microseconds: its holders (the decoding thread adding
// a chunk, a position read) hold it about that long. Never yields: under load the
// holder may be off the processor for a whole time slice, and a callback that waited
// for it would be late for every song. That channel is then silent for one block; a
// seek (which holds the lock longer) sounds like that anyway.
bool Mixer::LockForMix(Channel& ch) {
  for (int i = 0; i < 256; ++i)
    if (ch.m.try_lock()) return true;
  return false;
}

// The output's callback: never waits on a lock another thread may hold for long, and
// allocates nothing.
void Mixer::Mix(const std::atomic<Output*>& current, Output* o, float* out, int frames, double dac,
                int dev_rate) {
  if (mixing_.exchange(true)) return;  // a replaced output's late callback still mixes
  const uint64_t version = playing_version_.load();
  if (version != mix_version_) {
    if (!play_mu_.try_lock()) {
      // The list is changing, and a channel that has left it may be on its way out:
      // nothing is mixed from the old copy.
      mixing_ = false;
      return;
    }
    mix_count_ = std::min(playing_.size(), mix_list_.size());
    for (size_t i = 0; i < mix_count_; ++i) mix_list_[i] = playing_[i].get();
    mix_version_ = playing_version_.load();
    play_mu_.unlock();
    mix_seen_ = mix_version_;
  }
  const double now = OutputClock();
  bool ended = false;
  for (size_t k = 0; k < mix_count_; ++k) {
    Channel& ch = *mix_list_[k];
    if (!LockForMix(ch)) continue;
    std::lock_guard<std::mutex> lk(ch.m, std::adopt_lock);
    if (current.load() != o) break;  // the output was replaced while mixing
    if (ch.state != kActivePlaying) continue;
    int64_t first = ch.NextFrame();
    int produced = 0;
    auto mix = [&](const float* f, int j) {
      float l = f[0], r = ch.chans > 1 ? f[1] : f[0];
      out[j * 2] += l;
      out[j * 2 + 1] += r;
    };
    if (ch.freq == dev_rate) {
      while (produced < frames) {
        const int want = std::min(frames - produced, kBlock);
        const int n = static_cast<int>(ch.Take(mix_tmp_.data(), want));
        for (int j = 0; j < n; ++j) mix(mix_tmp_.data() + j * ch.chans, produced + j);
        produced += n;
        if (n < want) break;
      }
    } else {
      // Linear interpolation between consecutive frames, positions stay in song frames.
      double step = ch.freq / dev_rate;
      if (!ch.primed && ch.Take(ch.prev, 1) == 1) {
        // The loop below steps onto the second frame before it plays the first.
        std::copy_n(ch.prev, kMaxChannelChans, ch.next);
        ch.frac = 1.0;
        ch.primed = true;
      }
      float f[kMaxChannelChans];
      for (int j = 0; ch.primed && j < frames; ++j) {
        while (ch.frac >= 1.0) {
          if (ch.Take(f, 1) < 1) break;
          std::copy_n(ch.next, kMaxChannelChans, ch.prev);
          std::copy_n(f, kMaxChannelChans, ch.next);
          ch.frac -= 1.0;
        }
        if (ch.frac >= 1.0) break;
        for (int c = 0; c < ch.chans; ++c)
          f[c] = static_cast<float>(ch.prev[c] + (ch.next[c] - ch.prev[c]) * ch.frac);
        mix(f, j);
        ch.frac += step;
        produced = j + 1;
      }
    }
    int64_t last = ch.NextFrame();
    if (produced > 0) {
      ch.pos_base = first;
      ch.pos_ref = dac;
      ch.pos_max = std::max(ch.pos_max, last);
      ch.starved = false;
    }
    if (produced < frames) {
      if (ch.Drained()) {
        if (!ch.drained) {
          ch.drained = true;
          ch.end_time = dac + static_cast<double>(produced) / dev_rate;
        }
      } else {
        if (!ch.starved) ch.starved_since = now;
        ch.starved = true;
      }
    }
    if (ch.drained && now >= ch.end_time) {
      ch.state = kActiveStopped;
      ch.ended = true;
      ch.drained = false;
      ch.pos_base = ch.pos_min = ch.pos_max = ch.gen_start + ch.rd;
      ch.end_pending = true;
      ended = true;
    }
  }
  mixing_ = false;
  if (ended) {
    ends_pending_ = true;
    on_end_();
  }
}

}  // namespace lirotag
