// FFmpeg decoding with sample-exact positions.
//
// Frame 0 is the first sample FFmpeg's own decode from the start produces (encoder
// delay and padding removed as FFmpeg reports them), so "decode from the start" and
// "seek to t" agree sample for sample. Two ways of knowing where a decoded frame lies:
//  - indexed (MPEG audio): one demux-only pass at open records every packet's byte
//    position, duration and start/end trimming; a seek jumps to a packet by byte, and
//    each decoded frame is placed by the packet it came from. Exact without a TOC.
//  - generic: FFmpeg's timestamp seek a little before the target, then decode and
//    discard by the frame timestamps, which these containers give exactly; for
//    containers with millisecond timestamps (ASF, Matroska) frames are instead placed
//    by packet positions learned while decoding from a known point (see WalkIndex).
//    Their headers only estimate the length and their packets carry no sample counts
//    (with a bit reservoir a packet's frame count depends on where the previous one's
//    bits ended), so a second decoder counts the decoded frames on its own thread.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio/source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

namespace lirotag {
namespace {

// One reader of a file image; readers on other threads share the bytes.
struct MemoryFile {
  std::shared_ptr<const std::vector<uint8_t>> data;
  int64_t pos = 0;
};

int MemRead(void* opaque, uint8_t* buf, int size) {
  auto* m = static_cast<MemoryFile*>(opaque);
  int64_t left = static_cast<int64_t>(m->data->size()) - m->pos;
  if (left <= 0) return AVERROR_EOF;
  int n = static_cast<int>(std::min<int64_t>(left, size));
  std::memcpy(buf, m->data->data() + m->pos, n);
  m->pos += n;
  return n;
}

int64_t MemSeek(void* opaque, int64_t offset, int whence) {
  auto* m = static_cast<MemoryFile*>(opaque);
  int64_t size = static_cast<int64_t>(m->data->size());
  if (whence & AVSEEK_SIZE) return size;
  int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      base = 0;
      break;
    case SEEK_CUR:
      base = m->pos;
      break;
    case SEEK_END:
      base = size;
      break;
    default:
      return -1;
  }
  int64_t p = base + offset;
  if (p < 0 || p > size) return -1;
  m->pos = p;
  return p;
}

// The same arithmetic as libswresample's converters, so our floats equal FFmpeg's.
float SampleToFloat(const uint8_t* p, AVSampleFormat packed) {
  switch (packed) {
    case AV_SAMPLE_FMT_U8:
      return (*p - 0x80) * (1.0f / (1 << 7));
    case AV_SAMPLE_FMT_S16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v * (1.0f / (1 << 15));
    }
    case AV_SAMPLE_FMT_S32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v * (1.0f / (1U << 31));
    }
    case AV_SAMPLE_FMT_S64: {
      int64_t v;
      std::memcpy(&v, p, 8);
      return v * (1.0f / (UINT64_C(1) << 63));
    }
    case AV_SAMPLE_FMT_FLT: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case AV_SAMPLE_FMT_DBL: {
      double v;
      std::memcpy(&v, p, 8);
      return static_cast<float>(v);
    }
    default:
      return 0.0f;
  }
}

// One packet of an indexed file.
struct PacketEntry {
  int64_t pos;        // byte position
  int64_t out_start;  // output frame of its first kept sample
  int32_t skip;       // samples dropped from its start
  int32_t count;      // samples kept
};

// The result of a background count of the decoded frames.
class LengthCount {
 public:
  // Frames, or -1 while counting or after a failed count.
  int64_t Frames() const { return frames_.load(); }
  bool Stopped() const { return stop_.load(); }
  void Stop() { stop_ = true; }

