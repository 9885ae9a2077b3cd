#pragma once

#include <memory>
#include <vector>

#include "audio/audio_engine.h"

namespace lirotag {

// An effect working in place on interleaved float frames.
class Effect {
 public:
  virtual ~Effect() = default;
  virtual uint32_t Type() const = 0;
  // False when the parameters are of the other effect's kind or out of range.
  virtual bool SetParameters(const FxParameters& p) = 0;
  virtual FxParameters Parameters() const = 0;
  virtual void Process(float* frames, int count) = 0;
};

// kFxParamEq or kFxReverb; nullptr for any other type.
std::unique_ptr<Effect> MakeEffect(uint32_t type, int rate, int channels);

// Magnitudes of a 512-point FFT (Hann window) of 512 mono samples: 256 values.
void Fft512(const float* samples, float* magnitudes);

}  // namespace lirotag
