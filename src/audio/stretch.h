#pragma once

#include <cstdint>
#include <memory>

namespace lirotag {

// Changes the tempo of interleaved float frames and keeps their pitch. Its output is
// aligned with its input: after Reset, output frame k is the sound of input frame
// k × speed, whatever delay the method has inside, so whoever counts output frames
// knows the song time being played. Used by one thread at a time.
class Stretcher {
 public:
  virtual ~Stretcher() = default;
  // Forgets everything given so far; the next frame pushed is the one output frame 0
  // stands for. `speed` is input frames per output frame (0.5: half as fast).
  virtual void Reset(double speed) = 0;
  virtual double Speed() const = 0;
  // Input frames worth pushing before more output can come (at least 1).
  virtual int64_t Wanted() const = 0;
  // `last`: the input ends with these frames; what remains of the output is let out,
  // and exactly (frames pushed since Reset) / speed frames come in all.
  virtual void Push(const float* in, int64_t frames, bool last) = 0;
  // Up to `frames` frames of output; 0 when it needs input or has ended.
  virtual int64_t Pull(float* out, int64_t frames) = 0;
  // Everything has been pulled after a Push with `last`.
  virtual bool Ended() const = 0;
};

// Rubber Band's R3 ("finer") engine in its real-time mode with its short window: good
// quality for voices at about 3 % of one core at half speed for 44.1 kHz stereo on a
// small machine (the full R3 costs 7 %, R2 as much as this but with clicks further
// from their time). nullptr for a layout it cannot take.
std::unique_ptr<Stretcher> CreateStretcher(int rate, int channels);

}  // namespace lirotag
