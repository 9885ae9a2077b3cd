// The pass over a whole file that the playing source relies on, run by a second
// instance of the decoder on a thread of its own: a demux-only index of every packet
// (raw streams), a map of where each packet's first decoded frame lies (coarse
// timestamps), or a count of the decoded frames (a header without a trustworthy length).

#include <algorithm>

#include "audio/ffmpeg_decoder.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace lirotag {

bool FfmpegSource::StartIndex() {
  StartScan(Scan::kIndex);
  auto now = Clock::now();
  // The first packets tell whether the stream can be indexed at all.
  map_->WaitEntries(1, now + kOpenTimeout);
  map_->WaitDone(now + kIndexWait);
  PacketEntry first;
  if (!map_->At(0, &first)) {
    StopScan();
    map_.reset();
    return false;
  }
  mode_ = Mode::kIndexed;
  file_start_ = static_cast<uint64_t>(first.pos);
  length_ = HeaderEstimate();
  return true;
}

void FfmpegSource::StartScan(Scan kind) {
  std::shared_ptr<MemoryFile> mem;
  if (mem_) {
    mem = std::make_shared<MemoryFile>();
    mem->data = mem_->data;
  }
  map_ = std::make_shared<PacketMap>();
  scan_thread_ = std::thread(
      [kind, path = path_, mem, map = map_] { map->Finish(RunScan(kind, path, mem, map)); });
}

void FfmpegSource::StopScan() {
  if (map_) map_->Stop();
  if (scan_thread_.joinable()) scan_thread_.join();
}

// Runs on the scanning thread, with its own reader of the file and its own decoder:
// the same decode as a walk from the top, so the same frames.
int64_t FfmpegSource::RunScan(Scan kind, const std::string& path, std::shared_ptr<MemoryFile> mem,
                              std::shared_ptr<PacketMap> map) {
  FfmpegSource s(path, std::move(mem));
  s.scan_ = kind;
  s.out_ = map;
  s.SetCancel([map] { return map->Stopped(); });
  if (!s.pkt_ || !s.frame_ || !s.OpenContainer(nullptr)) return -1;
  s.rate_ = s.dec_->sample_rate;
  if (kind == Scan::kIndex) return s.IndexPackets();
  s.mode_ = kind == Scan::kWalkMap ? Mode::kWalk : Mode::kGeneric;
  s.ResetDecodeState(0);
  s.from_top_ = true;
  s.DecodeMore();  // nothing is ever pending, so this runs to the end
  s.Publish();
  if (map->Stopped()) return -1;
  return std::max<int64_t>(0, s.next_out_);
}

void FfmpegSource::Publish() {
  if (out_) out_->Append(&batch_, std::max<int64_t>(0, next_out_));
}

