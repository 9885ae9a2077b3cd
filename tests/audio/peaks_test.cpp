// The waveform strip's tables: the right min and max in the right column at every
// zoom, filled in pieces while the rest is read, and a cancel that stops the reading.

#include "audio/peaks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "wait_for.h"
#include "wav_file.h"

namespace lirotag {
namespace {

namespace fs = std::filesystem;
using testing::WaitFor;

// Mono: silence, then a square wave of amplitude `amp` from 1 s to 2 s, then silence.
float Signal(int64_t frame, int rate, float amp) {
  const double t = static_cast<double>(frame) / rate;
  if (t < 1.0 || t >= 2.0) return 0.0f;
  return (frame / 50) % 2 ? amp : -amp;
}

// A decoder of `seconds` of Signal, slowed by `delay` per read, counting its reads.
class FakeSource : public Source {
 public:
  FakeSource(int rate, double seconds, std::chrono::microseconds delay, std::atomic<int>* reads)
      : rate_(rate), length_(static_cast<int64_t>(seconds * rate)), delay_(delay), reads_(reads) {}
  int Rate() const override { return rate_; }
  int Channels() const override { return 1; }
  int64_t Length() const override { return length_; }
  bool Seek(int64_t frame) override {
    pos_ = frame;
    return true;
  }
  int64_t Read(float* out, int64_t frames) override {
    ++*reads_;
    std::this_thread::sleep_for(delay_);
    int64_t n = std::min(frames, length_ - pos_);
    for (int64_t i = 0; i < n; ++i) out[i] = Signal(pos_ + i, rate_, 1.0f);
    pos_ += n;
    return n;
  }
  std::string Decoder() const override { return "fake"; }

 private:
  int rate_;
  int64_t length_, pos_ = 0;
  std::chrono::microseconds delay_;
  std::atomic<int>* reads_;
};

TEST(PeaksTest, EachColumnHoldsItsStretchAtEveryZoom) {
  const std::string path =
      (fs::temp_directory_path() / ("lirotag_peaks_" + std::to_string(getpid()) + ".wav")).string();
  constexpr int kRate = 22050;
  std::vector<float> samples(3 * kRate);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = Signal(i, kRate, 0.5f);
  ASSERT_TRUE(testing::WriteWavFrames(path, kRate, 1, samples));
  auto table = PeakTable::Start(path);
  ASSERT_TRUE(table);
  ASSERT_TRUE(WaitFor([&] { return table->Done(); }, 10));
  fs::remove(path);
  EXPECT_DOUBLE_EQ(table->Seconds(), 3.0);
  EXPECT_DOUBLE_EQ(table->ReadySeconds(), 3.0);
  struct View {
    double start, end;
    int n;
  };
  // The whole song, zoomed in past one entry per column, off the ends of the song.
  for (View v : {View{0, 3, 1}, View{0, 3, 7}, View{0, 3, 600}, View{0.9, 1.1, 2000},
                 View{1.95, 2.05, 9000}, View{-1, 4, 50}, View{2.5, 8, 10}}) {
    SCOPED_TRACE(::testing::Message() << v.start << ".." << v.end << " in " << v.n);
    const auto cols = table->Columns(v.start, v.end, v.n);
    ASSERT_EQ(cols.size(), static_cast<size_t>(v.n));
    for (int c = 0; c < v.n; ++c) {
      const double s = v.start + (v.end - v.start) * c / v.n;
      const double e = v.start + (v.end - v.start) * (c + 1) / v.n;
      // A column may reach a quarter of its width, or one block of the finest table,
      // into the next stretch; never further.
      const double slack = std::max((e - s) / 4, double{PeakTable::kBaseBlock} / kRate);
      const bool square = e > 1.0 && s < 2.0, pure_square = s >= 1.0 && e <= 2.0;
      const bool silent = e <= 1.0 - slack || (s >= 2.0 + slack) || e <= 0 || s >= 3.0;
      if (silent) {
        EXPECT_EQ(cols[c].min, 0.0f) << c;
        EXPECT_EQ(cols[c].max, 0.0f) << c;
      } else if (square && (pure_square || e - s > 100.0 / kRate)) {
        // Wider than a half period of the square: both of its levels.
        EXPECT_NEAR(cols[c].min, -0.5f, 1e-3) << c;
        EXPECT_NEAR(cols[c].max, 0.5f, 1e-3) << c;
      }
    }
  }
  EXPECT_TRUE(table->Columns(2, 1, 10)[0].max == 0.0f);  // an empty view
  EXPECT_TRUE(PeakTable::Start(path + ".missing") == nullptr);
}

TEST(PeaksTest, PublishedInPiecesCancelledAtOnceSmallForTenMinutes) {
  std::atomic<int> reads{0};
  std::atomic<int> progress{0};
  // Slow enough to be looked at while it reads (100 s at 8 kHz, 1 ms per read).
  auto table = PeakTable::Start(
      std::make_unique<FakeSource>(8000, 100, std::chrono::microseconds(1000), &reads),
      [&] { ++progress; });
  ASSERT_TRUE(table);
  ASSERT_TRUE(WaitFor([&] { return table->ReadySeconds() >= 2.0; }, 10));
  EXPECT_GE(progress.load(), 1);
  EXPECT_FALSE(table->Done());
  EXPECT_LT(table->ReadySeconds(), table->Seconds());
  // The published part is there already.
  auto cols = table->Columns(0, 2, 2);
  EXPECT_EQ(cols[1].max, 1.0f);
  EXPECT_EQ(cols[1].min, -1.0f);
  EXPECT_EQ(table->Columns(0, 0.75, 1)[0].max, 0.0f);
  table->Cancel();
  EXPECT_TRUE(table->Done());
  const int after = reads.load(), calls = progress.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(reads.load(), after);
  EXPECT_EQ(progress.load(), calls);
  EXPECT_LT(table->ReadySeconds(), 50.0);
  EXPECT_EQ(table->Columns(0, 2, 2)[1].max, 1.0f);  // what was published stays

  // Ten minutes at 44.1 kHz, read at full speed.
  auto big = PeakTable::Start(
      std::make_unique<FakeSource>(44100, 600, std::chrono::microseconds(0), &reads));
  ASSERT_TRUE(WaitFor([&] { return big->Done(); }, 30));
  EXPECT_DOUBLE_EQ(big->ReadySeconds(), 600.0);
  EXPECT_LT(big->MemoryBytes(), 2u << 20);
  EXPECT_EQ(big->Columns(599, 600, 1)[0].max, 0.0f);
  EXPECT_EQ(big->Columns(1.5, 1.6, 1)[0].max, 1.0f);
}

}  // namespace
}  // namespace lirotag
