#include "audio/stretch.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <vector>

namespace lirotag {
namespace {

using RubberBand::RubberBandStretcher;

// Frames handed to Rubber Band per call: it is told this bound up front, so it never
// allocates while the output's callback runs.
constexpr int64_t kBlock = 1024;

class RubberBandStretch : public Stretcher {
 public:
  RubberBandStretch(int rate, int channels)
      : rb_(static_cast<size_t>(rate), static_cast<size_t>(channels),
            RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionEngineFiner |
                // One window size instead of R3's three: a third of the cost at half
                // speed, and clicks land closer to their song time than with the R2
                // engine at the same cost (see bench/ and the stretch tests).
                RubberBandStretcher::OptionWindowShort |
                // A voice sung in the middle keeps its place between the speakers.
                RubberBandStretcher::OptionChannelsTogether),
        chans_(channels),
        planar_(static_cast<size_t>(channels * kBlock)),
        ptrs_(static_cast<size_t>(channels)) {
    rb_.setMaxProcessSize(kBlock);
    for (int c = 0; c < chans_; ++c) ptrs_[c] = planar_.data() + c * kBlock;
    fifo_.reserve(static_cast<size_t>(chans_ * kBlock));
    Reset(1.0);
  }

  void Reset(double speed) override {
    speed_ = speed;
    rb_.reset();
    rb_.setTimeRatio(1.0 / speed);
    pushed_ = pulled_ = 0;
    limit_ = -1;
    fifo_.clear();
    head_ = 0;
    // The method looks at a window around each frame: silence before the first one
    // lets its start sound at once, and the output that stands for that silence is
    // dropped, so the output starts with the first frame pushed.
    std::fill(planar_.begin(), planar_.end(), 0.0f);
    for (int64_t pad = static_cast<int64_t>(rb_.getPreferredStartPad()); pad > 0;) {
      int64_t m = std::min(pad, kBlock);
      rb_.process(ptrs_.data(), static_cast<size_t>(m), false);
      pad -= m;
    }
    skip_ = static_cast<int64_t>(rb_.getStartDelay());
  }

  double Speed() const override { return speed_; }

  int64_t Wanted() const override {
    return std::clamp<int64_t>(static_cast<int64_t>(rb_.getSamplesRequired()), 1, kBlock);
  }

  void Push(const float* in, int64_t frames, bool last) override {
    if (limit_ >= 0 || (frames <= 0 && !last)) return;
    do {
      int64_t m = std::min(frames, kBlock);
      for (int64_t i = 0; i < m; ++i)
        for (int c = 0; c < chans_; ++c) ptrs_[c][i] = in[i * chans_ + c];
      in += m * chans_;
      frames -= m;
      pushed_ += m;
      bool final = last && frames == 0;
      rb_.process(ptrs_.data(), static_cast<size_t>(m), final);
      if (final) limit_ = static_cast<int64_t>(static_cast<double>(pushed_) / speed_ + 0.5);
    } while (frames > 0);
  }

  int64_t Pull(float* out, int64_t frames) override {
    int64_t got = 0;
    while (got < frames) {
      if (limit_ >= 0 && pulled_ + got >= limit_) break;
      if (head_ == fifo_.size() && !Refill()) break;
      int64_t m = std::min<int64_t>(frames - got, (fifo_.size() - head_) / chans_);
      if (limit_ >= 0) m = std::min(m, limit_ - pulled_ - got);
      std::copy_n(fifo_.data() + head_, m * chans_, out + got * chans_);
      head_ += static_cast<size_t>(m * chans_);
      got += m;
    }
    pulled_ += got;
    // The method may let out more than the stretched length (its window's tail): that
    // is past the song's end, and dropped, so the end is reached.
    if (limit_ >= 0 && pulled_ >= limit_) head_ = fifo_.size();
    return got;
  }

  bool Ended() const override { return limit_ >= 0 && pulled_ >= limit_; }

 private:
  // Takes what Rubber Band has ready into the queue; false when it has nothing.
  bool Refill() {
    fifo_.clear();
    head_ = 0;
    while (true) {
      int a = rb_.available();
      // Finished (or, after the last input, holding nothing more back): a method that
      // let out a little less than the stretched length ends in silence, so the length
      // and the time of every later frame hold.
      if (a < 0 || (a == 0 && limit_ >= 0)) {
        if (limit_ < 0 || pulled_ >= limit_) return false;
        fifo_.assign(static_cast<size_t>(std::min(kBlock, limit_ - pulled_) * chans_), 0.0f);
        return true;
      }
      if (a == 0) return false;
      int64_t m = std::min<int64_t>(a, kBlock);
      rb_.retrieve(ptrs_.data(), static_cast<size_t>(m));
      int64_t from = std::min(skip_, m);
      skip_ -= from;
      if (from == m) continue;
      fifo_.resize(static_cast<size_t>((m - from) * chans_));
      for (int64_t i = from; i < m; ++i)
        for (int c = 0; c < chans_; ++c) fifo_[(i - from) * chans_ + c] = ptrs_[c][i];
      return true;
    }
  }

  RubberBandStretcher rb_;
  int chans_;
  double speed_ = 1.0;
  std::vector<float> planar_;
  std::vector<float*> ptrs_;
  std::vector<float> fifo_;  // interleaved output not yet pulled, from head_
  size_t head_ = 0;
  int64_t skip_ = 0;    // output frames still to drop, standing for the start's padding
  int64_t pushed_ = 0;  // input frames since Reset
  int64_t pulled_ = 0;  // output frames since Reset
  int64_t limit_ = -1;  // all the output there will be, once the last input is in
};

}  // namespace

std::unique_ptr<Stretcher> CreateStretcher(int rate, int channels) {
  if (rate <= 0 || channels <= 0 || channels > 64) return nullptr;
  return std::make_unique<RubberBandStretch>(rate, channels);
}

}  // namespace lirotag
