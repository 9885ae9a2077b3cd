// FFmpeg decoding with sample-exact positions and lengths.
//
// Frame 0 is the first sample FFmpeg's own decode from the start produces (encoder
// delay and padding removed as FFmpeg reports them), so "decode from the start" and
// "seek to t" agree sample for sample, and the length is where that decode ends. Three
// ways of knowing where a decoded frame lies, by container:
//  - indexed (raw elementary streams: MP3, ADTS AAC, AC-3, DTS ...): their timestamps
//    are guesses from the bit rate once a seek has jumped, so a demux-only pass records
//    every packet's byte position, duration and start/end trimming; a seek jumps to a
//    packet by byte, and each decoded frame is placed by the packet it came from.
//  - walk (ASF, Matroska/WebM, FLV ...): timestamps in milliseconds, a few samples off
//    at most rates, and packets without sample counts (with a bit reservoir a packet's
//    frame count depends on where the previous one's bits ended). A second decoder runs
//    through the file from the top, recording which output frame each packet's first
//    decoded frame is; seeks land near a packet and place frames by that record.
//  - generic (Ogg, MP4, FLAC, WAV, AIFF ...): FFmpeg's timestamp seek a little before
//    the target, then decode and discard by the frame timestamps, which these
//    containers give exactly.
// The first two learn the length from their pass over the file, which runs beside
// playback; the third decodes the last seconds at open and only counts from the top,
// in the background too, when the header's length turns out missing or wrong.
//
// The class is declared in ffmpeg_decoder.h; the pass over the file is ffmpeg_scan.cpp.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "audio/ffmpeg_decoder.h"

