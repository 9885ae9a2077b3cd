#pragma once

#include <functional>
#include <memory>

namespace lirotag {

// Where the mixed stereo float frames go. `render` fills `frames` frames and is told
// when the first of them reaches the DAC, on the clock Now() reads.
class Output {
 public:
  using Render = std::function<void(float* out, int frames, double dac_time)>;
  virtual ~Output() = default;
  // Opens at `rate` when the device allows it; Rate() tells what it got.
  virtual bool Start(int rate, Render render) = 0;
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
  virtual int Rate() const = 0;
  virtual double Now() const = 0;
};

// Consumes frames in real time and plays nothing: timing works without a device.
std::unique_ptr<Output> CreateSilentOutput();
// The default PortAudio device; nullptr when PortAudio has none.
std::unique_ptr<Output> CreatePortAudioOutput();

}  // namespace lirotag