  void Finish(int64_t frames) {
    std::lock_guard<std::mutex> lk(mu_);
    frames_ = frames;
    done_ = true;
    if (listener_ && !stop_) listener_(frames);
  }
  void Listen(std::function<void(int64_t)> done) {
    std::lock_guard<std::mutex> lk(mu_);
    listener_ = std::move(done);
    if (done_ && listener_ && !stop_) listener_(frames_.load());
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> frames_{-1};
  std::mutex mu_;
  bool done_ = false;
  std::function<void(int64_t)> listener_;
};

bool IsTrackerDemuxer(const char* name) {
  std::string n = name ? name : "";
  return n.find("openmpt") != std::string::npos || n.find("modplug") != std::string::npos;
}

class FfmpegSource : public Source {
 public:
  FfmpegSource(std::string path, std::shared_ptr<MemoryFile> mem)
      : path_(std::move(path)), mem_(std::move(mem)) {}
  ~FfmpegSource() override {
    if (count_) count_->Stop();
    if (count_thread_.joinable()) count_thread_.join();
    CloseContainer();
    av_packet_free(&pkt_);
    av_frame_free(&frame_);
  }

  bool Open(std::string* err);

  int Rate() const override { return rate_; }
  int Channels() const override { return channels_; }
  int64_t Length() const override {
    int64_t counted = count_ ? count_->Frames() : -1;
    return counted >= 0 ? counted : length_;
  }
  bool LengthExact() const override { return length_exact_ || (count_ && count_->Frames() >= 0); }
  void OnLengthCounted(std::function<void(int64_t)> done) override {
    if (count_) count_->Listen(std::move(done));
  }
  bool Seek(int64_t frame) override;
  int64_t Read(float* out, int64_t frames) override;
  std::string Decoder() const override { return decoder_name_; }
  uint64_t FileStart() const override { return file_start_; }
  uint64_t FileEnd() const override { return file_end_; }
  int OriginalResolution() const override { return resolution_; }
  void SetCancel(std::function<bool()> cancel) override { cancel_ = std::move(cancel); }

 private:
  static int Interrupt(void* opaque) {
    auto* self = static_cast<FfmpegSource*>(opaque);
    return self->cancel_ && self->cancel_() ? 1 : 0;
  }

  enum class Mode { kGeneric, kIndexed, kWalk };

  bool OpenContainer(std::string* err);
  void CloseContainer();
  bool BuildPacketIndex();
  bool Restart(int64_t target);
  void ResetDecodeState(int64_t target);
  bool DecodeMore();
  void PlaceFrame(const AVFrame* f);
  void AppendSamples(const AVFrame* f, int first, int count);
  int64_t FindPacket(int64_t pos) const;
  void MeasureLength();
  void StartLengthCount();
  static int64_t CountFrames(const std::string& path, std::shared_ptr<MemoryFile> mem,
                             std::function<bool()> cancel);

  std::string path_;
  std::shared_ptr<MemoryFile> mem_;
  std::function<bool()> cancel_;
  AVFormatContext* fmt_ = nullptr;
  AVIOContext* avio_ = nullptr;
  AVCodecContext* dec_ = nullptr;
  AVPacket* pkt_ = av_packet_alloc();
  AVFrame* frame_ = av_frame_alloc();
  int stream_ = -1;
  AVRational tb_{1, 1};
  int rate_ = 0;
  int channels_ = 0;
  int resolution_ = 0;
  int64_t length_ = -1;
  uint64_t file_start_ = 0;
  uint64_t file_end_ = 0;
  std::string decoder_name_;
  Mode mode_ = Mode::kGeneric;
  bool length_exact_ = true;
  bool count_only_ = false;  // a counting instance: frames are counted, not kept
  std::unique_ptr<LengthCount> count_;
  std::thread count_thread_;

  // Indexed and walk modes: packets in file order. In walk mode the list grows while
  // decoding runs on, anchored, from the start; `walk_end_` is the first output frame
  // not yet covered.
  std::vector<PacketEntry> index_;
  int64_t walk_end_ = 0;
  int64_t jump_pos_ = -1;        // first packet read after a byte jump
  int64_t last_frame_pos_ = -1;  // packet of the previous decoded frame
  bool from_top_ = false;        // decoding runs from the start of the file

