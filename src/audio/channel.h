#pragma once

// One open song inside the engine: the ring its decoding thread fills, the DAC clock
// the position is read from, and the way from the ring to the output (effects,
// stretcher, volume).

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/dsp.h"
#include "audio/source.h"
#include "audio/stretch.h"

namespace lirotag {

inline constexpr int kChunk = 1024;         // frames decoded per step
inline constexpr int kRecentFrames = 4096;  // kept for ChannelGetData while playing
// Every source gives mono or stereo (more is folded into stereo when decoded).
inline constexpr int kMaxChannelChans = 2;

struct FxSlot {
  AudioHandle handle;
  int priority;
  std::unique_ptr<Effect> effect;
};

struct SyncSlot {
  AudioHandle handle;
  SyncProc proc;
  void* user;
};

struct PendingSync {
  SyncSlot sync;
  AudioHandle channel;
};

struct Channel {
  // The source's background count reports into m and cv: it goes before they do.
  ~Channel() { source.reset(); }

  AudioHandle handle = 0;
  bool music = false;
  uint32_t ctype = kCtypeStream;
  AudioHandle plugin = 0;
  std::unique_ptr<Source> source;  // the worker's alone once it runs
  int rate = 0;
  int chans = 0;
  std::string decoder;
  uint64_t file_start = 0;
  uint64_t file_end = 0;
  int origres = 0;

  // Everything below that is not atomic. Taken after the engine's own locks (see
  // Engine), before a source's counting thread reports in; the output's callback only
  // tries it, for a bounded moment, and never blocks on it.
  std::mutex m;
  std::condition_variable cv;
  std::thread worker;
  std::atomic<bool> quit{false};

  // Ring of frames: absolute frame gen_start + i lives at (i % cap). Frames below rd
  // are kept for `hist` frames so a pause can step back to what was heard.
  std::vector<float> ring;
  int64_t cap = 0;
  int64_t hist = 0;
  std::atomic<uint64_t> gen{0};
  uint64_t worker_gen = 0;
  int64_t gen_start = 0;
  int64_t wr = 0;
  int64_t rd = 0;
  bool eof = false;
  std::atomic<int64_t> length{0};
  bool length_exact = true;      // not an estimate
  bool length_counting = false;  // a background count may yet make it exact

  int state = kActiveStopped;
  bool ended = false;
  // The mixer played it to the end: its end syncs are due, and it leaves the playing
  // list (both off the output's callback).
  bool end_pending = false;
  bool starved = false;
  double starved_since = 0;  // when the output last found the ring empty mid-song
  bool drained = false;
  double end_time = 0;
  float volume = 1.0f;
  float freq = 0;

  // DAC clock: frame pos_base sounds at time pos_ref; never before pos_min nor past pos_max.
  int64_t pos_base = 0;
  double pos_ref = 0;
  int64_t pos_min = 0;
  int64_t pos_max = 0;
  int64_t last_reported = 0;
  // Where the channel last started or jumped, on the wall clock: no output can have
  // played more than the time since then.
  int64_t anchor_frame = 0;
  double anchor_time = 0;

  // Output-stage resampling (only when the device runs at another rate).
  double frac = 0;
  float prev[kMaxChannelChans] = {};
  float next[kMaxChannelChans] = {};
  bool primed = false;

  std::vector<FxSlot> fx;
  std::vector<SyncSlot> syncs;
  std::vector<float> recent;
  int64_t recent_written = 0;

  // Playing slower than the song: song frames per frame played, and the stretcher
  // between the ring and the output while it is not 1. It starts afresh wherever the
  // ring's read point jumps (Restart, on the thread that moves it, never the output's);
  // from there its output frame k stands for song frame stretch_origin + k × speed.
  // `restretch`: not started afresh yet (at 1, until a slower speed is set).
  double speed = 1.0;
  std::unique_ptr<Stretcher> stretcher;
  bool restretch = true;
  int64_t stretch_origin = 0;
  int64_t stretched = 0;  // output frames taken since
  std::vector<float> stretch_in;

  int64_t Space() const { return cap - (wr - std::max<int64_t>(0, rd - hist)); }
  // The room at which a full ring wakes its decoder again: a quarter of what it holds
  // ahead, so that the decoder wakes a few times a second for several chunks, not after
  // every block the output takes.
  int64_t RefillMark() const { return std::max<int64_t>(kChunk, (cap - hist) / 4); }
  int64_t Available() const { return wr - rd; }
  float* At(int64_t i) { return ring.data() + (i % cap) * chans; }
  // The ring's frames are all decoded up to the song's end.
  bool RingEnded() const { return eof && gen == worker_gen; }
  bool Stretching() const { return speed != 1.0 && stretcher; }

  // Under m, from here on. The song frame the next frame Take gives stands for.
  int64_t NextFrame() const;
  // Up to `n` frames as the output plays them: effects, the stretcher when slowed, the
  // volume. Fewer when the ring runs dry; 0 at the end.
  int64_t Take(float* dst, int64_t n);
  // Nothing is left to play: the ring is empty at the song's end and so is the stretcher.
  bool Drained() const;
  // The decoding thread's loop: keeps the ring filled from the read point on.
  void RunDecoder();
  // Stops the decoding thread and the source (a count in the background is joined);
  // not under m.
  void StopDecoder();
  // The song frame at the DAC now (the position reported), never past what the output
  // can have played; monotonic while playing.
  int64_t Position(double now);
  // Moves the read point to `frame`: inside the kept frames by moving the read index,
  // otherwise by asking the decoding thread for an exact seek; the clock starts there.
  void MoveTo(int64_t frame, double now);
  // The read point moved (see MoveTo): the stretcher starts afresh there. Its reset
  // feeds it a window of silence, too costly for the output's callback: done here.
  void Restart();

 private:
  // `n` frames out of the ring, through the effects, into the recent frames.
  void Pop(float* dst, int64_t n);
};

}  // namespace lirotag