// Demux only: no decoding, so an hour of MP3 or AAC takes a fraction of a second.
int64_t FfmpegSource::IndexPackets() {
  AVRational out_tb{1, rate_};
  // Durations in ticks at least as fine as samples round back to whole samples; a
  // coarser clock (90 kHz for 96 kHz audio) would round them wrongly.
  const bool fine_ticks = static_cast<int64_t>(tb_.den) >= static_cast<int64_t>(tb_.num) * rate_;
  // The first packets are decoded as well: one that decodes to nothing (an AAC frame
  // holding only its configuration) or short would shift every packet after it. A few
  // more are decoded than counted, for decoders that hand a frame out late.
  constexpr size_t kHeadPackets = 16;
  constexpr size_t kHeadDecoded = kHeadPackets + 4;
  // Enough for an MP3 bit reservoir to fill before the very last packet.
  constexpr size_t kTailPackets = 12;
  struct Raw {
    int64_t pos, dur, skip, skip_end;
    bool trims;
  };
  std::vector<Raw> head;
  std::vector<int64_t> decoded;
  std::vector<PacketEntry> tail;
  int64_t carry_skip = 0;
  int64_t out = 0;
  bool ok = true;
  size_t indexed = 0;
  // Trimming as libavcodec does it: a packet's skip count replaces the one still
  // pending, a frame is skipped whole or cut at its start, and the end padding is cut
  // only from a frame that still holds that much.
  auto add = [&](const Raw& r, int64_t samples) {
    if (r.trims) carry_skip = r.skip;
    int64_t skip = std::min(carry_skip, samples);
    carry_skip -= skip;
    int64_t left = samples - skip;
    int64_t pad = r.skip_end > 0 && r.skip_end <= left ? r.skip_end : 0;
    PacketEntry e{};
    e.pos = r.pos;
    e.ts = AV_NOPTS_VALUE;
    e.skip = static_cast<int32_t>(skip);
    e.count = static_cast<int32_t>(left - pad);
    e.out_start = out;
    out += e.count;
    batch_.push_back(e);
    tail.push_back(e);
    if (tail.size() > kTailPackets) tail.erase(tail.begin());
    ++indexed;
    if (batch_.size() >= 256) out_->Append(&batch_, out);
  };
  auto take_frames = [&] {
    while (avcodec_receive_frame(dec_, frame_) == 0) {
      if (frame_->pts >= 0 && frame_->pts < static_cast<int64_t>(decoded.size()))
        decoded[static_cast<size_t>(frame_->pts)] += frame_->nb_samples;
      av_frame_unref(frame_);
    }
  };
  auto add_head = [&](bool whole_file) {
    for (size_t i = 0; i < head.size(); ++i)
      add(head[i], i < kHeadPackets || whole_file ? decoded[i] : head[i].dur);
    head.clear();
  };
  int64_t last_pos = -1;
  while (av_read_frame(fmt_, pkt_) >= 0) {
    if (Cancelled()) break;
    if (pkt_->stream_index != stream_) {
      av_packet_unref(pkt_);
      continue;
    }
    if (pkt_->pos < 0 || pkt_->pos <= last_pos) {
      av_packet_unref(pkt_);
      ok = false;
      break;
    }
    last_pos = pkt_->pos;
    Raw r{pkt_->pos,
          pkt_->duration > 0 && (fine_ticks || dec_->frame_size <= 0)
              ? av_rescale_q(pkt_->duration, tb_, out_tb)
              : std::max(dec_->frame_size, 0),
          0, 0, false};
    size_t sd_size = 0;
    if (const uint8_t* sd = av_packet_get_side_data(pkt_, AV_PKT_DATA_SKIP_SAMPLES, &sd_size);
        sd && sd_size >= 10) {
      r.skip = AV_RL32(sd);
      r.skip_end = AV_RL32(sd + 4);
      r.trims = true;
    }
    if (indexed == 0 && decoded.size() < kHeadDecoded) {
      // Decoded as the reader will: trimming is the index's, not the decoder's.
      pkt_->pts = pkt_->dts = static_cast<int64_t>(decoded.size());
      av_packet_free_side_data(pkt_);
      head.push_back(r);
      decoded.push_back(0);
      avcodec_send_packet(dec_, pkt_);
      take_frames();
      if (decoded.size() == kHeadDecoded) add_head(false);
    } else {
      add(r, r.dur);
    }
    av_packet_unref(pkt_);
  }
  if (!head.empty()) {  // the whole file is a few packets
    avcodec_send_packet(dec_, nullptr);
    take_frames();
    add_head(true);
  }
  out_->Append(&batch_, out);
  if (!ok || indexed == 0 || Cancelled()) return -1;
  int64_t end = DecodedEnd(tail);
  return end >= 0 ? std::min(end, out) : out;
}

// The last packet of a file cut short is there but does not decode whole, so the end
// is where decoding the last packets ends, not where their durations add up to.
int64_t FfmpegSource::DecodedEnd(const std::vector<PacketEntry>& tail) {
  if (tail.empty() || av_seek_frame(fmt_, -1, tail.front().pos, AVSEEK_FLAG_BYTE) < 0) return -1;
  avcodec_flush_buffers(dec_);
  int64_t end = -1;
  auto take = [&] {
    while (avcodec_receive_frame(dec_, frame_) == 0) {
      int64_t k = frame_->pts;
      if (k >= 0 && k < static_cast<int64_t>(tail.size()) && frame_->nb_samples > 0) {
        const PacketEntry& e = tail[static_cast<size_t>(k)];
        int skip = std::min(e.skip, frame_->nb_samples);
        int count = std::min(e.count, frame_->nb_samples - skip);
        end = std::max(end, e.out_start + count);
      }
      av_frame_unref(frame_);
    }
  };
  while (!Cancelled() && av_read_frame(fmt_, pkt_) >= 0) {
    auto it = std::find_if(tail.begin(), tail.end(),
                           [&](const PacketEntry& e) { return e.pos == pkt_->pos; });
    if (pkt_->stream_index == stream_ && it != tail.end()) {
      pkt_->pts = pkt_->dts = it - tail.begin();
      av_packet_free_side_data(pkt_);
      avcodec_send_packet(dec_, pkt_);
      take();
    }
    av_packet_unref(pkt_);
  }
  avcodec_send_packet(dec_, nullptr);
  take();
  return end;
}

// A scanning instance's view of a decoded frame: count it, and in a walk map note where
// each packet's first frame lies.
void FfmpegSource::CountFrame(const AVFrame* f) {
  int64_t start = std::max<int64_t>(0, next_out_);
  next_out_ = start + f->nb_samples;
  if (scan_ == Scan::kWalkMap && f->pkt_pos > last_mapped_pos_) {
    int64_t ts = f->pkt_dts != AV_NOPTS_VALUE ? f->pkt_dts : f->pts;
    // A packet without a timestamp is reached by seeking to the one before.
    if (ts == AV_NOPTS_VALUE) ts = last_mapped_ts_;
    batch_.push_back(PacketEntry{f->pkt_pos, start, ts, 0, 0});
    last_mapped_pos_ = f->pkt_pos;
    last_mapped_ts_ = ts;
  }
  if (batch_.size() >= 64 || (next_out_ / 4096) != (start / 4096)) Publish();
}

}  // namespace lirotag
