#pragma once

#include <functional>
#include <memory>
#include <string>

#include "audio/audio_engine.h"

namespace lirotag {

// The one clock of every output: the steady clock, in seconds. Devices report DAC times
// on their own clocks; outputs convert them, so the engine can change output mid-song
// without a jump in the position.
double OutputClock();

// Where the mixed stereo float frames go. `render` fills `frames` frames and is told
// when the first of them reaches the DAC, on OutputClock().
class Output {
 public:
  using Render = std::function<void(float* out, int frames, double dac_time)>;
  virtual ~Output() = default;
  // Opens at `rate` when the device allows it; Rate() tells what it got.
  virtual bool Start(int rate, Render render) = 0;
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
  virtual int Rate() const = 0;
  // True once a started output no longer plays in real time: the stream stopped on its
  // own, or frames are taken far faster than a DAC plays them. (An output that simply
  // stops calling back is noticed by the engine.) The engine then moves to the silent
  // output and opens a new device later; this one is only stopped and destroyed.
  virtual bool Failed() const { return false; }
  // "silent", or "PortAudio: <host API>: <device>".
  virtual std::string Name() const = 0;
};

// Consumes frames in real time and plays nothing: timing works without a device.
std::unique_ptr<Output> CreateSilentOutput();
// The default PortAudio device; nullptr when PortAudio has none, with the reason in `why`.
std::unique_ptr<Output> CreatePortAudioOutput(std::string* why = nullptr);
// Opens the default PortAudio device each time it is called.
OutputFactory PortAudioOutputs();

}  // namespace lirotag
