#include "audio/downmix.h"

extern "C" {
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace lirotag {

namespace {

// The speakers a file without channel names means, in the order WAVE files list them.
// (FFmpeg's own default for three channels is 2.1, whose third channel, the LFE, a
// stereo fold leaves out: a third of such a song would go unheard.)
uint64_t UsualLayout(int channels) {
  switch (channels) {
    case 1:
      return AV_CH_LAYOUT_MONO;
    case 2:
      return AV_CH_LAYOUT_STEREO;
    case 3:
      return AV_CH_LAYOUT_SURROUND;
    case 4:
      return AV_CH_LAYOUT_QUAD;
    case 5:
      return AV_CH_LAYOUT_5POINT0_BACK;
    case 6:
      return AV_CH_LAYOUT_5POINT1_BACK;
    case 7:
      return AV_CH_LAYOUT_6POINT1;
    case 8:
      return AV_CH_LAYOUT_7POINT1;
    default:  // the first speakers of the standard order, one per channel
      return channels > 0 && channels <= 18 ? (uint64_t{1} << channels) - 1 : 0;
  }
}

}  // namespace

Downmixer::~Downmixer() {
  swr_free(&swr_);
  av_channel_layout_uninit(&in_);
}

bool Downmixer::Configure(const AVChannelLayout& in, AVSampleFormat format, int rate,
                          int out_channels) {
  if (swr_ && format == format_ && rate == rate_ && out_channels == out_channels_ &&
      av_channel_layout_compare(&in, &in_) == 0)
    return true;
  swr_free(&swr_);
  av_channel_layout_uninit(&in_);
  if (av_channel_layout_copy(&in_, &in) < 0) return false;
  format_ = format;
  rate_ = rate;
  out_channels_ = out_channels;

  AVChannelLayout from{};
  if (in.order == AV_CHANNEL_ORDER_UNSPEC || !av_channel_layout_check(&in)) {
    if (av_channel_layout_from_mask(&from, UsualLayout(in.nb_channels)) < 0) return false;
  } else if (av_channel_layout_copy(&from, &in) < 0) {
    return false;
  }
  AVChannelLayout to{};
  av_channel_layout_default(&to, out_channels);
  int r = swr_alloc_set_opts2(&swr_, &to, AV_SAMPLE_FMT_FLT, rate, &from, format, rate, 0, nullptr);
  av_channel_layout_uninit(&from);
  av_channel_layout_uninit(&to);
  if (r < 0 || !swr_) return false;
  // Float output is otherwise left unnormalised: a loud 5.1 mix would sum far past 1.0.
  av_opt_set_double(swr_, "rematrix_maxval", 1.0, 0);
  if (swr_init(swr_) < 0) {
    swr_free(&swr_);
    return false;
  }
  return true;
}

int Downmixer::Convert(const uint8_t* const* in, int count, float* out) {
  if (!swr_ || count <= 0) return count == 0 ? 0 : -1;
  uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(out)};
  // Without resampling every input frame comes out at once; nothing stays buffered.
  return swr_convert(swr_, dst, count, const_cast<const uint8_t**>(in), count);
}

}  // namespace lirotag
