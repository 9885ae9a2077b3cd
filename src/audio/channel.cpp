#include "audio/channel.h"

#include <cmath>
#include <cstring>

namespace lirotag {

int64_t Channel::NextFrame() const {
  if (!Stretching() || restretch) return gen_start + rd;
  // Exact to the frame: the stretcher's output is aligned with its input, and a
  // rounded product never drifts the way a running sum of rounded steps would.
  return stretch_origin +
         static_cast<int64_t>(std::floor(static_cast<double>(stretched) * speed + 0.5));
}

bool Channel::Drained() const {
  return RingEnded() && Available() == 0 && (!Stretching() || restretch || stretcher->Ended());
}

void Channel::Restart() {
  restretch = true;
  if (!Stretching()) return;
  stretcher->Reset(speed);
  stretch_origin = gen_start + rd;
  stretched = 0;
  restretch = false;
}

int64_t Channel::Take(float* dst, int64_t n) {
  int64_t got = 0;
  if (!Stretching()) {
    got = std::min(n, Available());
    Pop(dst, got);
  } else {
    if (restretch) Restart();  // not reached while playing: every move restarts
    const int64_t room = static_cast<int64_t>(stretch_in.size()) / chans;
    bool flushed = false;  // told the input ends, in this call
    while (got < n) {
      int64_t k = stretcher->Pull(dst + got * chans, n - got);
      got += k;
      if (k > 0) continue;
      if (stretcher->Ended()) break;
      // A whole block at a time, not just what it asks for: the stretcher then works
      // through several steps while its tables are in the cache, which costs a third
      // less at half speed than feeding it a few hundred frames per output block.
      int64_t m = std::min({std::max<int64_t>(stretcher->Wanted(), room), Available(), room});
      if (m == 0) {
        // The decoder is behind (the caller comes back), or a stretcher told of the end
        // gives nothing more: never spin here, the channel's lock is held.
        if (!RingEnded() || flushed) break;
        stretcher->Push(nullptr, 0, true);
        flushed = true;
        continue;
      }
      Pop(stretch_in.data(), m);
      stretcher->Push(stretch_in.data(), m, false);
    }
    stretched += got;
  }
  // After the stretcher, so a change of volume is heard at once, not after its delay.
  if (volume != 1.0f)
    for (int64_t i = 0; i < got * chans; ++i) dst[i] *= volume;
  return got;
}

void Channel::Pop(float* dst, int64_t n) {
  for (int64_t i = 0; i < n; ++i) std::memcpy(dst + i * chans, At(rd + i), sizeof(float) * chans);
  rd += n;
  for (auto& f : fx) f.effect->Process(dst, static_cast<int>(n));
  for (int64_t i = 0; i < n; ++i) {
    std::memcpy(&recent[((recent_written + i) % kRecentFrames) * chans], dst + i * chans,
                sizeof(float) * chans);
  }
  recent_written += n;
  cv.notify_all();
}

}  // namespace lirotag
