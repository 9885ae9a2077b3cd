#pragma once

// The FFmpeg decoder behind OpenFfmpegFile and OpenFfmpegMemory. Private to its files:
//  - ffmpeg_source.cpp: opening, exact seeks, reading, the length, for the song that
//    plays;
//  - ffmpeg_scan.cpp: the pass over the whole file, on a thread of its own, with its own
//    instance of this class, that fills the PacketMap (packet_map.h) the playing one
//    places its frames by.
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

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/downmix.h"
#include "audio/packet_map.h"
#include "audio/source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace lirotag {

using Clock = std::chrono::steady_clock;

// The open reads headers and probes the first packets; a file that takes longer than
// this to give them is on a device that has stopped answering.
constexpr auto kOpenTimeout = std::chrono::seconds(10);
// A song of usual length is indexed in a few milliseconds: the open waits that long so
// the length is exact at once. A longer one goes on indexing beside playback.
constexpr auto kIndexWait = std::chrono::milliseconds(100);

// One reader of a file image; readers on other threads share the bytes.
struct MemoryFile {
  std::shared_ptr<const std::vector<uint8_t>> data;
  int64_t pos = 0;
};

class FfmpegSource : public Source {
 public:
  FfmpegSource(std::string path, std::shared_ptr<MemoryFile> mem)
      : path_(std::move(path)), mem_(std::move(mem)) {}
  ~FfmpegSource() override {
    StopScan();
    CloseContainer();
    av_packet_free(&pkt_);
    av_frame_free(&frame_);
  }

  bool Open(OpenError* err);

  int Rate() const override { return rate_; }
  int Channels() const override { return channels_; }
  int64_t Length() const override;
  bool LengthExact() const override { return ExactLength() >= 0; }
  void OnLengthCounted(std::function<void(int64_t)> done) override {
    if (map_) map_->Listen(std::move(done));
  }
  bool Seek(int64_t frame) override;
  int64_t Read(float* out, int64_t frames) override;
  std::string Decoder() const override { return decoder_name_; }
  uint64_t FileStart() const override { return file_start_; }
  uint64_t FileEnd() const override { return file_end_; }
  int OriginalResolution() const override { return resolution_; }
  void SetCancel(std::function<bool()> cancel) override { cancel_ = std::move(cancel); }

 private:
  enum class Mode { kGeneric, kIndexed, kWalk };
  // What a scanning instance does on its pass from the top.
  enum class Scan { kNone, kIndex, kWalkMap, kCount };

  static int Interrupt(void* opaque) {
    auto* self = static_cast<FfmpegSource*>(opaque);
    if (self->cancel_ && self->cancel_()) return 1;
    return self->opening_ && Clock::now() > self->open_deadline_ ? 1 : 0;
  }
  bool Cancelled() const { return cancel_ && cancel_(); }

  bool OpenContainer(OpenError* err);
  bool StartsLikeAKnownFormat();
  void CloseContainer();
  bool StartIndex();
  void StartScan(Scan kind);
  void StopScan();
  static int64_t RunScan(Scan kind, const std::string& path, std::shared_ptr<MemoryFile> mem,
                         std::shared_ptr<PacketMap> map);
  int64_t IndexPackets();
  int64_t DecodedEnd(const std::vector<PacketEntry>& tail);
  void CountFrame(const AVFrame* f);
  void Publish();
  bool Restart(int64_t target);
  bool SeekIndexed(int64_t target);
  bool SeekWalk(int64_t target);
  bool SeekGeneric(int64_t target);
  bool LandedBefore(int64_t target);
  int64_t Preroll() const;
  void ResetDecodeState(int64_t target);
  bool DecodeMore();
  void PlaceFrame(const AVFrame* f);
  void AppendSamples(const AVFrame* f, int first, int count);
  int64_t ExactLength() const;
  int64_t HeaderEstimate() const;
  int64_t TailEstimate();
  int64_t BitrateEstimate() const;
  int64_t GuessLength();
  void MeasureLength();

  std::string path_;
  std::shared_ptr<MemoryFile> mem_;
  std::function<bool()> cancel_;
  bool opening_ = false;
  Clock::time_point open_deadline_;
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
  bool length_exact_ = false;
  uint64_t file_start_ = 0;
  uint64_t file_end_ = 0;
  std::string decoder_name_;
  Mode mode_ = Mode::kGeneric;
  Downmixer downmix_;
  std::vector<const uint8_t*> planes_;

  // The pass over the file that indexes, maps or counts it, and its thread.
  std::shared_ptr<PacketMap> map_;
  std::thread scan_thread_;
  // In a scanning instance: what it does, where it reports, what it has not yet told.
  Scan scan_ = Scan::kNone;
  std::shared_ptr<PacketMap> out_;
  std::vector<PacketEntry> batch_;
  int64_t last_mapped_pos_ = -1;
  int64_t last_mapped_ts_ = AV_NOPTS_VALUE;

  int64_t jump_pos_ = -1;        // walk: first packet read after a jump
  int64_t last_frame_pos_ = -1;  // walk: packet of the previous decoded frame
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

}  // namespace lirotag