namespace lirotag {
namespace {

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

bool IsTrackerDemuxer(const char* name) {
  std::string n = name ? name : "";
  return n.find("openmpt") != std::string::npos || n.find("modplug") != std::string::npos;
}

// Raw codec frames one after another, timed by counting them from the start.
bool IsElementaryStream(const std::string& demuxer) {
  for (const char* raw :
       {"mp3", "aac", "ac3", "eac3", "dts", "truehd", "mlp", "loas", "amr", "amrnb", "amrwb"})
    if (demuxer == raw) return true;
  return false;
}

// Timestamps coarser than a sample (milliseconds), or not to be trusted for audio.
bool HasCoarseTimestamps(const std::string& demuxer) {
  for (const char* coarse : {"asf", "matroska,webm", "flv", "live_flv", "rm", "avi"})
    if (demuxer == coarse) return true;
  return false;
}

}  // namespace

bool FfmpegSource::OpenContainer(OpenError* err) {
  auto fail = [err](OpenError why) {
    if (err) *err = why;
    return false;
  };
  // A FIFO or a device would block the open (and the window with it) until someone
  // writes to it; a song is a file.
  if (!mem_) {
    if (OpenError e = CheckSongPath(path_); e != OpenError::kNone) return fail(e);
  }
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
  opening_ = true;
  open_deadline_ = Clock::now() + kOpenTimeout;
  struct OpenDone {
    bool* opening;
    ~OpenDone() { *opening = false; }
  } open_done{&opening_};
  if (int r = avformat_open_input(&fmt_, mem_ ? "" : path_.c_str(), nullptr, nullptr); r < 0) {
    fmt_ = nullptr;  // freed by the failed open
    if (r == AVERROR(EACCES) || r == AVERROR(EPERM)) return fail(OpenError::kNoPermission);
    if (r == AVERROR(ENOENT)) return fail(OpenError::kNotFound);
    return fail(StartsLikeAKnownFormat() ? OpenError::kDamaged : OpenError::kUnsupported);
  }
  // The music loader's.
  if (IsTrackerDemuxer(fmt_->iformat->name)) return fail(OpenError::kUnsupported);
  // From here on the format is known: what fails is the file's fault.
  if (avformat_find_stream_info(fmt_, nullptr) < 0) return fail(OpenError::kDamaged);
  const AVCodec* codec = nullptr;
  stream_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  // No sound in it, or sound in a codec not built in.
  if (stream_ < 0 || !codec) return fail(OpenError::kUnsupported);
  for (unsigned i = 0; i < fmt_->nb_streams; ++i) {
    if (static_cast<int>(i) != stream_) fmt_->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* st = fmt_->streams[stream_];
  tb_ = st->time_base;
  dec_ = avcodec_alloc_context3(codec);
  if (!dec_ || avcodec_parameters_to_context(dec_, st->codecpar) < 0)
    return fail(OpenError::kDamaged);
  dec_->pkt_timebase = st->time_base;
  dec_->thread_count = 1;
  if (avcodec_open2(dec_, codec, nullptr) < 0) return fail(OpenError::kDamaged);
  // Before anything is sized from them: the ring, the stretcher, the waveform tables.
  if (!PlausibleLayout(dec_->sample_rate, dec_->ch_layout.nb_channels))
    return fail(OpenError::kDamaged);
  decoder_name_ = std::string("ffmpeg:") + codec->name + "/" + fmt_->iformat->name;
  return true;
}

// Whether the file's first bytes (not its name) are those of a format FFmpeg reads: a
// file that starts like one and still does not open is a damaged song, not a foreign one.
bool FfmpegSource::StartsLikeAKnownFormat() {
  std::vector<uint8_t> head;
  if (mem_ && mem_->data) {
    head.assign(mem_->data->begin(),
                mem_->data->begin() + std::min<size_t>(mem_->data->size(), 4096));
  } else {
    AVIOContext* io = nullptr;
    if (avio_open(&io, path_.c_str(), AVIO_FLAG_READ) < 0) return false;
    head.resize(4096);
    int n = avio_read(io, head.data(), static_cast<int>(head.size()));
    avio_closep(&io);
    head.resize(static_cast<size_t>(std::max(n, 0)));
  }
  const int size = static_cast<int>(head.size());
  head.resize(head.size() + AVPROBE_PADDING_SIZE, 0);
  AVProbeData probe{};
  probe.filename = "";
  probe.buf = head.data();
  probe.buf_size = size;
  int score = 0;
  const AVInputFormat* f = av_probe_input_format2(&probe, 1, &score);
  return f && score > AVPROBE_SCORE_RETRY;
}

void FfmpegSource::CloseContainer() {
  avcodec_free_context(&dec_);
  if (fmt_) avformat_close_input(&fmt_);
  if (avio_) {
    av_freep(&avio_->buffer);
    avio_context_free(&avio_);
  }
}

bool FfmpegSource::Open(OpenError* err) {
  if (!pkt_ || !frame_) {
    if (err) *err = OpenError::kDamaged;
    return false;
  }
  if (!OpenContainer(err)) return false;
  rate_ = dec_->sample_rate;
  // What the output plays: mono as it is, every other layout as stereo.
  channels_ = std::min(dec_->ch_layout.nb_channels, 2);
  resolution_ = dec_->bits_per_raw_sample > 0 ? dec_->bits_per_raw_sample
                                              : av_get_bytes_per_sample(dec_->sample_fmt) * 8;
  if (fmt_->pb) {
    int64_t size = avio_size(fmt_->pb);
    if (size > 0) file_end_ = static_cast<uint64_t>(size);
  }
  const std::string demuxer = fmt_->iformat->name;
  if (IsElementaryStream(demuxer) && StartIndex()) return Seek(0);
  if (HasCoarseTimestamps(demuxer)) mode_ = Mode::kWalk;

  // Frame 0 is defined by the first decoded frame.
  ResetDecodeState(0);
  from_top_ = true;
  if (!DecodeMore()) {
    if (err) *err = OpenError::kDamaged;  // nothing decodable
    return false;
  }
  if (mode_ == Mode::kWalk) {
    // Guessing without the header's help reads the end of the file: start over after.
    length_ = HeaderEstimate();
    bool moved = length_ <= 0;
    if (moved) length_ = GuessLength();
    StartScan(Scan::kWalkMap);
    // A song of usual length is mapped within the open, so its length is exact at once.
    map_->WaitDone(Clock::now() + kIndexWait);
    return moved ? Restart(0) : true;
  }
  MeasureLength();
  return Restart(0);
}

int64_t FfmpegSource::ExactLength() const {
  if (map_) {
    int64_t counted = map_->Length();
    if (counted >= 0) return counted;
  }
  return length_exact_ ? length_ : -1;
}

int64_t FfmpegSource::Length() const {
  int64_t exact = ExactLength();
  if (exact >= 0) return exact;
  if (mode_ == Mode::kIndexed && map_ && file_end_ > file_start_) {
    // While the index grows, what it has covered is the best guide to the rest.
    int64_t covered = 0, pos = -1;
    map_->Progress(&covered, &pos);
    if (covered > 0 && pos > static_cast<int64_t>(file_start_)) {
      double share = static_cast<double>(pos - file_start_) / (file_end_ - file_start_);
      return std::max(covered, static_cast<int64_t>(covered / share));
    }
  }
  return length_;
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
  // Only the pass over the file knows where a packet far ahead lies: wait for it to get
  // there (it runs many times faster than playback).
  if (map_ && mode_ != Mode::kGeneric && !map_->WaitFrame(target, cancel_) && Cancelled())
    return false;
  int64_t length = ExactLength();
  if (length >= 0 && target >= length) {
    ResetDecodeState(target);
    eof_ = true;
    return target == length;
  }
  switch (mode_) {
    case Mode::kIndexed:
      return SeekIndexed(target);
    case Mode::kWalk:
      return SeekWalk(target);
    case Mode::kGeneric:
      break;
  }
  return SeekGeneric(target);
}

bool FfmpegSource::SeekIndexed(int64_t target) {
  PacketEntry e;
  if (map_->Before(target, 10, &e) < 0) return Restart(target);  // 10: the bit reservoir
  if (av_seek_frame(fmt_, -1, e.pos, AVSEEK_FLAG_BYTE) < 0) return Restart(target);
  ResetDecodeState(target);
  return true;
}

// Decodes up to the first placed frame after a jump: true when it lies at or before
// the target, so the target's own samples will come out exactly.
bool FfmpegSource::LandedBefore(int64_t target) {
  while (next_out_ < 0 && !eof_) {
    if (!DecodeMore()) eof_ = true;
    if (first_anchor_ >= 0) break;
  }
  return first_anchor_ >= 0 && first_anchor_ <= target;
}

// Decoders need a run-in before their output equals a decode from the start: Opus's
// speech layer takes the better part of a second to forget where decoding began.
int64_t FfmpegSource::Preroll() const {
  return std::max<int64_t>(rate_, dec_->seek_preroll);
}

bool FfmpegSource::SeekWalk(int64_t target) {
  int64_t preroll = Preroll();
  const bool by_byte = fmt_->iformat->name == std::string("asf");
  for (int attempt = 0; attempt < 3; ++attempt, preroll *= 4) {
    PacketEntry e;
    // A few packets further back: the first one after a jump places nothing.
    if (target - preroll <= 0 || map_->Before(target - preroll, 4, &e) <= 0) break;
    if (!by_byte && e.ts == AV_NOPTS_VALUE) break;
    int r = by_byte ? av_seek_frame(fmt_, -1, e.pos, AVSEEK_FLAG_BYTE)
                    : av_seek_frame(fmt_, stream_, e.ts, AVSEEK_FLAG_BACKWARD);
    if (r < 0) break;
    ResetDecodeState(target);
    if (LandedBefore(target)) return true;
    if (Cancelled()) return false;
    if (eof_ && first_anchor_ < 0) break;
  }
  return Restart(target);
}

bool FfmpegSource::SeekGeneric(int64_t target) {
  int64_t preroll = Preroll();
  AVRational out_tb{1, rate_};
  for (int attempt = 0; attempt < 4; ++attempt, preroll *= 4) {
    if (target - preroll <= 0 || origin_pts_ == AV_NOPTS_VALUE) break;
    int64_t ts = origin_pts_ + av_rescale_q(target - preroll, out_tb, tb_);
    if (av_seek_frame(fmt_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) break;
    ResetDecodeState(target);
    // If the first placed frame already lies past the target the demuxer overshot, so
    // go back further.
    if (LandedBefore(target)) return true;
    // Nothing decodable after the seek point: only the end lies there.
    if (first_anchor_ < 0 && eof_) return true;
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
  if (in_ch != channels_) {
    // Surround (or a layout that changed mid-stream) folded into what the output plays.
    planes_.assign(planar ? in_ch : 1, nullptr);
    for (size_t c = 0; c < planes_.size(); ++c) {
      size_t step = planar ? bps : static_cast<size_t>(bps) * in_ch;
      planes_[c] = f->extended_data[c] + static_cast<size_t>(first) * step;
    }
    if (!downmix_.Configure(f->ch_layout, fmt, rate_, channels_) ||
        downmix_.Convert(planes_.data(), count, dst) != count)
      std::fill(dst, dst + static_cast<size_t>(count) * channels_, 0.0f);
    return;
  }
  for (int i = first; i < first + count; ++i) {
    for (int c = 0; c < channels_; ++c) {
      const uint8_t* p = planar ? f->extended_data[c] + static_cast<size_t>(i) * bps
                                : f->extended_data[0] + (static_cast<size_t>(i) * in_ch + c) * bps;
      *dst++ = SampleToFloat(p, packed);
    }
  }
}

void FfmpegSource::PlaceFrame(const AVFrame* f) {
  int n = f->nb_samples;
  if (n <= 0) return;
  if (scan_ != Scan::kNone) {
    CountFrame(f);
    return;
  }
  int64_t start = -1;
  int skip = 0;
  int count = n;
  if (mode_ == Mode::kIndexed) {
    PacketEntry e;
    if (!map_->At(f->pts, &e)) return;
    skip = std::min(e.skip, n);
    count = std::min(e.count, n - skip);
    start = e.out_start;
  } else if (mode_ == Mode::kWalk) {
    int64_t pos = f->pkt_pos;
    if (next_out_ >= 0) {
      start = next_out_;
    } else if (from_top_) {
      start = 0;
      if (origin_pts_ == AV_NOPTS_VALUE && f->pts != AV_NOPTS_VALUE) origin_pts_ = f->pts;
    } else {
      // The first packet after a jump decodes short or not at all (its bit reservoir
      // and overlap are missing), and a packet's later frames do not begin at the
      // packet's recorded start: neither may place.
      PacketEntry e;
      if (pos < 0 || pos == jump_pos_ || pos == last_frame_pos_ || map_->FindPos(pos, &e) < 0) {
        last_frame_pos_ = pos;
        return;
      }
      start = e.out_start;
    }
    last_frame_pos_ = pos;
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
    if (Cancelled()) return false;
    int r = avcodec_receive_frame(dec_, frame_);
    if (r == 0) {
      PlaceFrame(frame_);
      av_frame_unref(frame_);
      // Landed past the target: the seek must go back further rather than play on.
      if (mode_ != Mode::kIndexed && first_anchor_ >= 0 && first_anchor_ > discard_until_ &&
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
      if (r == AVERROR_EXIT || Cancelled()) return false;
      avcodec_send_packet(dec_, nullptr);
      draining_ = true;
      continue;
    }
    if (pkt_->stream_index != stream_) {
      av_packet_unref(pkt_);
      continue;
    }
    if (mode_ == Mode::kIndexed) {
      int64_t k = map_->FindPos(pkt_->pos, nullptr);
      // Playback may run into packets the index has not reached yet.
      if (k < 0 && map_->WaitPos(pkt_->pos, cancel_)) k = map_->FindPos(pkt_->pos, nullptr);
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
  const int64_t length = ExactLength();
  while (done < frames) {
    size_t avail = (pending_.size() - pending_off_) / channels_;
    if (avail > 0) {
      int64_t n = std::min<int64_t>(avail, frames - done);
      if (length >= 0) n = std::min(n, length - pos_);
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
      if (!eof_ && Cancelled()) break;
      eof_ = true;
      // Decoding from a placed frame to the end tells the length exactly.
      if (ExactLength() < 0 && next_out_ >= 0) {
        length_ = next_out_;
        length_exact_ = true;
      }
      break;
    }
  }
  return done;
}

// The container's own idea of the length, relative to frame 0; -1 without one.
int64_t FfmpegSource::HeaderEstimate() const {
  AVStream* st = fmt_->streams[stream_];
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
    int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    int64_t origin = origin_pts_ != AV_NOPTS_VALUE ? origin_pts_ : start;
    return PlausibleLength(
        std::max<int64_t>(0, av_rescale_q(st->duration + start - origin, tb_, {1, rate_})), rate_);
  }
  if (fmt_->duration > 0)
    return PlausibleLength(av_rescale(fmt_->duration, rate_, AV_TIME_BASE), rate_);
  return -1;
}

// Where the last packets of the file end, by their timestamps: for files whose header
// was written before the end was known (a FLAC written through a pipe).
int64_t FfmpegSource::TailEstimate() {
  if (!fmt_->pb || !(fmt_->pb->seekable & AVIO_SEEKABLE_NORMAL) || file_end_ == 0 ||
      origin_pts_ == AV_NOPTS_VALUE)
    return -1;
  int64_t from = std::max<int64_t>(0, static_cast<int64_t>(file_end_) - 512 * 1024);
  if (av_seek_frame(fmt_, -1, from, AVSEEK_FLAG_BYTE) < 0) return -1;
  int64_t end = AV_NOPTS_VALUE;
  for (int i = 0; i < 100000 && av_read_frame(fmt_, pkt_) >= 0; ++i) {
    if (pkt_->stream_index == stream_) {
      int64_t ts = pkt_->pts != AV_NOPTS_VALUE ? pkt_->pts : pkt_->dts;
      if (ts != AV_NOPTS_VALUE)
        end = std::max(end == AV_NOPTS_VALUE ? ts : end, ts + std::max<int64_t>(0, pkt_->duration));
    }
    av_packet_unref(pkt_);
  }
  if (end == AV_NOPTS_VALUE || end <= origin_pts_) return -1;
  return PlausibleLength(av_rescale_q(end - origin_pts_, tb_, AVRational{1, rate_}), rate_);
}

int64_t FfmpegSource::BitrateEstimate() const {
  int64_t rate = fmt_->bit_rate > 0 ? fmt_->bit_rate : fmt_->streams[stream_]->codecpar->bit_rate;
  if (rate <= 0 || file_end_ <= file_start_) return -1;
  const double seconds = static_cast<double>(file_end_ - file_start_) * 8 / rate;
  if (seconds > static_cast<double>(kMaxSongSeconds)) return -1;
  return static_cast<int64_t>(seconds * rate_);
}

// Decodes the last seconds once: the header's duration is an estimate for some
// containers, the decoded end is not. When the header has no length or one that is
// plainly wrong (nothing decodes near its end: a file cut short), the length is counted
// from the top in the background and the estimate stands in until then.
void FfmpegSource::MeasureLength() {
  int64_t est = HeaderEstimate();
  if (est < 0) est = TailEstimate();
  length_ = est;
  length_exact_ = false;
  if (est >= 0) {
    int64_t from = std::max<int64_t>(0, est - 3 * static_cast<int64_t>(rate_));
    // A seek that had to fall back to decoding from the top would decode the whole
    // song here: leave that to the count.
    if (Seek(from) && !(from_top_ && from > 0)) {
      std::vector<float> scratch(4096 * static_cast<size_t>(channels_));
      // A header that falls short by more than this is counted rather than decoded here.
      int64_t budget = est - from + 30 * static_cast<int64_t>(rate_);
      while (budget > 0 && !length_exact_) {
        int64_t n = Read(scratch.data(), 4096);
        if (n <= 0) break;
        budget -= n;
      }
    }
  }
  if (length_exact_) return;
  length_ = est >= 0 ? std::max(est, pos_) : BitrateEstimate();
  StartScan(Scan::kCount);
}

// The best guess at hand while the count runs: the header's, else where the last
// packets end, else the file's size at its bit rate.
int64_t FfmpegSource::GuessLength() {
  for (int64_t guess : {HeaderEstimate(), TailEstimate(), BitrateEstimate()})
    if (guess > 0) return guess;
  return -1;
}

// Failures are results here; FFmpeg's own chatter on stderr helps nobody.
static void QuietLogs() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

std::unique_ptr<Source> OpenFfmpegFile(const std::string& path, OpenError* err) {
  QuietLogs();
  auto s = std::make_unique<FfmpegSource>(path, nullptr);
  if (!s->Open(err)) return nullptr;
  return s;
}

std::unique_ptr<Source> OpenFfmpegMemory(std::vector<uint8_t> data, OpenError* err) {
  QuietLogs();
  auto mem = std::make_shared<MemoryFile>();
  mem->data = std::make_shared<const std::vector<uint8_t>>(std::move(data));
  auto s = std::make_unique<FfmpegSource>("", std::move(mem));
  if (!s->Open(err)) return nullptr;
  return s;
}

}  // namespace lirotag
