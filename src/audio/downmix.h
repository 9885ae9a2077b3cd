#pragma once

// Folding any channel layout into mono or stereo with libswresample's standard matrix
// (centre and surrounds at -3 dB, LFE left out), normalised so that a full-scale
// signal in every channel cannot clip. Same rate in and out: no filter, no delay, so
// each output frame is made from the input frame at the same place and seeks stay
// exact.

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

struct SwrContext;

namespace lirotag {

class Downmixer {
 public:
  Downmixer() = default;
  Downmixer(const Downmixer&) = delete;
  Downmixer& operator=(const Downmixer&) = delete;
  ~Downmixer();

  // (Re)builds the matrix when the input changed; false when no matrix can be made.
  // A layout without channel names is read as the usual layout of its channel count.
  bool Configure(const AVChannelLayout& in, AVSampleFormat format, int rate, int out_channels);
  // `count` frames from `in` (one pointer per plane, already at the first frame) into
  // interleaved floats at `out`. Frames converted, or -1.
  int Convert(const uint8_t* const* in, int count, float* out);

 private:
  SwrContext* swr_ = nullptr;
  AVChannelLayout in_{};
  AVSampleFormat format_ = AV_SAMPLE_FMT_NONE;
  int rate_ = 0;
  int out_channels_ = 0;
};

}  // namespace lirotag
