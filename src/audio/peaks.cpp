#include "audio/peaks.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace lirotag {
namespace {

constexpr int64_t kReadFrames = 4096;
// A piece is published this often: the strip fills in smoothly, and the lock the
// painting thread shares is taken seldom.
constexpr double kPublishSeconds = 0.05;
// The rate tracker modules are rendered at, as the engine plays them.
constexpr int kModuleRate = 48000;

PeakColumn Merge(PeakColumn a, PeakColumn b) {
  return PeakColumn{std::min(a.min, b.min), std::max(a.max, b.max)};
}

}  // namespace

std::unique_ptr<PeakTable> PeakTable::Start(const std::string& path, Progress progress) {
  if (CheckSongPath(path) != OpenError::kNone) return nullptr;
  std::unique_ptr<Source> src = OpenFfmpegFile(path, nullptr);
  if (!src) src = OpenModuleFile(path, kModuleRate, nullptr);
  return src ? Start(std::move(src), std::move(progress)) : nullptr;
}

std::unique_ptr<PeakTable> PeakTable::Start(std::unique_ptr<Source> source, Progress progress) {
  if (!source || !PlausibleLayout(source->Rate(), source->Channels())) return nullptr;
  std::unique_ptr<PeakTable> t(new PeakTable(std::move(source), std::move(progress)));
  t->worker_ = std::thread(&PeakTable::Run, t.get());
  return t;
}

PeakTable::PeakTable(std::unique_ptr<Source> source, Progress progress)
    : source_(std::move(source)), progress_(std::move(progress)) {
  rate_ = source_->Rate();
  chans_ = source_->Channels();
  length_frames_ = std::max<int64_t>(0, source_->Length());
  source_->SetCancel([this] { return cancel_.load(); });
  // Reserved up front from the length announced, so publishing rarely reallocates
  // while the painting thread waits; but a header is believed only as far as an hour
  // (a few megabytes): past that the tables grow with what is decoded.
  const int64_t reserve = std::min<int64_t>(length_frames_, int64_t{3600} * rate_);
  for (int l = 0; l < kLevels; ++l)
    levels_[l].reserve(static_cast<size_t>(reserve / (kBaseBlock << (2 * l)) + 2));
}

PeakTable::~PeakTable() {
  Cancel();
}

void PeakTable::Cancel() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  source_.reset();
}

void PeakTable::Run() {
  std::vector<float> buf(static_cast<size_t>(kReadFrames * chans_));
  std::vector<PeakColumn> fresh;
  PeakColumn cur{INFINITY, -INFINITY};
  int64_t in_block = 0, frames = 0;
  auto last = std::chrono::steady_clock::now();
  while (!cancel_) {
    int64_t n = source_->Read(buf.data(), kReadFrames);
    if (n <= 0) break;
    for (int64_t i = 0; i < n; ++i) {
      for (int c = 0; c < chans_; ++c) {
        float v = buf[i * chans_ + c];
        cur.min = std::min(cur.min, v);
        cur.max = std::max(cur.max, v);
      }
      if (++in_block == kBaseBlock) {
        fresh.push_back(cur);
        cur = PeakColumn{INFINITY, -INFINITY};
        in_block = 0;
      }
    }
    frames += n;
    auto now = std::chrono::steady_clock::now();
    if (std::chrono::duration<double>(now - last).count() >= kPublishSeconds) {
      last = now;
      {
        std::lock_guard<std::mutex> lk(mu_);
        Publish(fresh, frames - in_block, false);
      }
      if (progress_ && !cancel_) progress_();
    }
  }
  if (in_block > 0) fresh.push_back(cur);
  {
    std::lock_guard<std::mutex> lk(mu_);
    bool complete = !cancel_;
    Publish(fresh, complete ? frames : frames - in_block, complete);
    // What decoded is what there is.
    if (complete) length_frames_ = frames;
  }
  done_ = true;
  if (progress_ && !cancel_) progress_();
}

void PeakTable::Publish(std::vector<PeakColumn>& fresh, int64_t frames, bool end) {
  levels_[0].insert(levels_[0].end(), fresh.begin(), fresh.end());
  fresh.clear();
  ready_frames_ = frames;
  length_frames_ = std::max(length_frames_, frames);
  for (int l = 1; l < kLevels; ++l) {
    std::vector<PeakColumn>& fine = levels_[l - 1];
    std::vector<PeakColumn>& coarse = levels_[l];
    size_t whole = fine.size() / 4;
    size_t want = end ? (fine.size() + 3) / 4 : whole;
    for (size_t i = coarse.size(); i < want; ++i) {
      PeakColumn m = fine[i * 4];
      for (size_t j = i * 4 + 1; j < std::min(fine.size(), i * 4 + 4); ++j) m = Merge(m, fine[j]);
      coarse.push_back(m);
    }
  }
}

double PeakTable::Seconds() const {
  std::lock_guard<std::mutex> lk(mu_);
  return static_cast<double>(length_frames_) / rate_;
}

double PeakTable::ReadySeconds() const {
  std::lock_guard<std::mutex> lk(mu_);
  return static_cast<double>(ready_frames_) / rate_;
}

size_t PeakTable::MemoryBytes() const {
  std::lock_guard<std::mutex> lk(mu_);
  size_t bytes = 0;
  for (const auto& l : levels_) bytes += l.capacity() * sizeof(PeakColumn);
  return bytes;
}

std::vector<PeakColumn> PeakTable::Columns(double start, double end, int n) const {
  std::vector<PeakColumn> out(static_cast<size_t>(std::max(n, 0)));
  if (n <= 0 || !(end > start) || !std::isfinite(start) || !std::isfinite(end)) return out;
  const double width = (end - start) * rate_ / n;  // frames per column
  // The coarsest table with four entries or more per column: a column reaches at most
  // a quarter of its width into its neighbour's stretch, and takes a handful of entries.
  int level = 0;
  while (level + 1 < kLevels && static_cast<double>(kBaseBlock << (2 * (level + 2))) <= width)
    ++level;
  const int64_t block = kBaseBlock << (2 * level);
  std::lock_guard<std::mutex> lk(mu_);
  const std::vector<PeakColumn>& t = levels_[level];
  const int64_t have = static_cast<int64_t>(t.size());
  for (int c = 0; c < n; ++c) {
    const double s = start * rate_ + c * width, e = s + width;
    if (e <= 0 || s >= static_cast<double>(ready_frames_)) continue;
    int64_t first = static_cast<int64_t>(std::floor(std::max(s, 0.0) / block));
    int64_t last = std::max(first + 1, static_cast<int64_t>(std::ceil(e / block)));
    last = std::min(last, have);
    PeakColumn m{INFINITY, -INFINITY};
    for (int64_t i = first; i < last; ++i) m = Merge(m, t[i]);
    if (m.min <= m.max) out[c] = m;
  }
  return out;
}

}  // namespace lirotag