  int64_t origin_pts_ = AV_NOPTS_VALUE;  // timestamp of frame 0 (generic)
  int64_t next_out_ = -1;                // output frame of the next decoded sample; -1 unanchored
  int64_t first_anchor_ = -1;            // where the first frame after a seek landed
  int64_t discard_until_ = 0;
  int64_t pos_ = 0;  // output frame of the next Read
  bool draining_ = false;
  bool eof_ = false;
  int errors_ = 0;
  std::vector<float> pending_;
  size_t pending_off_ = 0;  // floats already read
};

bool FfmpegSource::OpenContainer(std::string* err) {
  fmt_ = avformat_alloc_context();
  if (!fmt_) return false;
  if (mem_) {
    mem_->pos = 0;
    if (!mem_->data) return false;
    auto* buf = static_cast<unsigned char*>(av_malloc(32768));
    avio_ = avio_alloc_context(buf, 32768, 0, mem_.get(), MemRead, nullptr, MemSeek);
    if (!avio_) {
      av_free(buf);
      avformat_free_context(fmt_);
      fmt_ = nullptr;
      return false;
    }
    fmt_->pb = avio_;
    fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  fmt_->interrupt_callback.callback = &FfmpegSource::Interrupt;
  fmt_->interrupt_callback.opaque = this;
  if (avformat_open_input(&fmt_, mem_ ? "" : path_.c_str(), nullptr, nullptr) < 0) {
    fmt_ = nullptr;  // freed by the failed open
    if (err) *err = "unrecognised or unreadable file";
    return false;
  }
  if (IsTrackerDemuxer(fmt_->iformat->name)) {
    if (err) *err = "tracker module";
    return false;
  }
  if (avformat_find_stream_info(fmt_, nullptr) < 0) {
    if (err) *err = "no stream information";
    return false;
  }
  const AVCodec* codec = nullptr;
  stream_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (stream_ < 0 || !codec) {
    if (err) *err = "no decodable audio stream";
    return false;
  }
  for (unsigned i = 0; i < fmt_->nb_streams; ++i) {
    if (static_cast<int>(i) != stream_) fmt_->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* st = fmt_->streams[stream_];
  tb_ = st->time_base;
  dec_ = avcodec_alloc_context3(codec);
  if (!dec_ || avcodec_parameters_to_context(dec_, st->codecpar) < 0) return false;
  dec_->pkt_timebase = st->time_base;
  dec_->thread_count = 1;
  if (avcodec_open2(dec_, codec, nullptr) < 0) {
    if (err) *err = "decoder refused the stream";
    return false;
  }
  if (dec_->sample_rate <= 0 || dec_->ch_layout.nb_channels <= 0 ||
      dec_->ch_layout.nb_channels > 64) {
    if (err) *err = "stream without sample rate or channels";
    return false;
  }
  decoder_name_ = std::string("ffmpeg:") + codec->name + "/" + fmt_->iformat->name;
  return true;
}

void FfmpegSource::CloseContainer() {
  avcodec_free_context(&dec_);
  if (fmt_) avformat_close_input(&fmt_);
  if (avio_) {
    av_freep(&avio_->buffer);
    avio_context_free(&avio_);
  }
}

bool FfmpegSource::Open(std::string* err) {
  if (!pkt_ || !frame_) return false;
  if (!OpenContainer(err)) return false;
  rate_ = dec_->sample_rate;
  channels_ = dec_->ch_layout.nb_channels;
  resolution_ = dec_->bits_per_raw_sample > 0 ? dec_->bits_per_raw_sample
                                              : av_get_bytes_per_sample(dec_->sample_fmt) * 8;
  if (fmt_->pb) {
    int64_t size = avio_size(fmt_->pb);
    if (size > 0) file_end_ = static_cast<uint64_t>(size);
  }
  const std::string demuxer = fmt_->iformat->name;
  if (demuxer == "mp3" && BuildPacketIndex()) {
    mode_ = Mode::kIndexed;
    return Seek(0);
  }
  if (demuxer.find("asf") != std::string::npos) mode_ = Mode::kWalk;

  // Frame 0 is defined by the first decoded frame.
  ResetDecodeState(0);
  from_top_ = true;
  if (!DecodeMore()) {
    if (err) *err = "nothing decodable";
    return false;
  }
  if (mode_ == Mode::kWalk) {
    // Exact once playback or a seek has walked to the end; until then the header's.
    AVStream* st = fmt_->streams[stream_];
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
      length_ = av_rescale_q(st->duration, tb_, AVRational{1, rate_});
    else if (fmt_->duration > 0)
      length_ = av_rescale(fmt_->duration, rate_, AV_TIME_BASE);
    length_exact_ = false;
    StartLengthCount();
    return true;
  }
  MeasureLength();
  return Restart(0);
}

// A decode-only pass (no conversion, nothing kept) costs about a quarter of a second
// per ten minutes of WMA: too slow for the open, so it runs beside playback, on its
// own decoder and its own reader of the file.
void FfmpegSource::StartLengthCount() {
  std::shared_ptr<MemoryFile> mem;
  if (mem_) {
    mem = std::make_shared<MemoryFile>();
    mem->data = mem_->data;
  }
  count_ = std::make_unique<LengthCount>();
  LengthCount* count = count_.get();
  count_thread_ = std::thread([count, path = path_, mem] {
    count->Finish(CountFrames(path, mem, [count] { return count->Stopped(); }));
  });
}

// The same decode as a walk from the top, so the same count of frames.
int64_t FfmpegSource::CountFrames(const std::string& path, std::shared_ptr<MemoryFile> mem,
                                  std::function<bool()> cancel) {
  FfmpegSource s(path, std::move(mem));
  s.count_only_ = true;
  s.mode_ = Mode::kWalk;
  s.SetCancel(cancel);
  if (!s.pkt_ || !s.frame_ || !s.OpenContainer(nullptr)) return -1;
  s.ResetDecodeState(0);
  s.from_top_ = true;
  s.DecodeMore();  // nothing is ever pending, so this runs to the end
  if (cancel()) return -1;
  return std::max<int64_t>(0, s.next_out_);
}

// Demux only: no decoding, so a ten-minute MP3 takes a few milliseconds.
bool FfmpegSource::BuildPacketIndex() {
  AVRational out_tb{1, rate_};
  int64_t carry_skip = 0;
  int64_t out = 0;
  while (av_read_frame(fmt_, pkt_) >= 0) {
    if (pkt_->stream_index != stream_) {
      av_packet_unref(pkt_);
      continue;
    }
    if (pkt_->pos < 0 || (!index_.empty() && pkt_->pos <= index_.back().pos)) {
      av_packet_unref(pkt_);
      index_.clear();
      return false;
    }
    int64_t dur = pkt_->duration > 0 ? av_rescale_q(pkt_->duration, tb_, out_tb)
                                     : std::max(dec_->frame_size, 0);
    size_t sd_size = 0;
    const uint8_t* sd = av_packet_get_side_data(pkt_, AV_PKT_DATA_SKIP_SAMPLES, &sd_size);
    int64_t skip_end = 0;
    if (sd && sd_size >= 10) {
      carry_skip += AV_RL32(sd);
      skip_end = AV_RL32(sd + 4);
    }
    PacketEntry e{};
    e.pos = pkt_->pos;
    e.skip = static_cast<int32_t>(std::min(carry_skip, dur));
    carry_skip -= e.skip;
    e.count = static_cast<int32_t>(std::max<int64_t>(0, dur - e.skip - skip_end));
    e.out_start = out;
    out += e.count;
    index_.push_back(e);
    av_packet_unref(pkt_);
  }
  if (index_.empty()) return false;
  length_ = out;
  file_start_ = static_cast<uint64_t>(index_.front().pos);
  return true;
}

int64_t FfmpegSource::FindPacket(int64_t pos) const {
  auto it = std::lower_bound(index_.begin(), index_.end(), pos,
                             [](const PacketEntry& e, int64_t p) { return e.pos < p; });
  if (it == index_.end() || it->pos != pos) return -1;
  return it - index_.begin();
}

void FfmpegSource::ResetDecodeState(int64_t target) {
  if (dec_) avcodec_flush_buffers(dec_);
  pending_.clear();
  pending_off_ = 0;
  next_out_ = -1;
  first_anchor_ = -1;
  discard_until_ = target;
  pos_ = target;
  draining_ = false;
  eof_ = false;
  errors_ = 0;
  from_top_ = false;
  jump_pos_ = -1;
  last_frame_pos_ = -1;
}

// Opens the file afresh: the one way back to frame 0 that every demuxer gets right
// (start trimming is only attached to the very first packets).
bool FfmpegSource::Restart(int64_t target) {
  CloseContainer();
  if (!OpenContainer(nullptr)) {
    eof_ = true;
    return false;
  }
  ResetDecodeState(target);
  from_top_ = true;
  return true;
}

bool FfmpegSource::Seek(int64_t target) {
  if (target < 0) target = 0;
  // A restart that a newer seek interrupted leaves the file closed: open it again.
  if (!fmt_ || !dec_) return Restart(target);
  // An interrupted read leaves its error in the I/O context, where it would fail every
  // read after the seek too.
  if (fmt_->pb) {
    fmt_->pb->error = 0;
    fmt_->pb->eof_reached = 0;
  }
  if (length_ >= 0 && target >= length_ && mode_ != Mode::kWalk) {
    ResetDecodeState(target);
    eof_ = true;
    return target == length_;
  }
  if (mode_ == Mode::kIndexed) {
    auto it = std::upper_bound(index_.begin(), index_.end(), target,
                               [](int64_t t, const PacketEntry& e) { return t < e.out_start; });
    int64_t k = std::max<int64_t>(0, (it - index_.begin()) - 1 - 10);  // bit reservoir
    if (av_seek_frame(fmt_, -1, index_[k].pos, AVSEEK_FLAG_BYTE) < 0) return Restart(target);
    ResetDecodeState(target);
    return true;
  }
  if (mode_ == Mode::kWalk) {
    // Start a few packets before the last known one at or before the target; frames
    // are placed by their packets' known positions. Without one, start from the top.
    auto it = std::upper_bound(index_.begin(), index_.end(), target,
                               [](int64_t t, const PacketEntry& e) { return t < e.out_start; });
    int64_t k = (it - index_.begin()) - 1 - 4;
    if (k <= 0 || index_.empty()) return Restart(target);
    if (av_seek_frame(fmt_, -1, index_[k].pos, AVSEEK_FLAG_BYTE) < 0) return Restart(target);
    ResetDecodeState(target);
    return true;
  }
  int64_t preroll = std::max<int64_t>(rate_ / 4, dec_->seek_preroll);
  AVRational out_tb{1, rate_};
  for (int attempt = 0; attempt < 4; ++attempt, preroll *= 4) {
    if (target - preroll <= 0 || origin_pts_ == AV_NOPTS_VALUE) break;
    int64_t ts = origin_pts_ + av_rescale_q(target - preroll, out_tb, tb_);
    if (av_seek_frame(fmt_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) break;
    ResetDecodeState(target);
    // Decode up to the first placed frame; if it already lies past the target the
    // demuxer overshot, so go back further.
    while (next_out_ < 0 && !eof_) {
      if (!DecodeMore()) eof_ = true;
      if (first_anchor_ >= 0) break;
    }
    if (first_anchor_ >= 0 && first_anchor_ <= target) return true;
    if (first_anchor_ < 0) {
      // Nothing decodable after the seek point: only the end lies there.
      if (eof_) return true;
    }
  }
  return Restart(target);
}

void FfmpegSource::AppendSamples(const AVFrame* f, int first, int count) {
  if (count <= 0) return;
  auto fmt = static_cast<AVSampleFormat>(f->format);
  AVSampleFormat packed = av_get_packed_sample_fmt(fmt);
  bool planar = av_sample_fmt_is_planar(fmt);
  int bps = av_get_bytes_per_sample(fmt);
  int in_ch = f->ch_layout.nb_channels;
  if (bps <= 0 || in_ch <= 0 || (planar && in_ch > AV_NUM_DATA_POINTERS && !f->extended_data))
    return;
  size_t base = pending_.size();
  pending_.resize(base + static_cast<size_t>(count) * channels_);
  float* dst = pending_.data() + base;
  for (int i = first; i < first + count; ++i) {
    for (int c = 0; c < channels_; ++c) {
      float v = 0.0f;
      if (c < in_ch) {
        const uint8_t* p = planar
                               ? f->extended_data[c] + static_cast<size_t>(i) * bps
                               : f->extended_data[0] + (static_cast<size_t>(i) * in_ch + c) * bps;
        v = SampleToFloat(p, packed);
      }
      *dst++ = v;
    }
  }
}

void FfmpegSource::PlaceFrame(const AVFrame* f) {
  int n = f->nb_samples;
  if (n <= 0) return;
  int64_t start = -1;
  int skip = 0;
  int count = n;
  if (mode_ == Mode::kIndexed) {
    int64_t k = f->pts;
    if (k < 0 || k >= static_cast<int64_t>(index_.size())) return;
    const PacketEntry& e = index_[k];
    skip = std::min(e.skip, n);
    count = std::min(e.count, n - skip);
    start = e.out_start;
  } else if (count_only_) {
    next_out_ = std::max<int64_t>(0, next_out_) + n;
    return;
  } else if (mode_ == Mode::kWalk) {
    int64_t pos = f->pkt_pos;
    if (next_out_ >= 0) {
      start = next_out_;
    } else if (from_top_) {
      start = 0;
    } else {
      // The first packet after a jump decodes short or not at all (its bit reservoir
      // and overlap are missing), and a packet's later frames do not begin at the
      // packet's known start: neither may anchor.
      if (pos < 0 || pos == jump_pos_ || pos == last_frame_pos_) {
        last_frame_pos_ = pos;
        return;
      }
      int64_t k = FindPacket(pos);
      if (k < 0) {
        last_frame_pos_ = pos;
        return;
      }
      start = index_[k].out_start;
    }
    last_frame_pos_ = pos;
    // Extend the learned map while the chain from the top is unbroken.
    if (start == walk_end_) {
      if (!index_.empty() && pos == index_.back().pos) {
        index_.back().count += n;
        walk_end_ = start + n;
      } else if (pos >= 0 && (index_.empty() || pos > index_.back().pos)) {
        index_.push_back(PacketEntry{pos, start, 0, n});
        walk_end_ = start + n;
      } else if (pos < 0 && draining_) {
        // The frame the decoder hands out when flushed at the end has no packet; it
        // still follows on, and without it the end would never be known exactly.
        walk_end_ = start + n;
      }
    }
  } else {
    int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    if (next_out_ >= 0) {
      start = next_out_;
    } else if (from_top_) {
      start = 0;
      if (origin_pts_ == AV_NOPTS_VALUE) origin_pts_ = ts == AV_NOPTS_VALUE ? 0 : ts;
    } else {
      if (ts == AV_NOPTS_VALUE) return;
      start = av_rescale_q(ts - origin_pts_, tb_, AVRational{1, rate_});
    }
  }
  if (first_anchor_ < 0) first_anchor_ = start;
  next_out_ = start + count;
  int64_t drop = std::max<int64_t>(0, discard_until_ - start);
  if (drop >= count) return;
  AppendSamples(f, skip + static_cast<int>(drop), count - static_cast<int>(drop));
}

bool FfmpegSource::DecodeMore() {
  if (!fmt_ || !dec_) return false;  // closed by an interrupted restart
  size_t before = pending_.size();
  while (pending_.size() == before) {
    if (cancel_ && cancel_()) return false;
    int r = avcodec_receive_frame(dec_, frame_);
    if (r == 0) {
      PlaceFrame(frame_);
      av_frame_unref(frame_);
      if (mode_ == Mode::kGeneric && first_anchor_ >= 0 && first_anchor_ > discard_until_ &&
          pending_.size() == before)
        return false;
      continue;
    }
    if (r == AVERROR_EOF) return false;
    if (r != AVERROR(EAGAIN)) {
      if (++errors_ > 1000) return false;
      continue;
    }
    if (draining_) return false;
    r = av_read_frame(fmt_, pkt_);
    if (r < 0) {
      // Interrupted for a seek on its way: not the end of the file, so the decoder
      // must not be drained as if it were.
      if (r == AVERROR_EXIT || (cancel_ && cancel_())) return false;
      avcodec_send_packet(dec_, nullptr);
      draining_ = true;
      continue;
    }
    if (pkt_->stream_index != stream_) {
      av_packet_unref(pkt_);
      continue;
    }
    if (mode_ == Mode::kIndexed) {
      int64_t k = FindPacket(pkt_->pos);
      if (k < 0) {
        av_packet_unref(pkt_);
        continue;
      }
      pkt_->pts = pkt_->dts = k;
      av_packet_free_side_data(pkt_);
    } else if (mode_ == Mode::kWalk) {
      if (jump_pos_ < 0 && !from_top_) jump_pos_ = pkt_->pos;
    }
    r = avcodec_send_packet(dec_, pkt_);
    av_packet_unref(pkt_);
    if (r < 0 && r != AVERROR(EAGAIN) && ++errors_ > 1000) return false;
  }
  return true;
}

int64_t FfmpegSource::Read(float* out, int64_t frames) {
  int64_t done = 0;
  while (done < frames) {
    size_t avail = (pending_.size() - pending_off_) / channels_;
    if (avail > 0) {
      int64_t n = std::min<int64_t>(avail, frames - done);
      if (length_ >= 0 && mode_ != Mode::kWalk) n = std::min(n, length_ - pos_);
      if (n <= 0) break;
      std::memcpy(out + done * channels_, pending_.data() + pending_off_,
                  sizeof(float) * n * channels_);
      pending_off_ += n * channels_;
      done += n;
      pos_ += n;
      continue;
    }
    pending_.clear();
    pending_off_ = 0;
    if (eof_ || !DecodeMore()) {
      // Given up for a seek that is on its way: not the end, and no length learned.
      if (!eof_ && cancel_ && cancel_()) break;
      eof_ = true;
      if (mode_ == Mode::kWalk && next_out_ >= 0 && walk_end_ == next_out_) {
        length_ = walk_end_;
        length_exact_ = true;
        if (count_) count_->Stop();  // no longer needed
      }
      break;
    }
  }
  return done;
}

// Decodes the last seconds once: the header's duration is an estimate for some
// containers, the decoded end is not.
void FfmpegSource::MeasureLength() {
  AVStream* st = fmt_->streams[stream_];
  int64_t est = -1;
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
    int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : origin_pts_;
    est = av_rescale_q(st->duration + start - origin_pts_, tb_, AVRational{1, rate_});
  } else if (fmt_->duration > 0) {
    est = av_rescale(fmt_->duration, rate_, AV_TIME_BASE);
  }
  std::vector<float> scratch(4096 * static_cast<size_t>(channels_));
  int64_t from = std::max<int64_t>(0, est - 3 * static_cast<int64_t>(rate_));
  if (est < 0) from = 0;
  length_ = -1;
  if (!Seek(from)) {
    length_ = est;
    return;
  }
  int64_t budget = 600 * static_cast<int64_t>(rate_);  // an unknown length: at most 10 minutes
  while (budget > 0) {
    int64_t n = Read(scratch.data(), 4096);
    if (n <= 0) break;
    budget -= n;
  }
  length_ = budget > 0 ? pos_ : est;
}

// Failures are results here; FFmpeg's own chatter on stderr helps nobody.
void QuietLogs() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

}  // namespace

std::unique_ptr<Source> OpenFfmpegFile(const std::string& path, std::string* err) {
  QuietLogs();
  auto s = std::make_unique<FfmpegSource>(path, nullptr);
  if (!s->Open(err)) return nullptr;
  return s;
}

std::unique_ptr<Source> OpenFfmpegMemory(std::vector<uint8_t> data, std::string* err) {
  QuietLogs();
  auto mem = std::make_shared<MemoryFile>();
  mem->data = std::make_shared<const std::vector<uint8_t>>(std::move(data));
  auto s = std::make_unique<FfmpegSource>("", std::move(mem));
  if (!s->Open(err)) return nullptr;
  return s;
}

}  // namespace lirotag
