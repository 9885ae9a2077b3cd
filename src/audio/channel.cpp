#include "audio/channel.h"

#include <cmath>
#include <cstring>

namespace lirotag {
namespace {

// A position may run ahead of the wall clock by this share at most: more than any
// device's clock drift, far less than a device that takes frames without playing them.
constexpr double kClockSlack = 1.001;

}  // namespace

int64_t Channel::Position(double now) {
  if (state != kActivePlaying) return pos_base;
  // Song frames per second: the playback rate, slowed by the stretcher.
  const double per_second = (freq > 0 ? freq : rate) * speed;
  int64_t p = pos_base + static_cast<int64_t>(std::floor((now - pos_ref) * per_second));
  p = std::clamp(p, pos_min, std::max(pos_min, pos_max));
  double since = std::max(0.0, now - anchor_time);
  p = std::min(p, std::max(pos_min, anchor_frame + static_cast<int64_t>(std::floor(
                                                       since * per_second * kClockSlack))));
  p = std::max(p, last_reported);  // monotonic while playing
  last_reported = p;
  return p;
}

void Channel::MoveTo(int64_t frame, double now) {
  int64_t i = frame - gen_start;
  int64_t lo = std::max<int64_t>(0, rd - hist);
  if (gen == worker_gen && i >= lo && i <= wr && !(eof && i == wr && i == 0)) {
    rd = i;
  } else {
    gen++;
    gen_start = frame;
    wr = rd = 0;
    eof = false;
  }
  drained = false;
  starved = false;
  primed = false;
  frac = 0;
  Restart();
  pos_base = pos_min = pos_max = last_reported = frame;
  pos_ref = now;
  anchor_frame = frame;
  anchor_time = now;
  cv.notify_all();
}

void Channel::RunDecoder() {
  std::vector<float> buf(static_cast<size_t>(kChunk) * chans);
  std::unique_lock<std::mutex> lk(m);
  // Filling until the ring is full, then resting until its refill mark.
  bool filling = true;
  while (true) {
    cv.wait(lk, [&] {
      return quit || gen != worker_gen || (!eof && Space() >= (filling ? kChunk : RefillMark()));
    });
    if (quit) break;
    filling = true;
    uint64_t g = gen;
    if (g != worker_gen) {
      worker_gen = g;
      int64_t target = gen_start;
      lk.unlock();
      bool ok = source->Seek(target);
      lk.lock();
      if (gen == g && !ok) {
        eof = true;
        cv.notify_all();
      }
      continue;
    }
    lk.unlock();
    int64_t n = source->Read(buf.data(), kChunk);
    int64_t len = source->Length();
    bool exact = source->LengthExact();
    lk.lock();
    if (gen != g) continue;  // a seek came in meanwhile: these frames are stale
    // An estimate read before the count finished must not replace the count's result.
    if (len >= 0 && (exact || !length_exact)) length = len;
    if (exact) length_exact = true;
    if (n <= 0) {
      eof = true;
      // What decoded is what there is (a truncated file ends early).
      if (len < 0 || gen_start + wr < len) length = gen_start + wr;
    } else {
      for (int64_t i = 0; i < n; ++i)
        std::memcpy(At(wr + i), buf.data() + i * chans, sizeof(float) * chans);
      wr += n;
    }
    if (Space() < kChunk) filling = false;
    cv.notify_all();
  }
}

void Channel::StopDecoder() {
  {
    std::lock_guard<std::mutex> lk(m);
    quit = true;
  }
  cv.notify_all();
  if (worker.joinable()) worker.join();
  // Here, not wherever the last reference goes: a count in the background stops and
  // is joined.
  source.reset();
}

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
  // Only the decoder waits for room, and only from its mark on.
  if (Space() >= RefillMark()) cv.notify_all();
}

}  // namespace lirotag
