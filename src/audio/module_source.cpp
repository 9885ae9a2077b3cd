// Tracker modules through libopenmpt. Rendering is deterministic from the start, and a
// seek renders and discards up to the target (from where it stands when that is before
// the target), so a seek lands on exactly the samples a rendering from the start gives.

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/downmix.h"
#include "audio/source.h"

namespace lirotag {
namespace {

class ModuleSource : public Source {
 public:
  ModuleSource(std::vector<char> data, int rate) : data_(std::move(data)), rate_(rate) {}
  ~ModuleSource() override {
    if (mod_) openmpt_module_destroy(mod_);
  }
  bool Open() {
    mod_ = openmpt_module_create_from_memory2(data_.data(), data_.size(), nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr);
    if (!mod_) return false;
    double d = openmpt_module_get_duration_seconds(mod_);
    length_ = d > 0 && d < static_cast<double>(kMaxSongSeconds)
                  ? static_cast<int64_t>(std::llround(d * rate_))
                  : 0;
    return true;
  }
  int Rate() const override { return rate_; }
  int Channels() const override { return 2; }
  int64_t Length() const override { return length_; }
  bool Seek(int64_t frame) override {
    if (frame < pos_) {
      openmpt_module_destroy(mod_);
      mod_ = nullptr;
      pos_ = 0;
      if (!Open()) return false;
    }
    float scratch[2 * 1024];
    while (pos_ < frame) {
      if (cancel_ && cancel_()) return false;
      int64_t n = Read(scratch, std::min<int64_t>(1024, frame - pos_));
      if (n <= 0) break;
    }
    return true;
  }
  int64_t Read(float* out, int64_t frames) override {
    if (!mod_) return 0;
    int64_t done = 0;
    while (done < frames) {
      size_t want = static_cast<size_t>(std::min<int64_t>(frames - done, 4096));
      size_t n = openmpt_module_read_interleaved_float_stereo(mod_, rate_, want, out + done * 2);
      if (n == 0) break;
      done += static_cast<int64_t>(n);
    }
    pos_ += done;
    if (done < frames && pos_ != length_) length_ = pos_;  // the rendered end is the truth
    return done;
  }
  std::string Decoder() const override { return "libopenmpt"; }
  uint64_t FileEnd() const override { return data_.size(); }
  void SetCancel(std::function<bool()> cancel) override { cancel_ = std::move(cancel); }

 private:
  std::vector<char> data_;
  int rate_;
  openmpt_module* mod_ = nullptr;
  int64_t length_ = 0;
  int64_t pos_ = 0;
  std::function<bool()> cancel_;
};

}  // namespace

std::unique_ptr<Source> OpenModuleFile(const std::string& path, int rate, OpenError* err) {
  auto fail = [err](OpenError why) -> std::unique_ptr<Source> {
    if (err) *err = why;
    return nullptr;
  };
  if (OpenError e = CheckSongPath(path); e != OpenError::kNone) return fail(e);
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(OpenError::kNoPermission);
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  // libopenmpt needs the whole module in memory; modules are small, and a huge file
  // is not one.
  if (size <= 0 || size > (256 << 20)) return fail(OpenError::kUnsupported);
  in.seekg(0);
  std::vector<char> data(static_cast<size_t>(size));
  if (!in.read(data.data(), size)) return fail(OpenError::kDamaged);
  if (openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, data.data(), data.size(),
                                data.size(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr) == OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE)
    return fail(OpenError::kUnsupported);
  auto s = std::make_unique<ModuleSource>(std::move(data), rate > 0 ? rate : 48000);
  if (!s->Open()) return fail(OpenError::kDamaged);  // a module's header, not its body
  return s;
}

namespace {

class PluginSource : public Source {
 public:
  PluginSource(const LirotagPlugin* p, std::string name, void* stream, LirotagStreamInfo info)
      : p_(p), name_(std::move(name)), stream_(stream), info_(info) {}
  ~PluginSource() override { p_->close(stream_); }
  int Rate() const override { return info_.sample_rate; }
  // What the output plays: mono as it is, more channels folded into stereo.
  int Channels() const override { return std::min(info_.channels, 2); }
  int64_t Length() const override { return info_.length_frames; }
  bool Seek(int64_t frame) override { return p_->seek(stream_, frame) != 0; }
  int64_t Read(float* out, int64_t frames) override {
    if (info_.channels <= 2) {
      int64_t n = p_->read(stream_, out, frames);
      return n < 0 ? 0 : std::min(n, frames);
    }
    int64_t done = 0;
    while (done < frames) {
      int64_t want = std::min<int64_t>(frames - done, 4096);
      wide_.resize(static_cast<size_t>(want * info_.channels));
      int64_t n = std::min(p_->read(stream_, wide_.data(), want), want);
      if (n <= 0) break;
      // A plug-in names no speakers: the usual ones for its channel count.
      AVChannelLayout layout{};
      layout.order = AV_CHANNEL_ORDER_UNSPEC;
      layout.nb_channels = info_.channels;
      const uint8_t* plane = reinterpret_cast<const uint8_t*>(wide_.data());
      if (!downmix_.Configure(layout, AV_SAMPLE_FMT_FLT, info_.sample_rate, 2) ||
          downmix_.Convert(&plane, static_cast<int>(n), out + done * 2) != n)
        std::fill(out + done * 2, out + (done + n) * 2, 0.0f);
      done += n;
    }
    return done;
  }
  std::string Decoder() const override { return "plugin:" + name_; }

 private:
  const LirotagPlugin* p_;
  std::string name_;
  void* stream_;
  LirotagStreamInfo info_;
  std::vector<float> wide_;
  Downmixer downmix_;
};

}  // namespace

std::unique_ptr<Source> OpenPluginFile(const LirotagPlugin* plugin, const std::string& name,
                                       const std::string& path) {
  if (!plugin || !plugin->open || !plugin->read || !plugin->seek || !plugin->close) return nullptr;
  LirotagStreamInfo info{};
  info.length_frames = -1;
  void* stream = plugin->open(path.c_str(), &info);
  if (!stream) return nullptr;
  if (!PlausibleLayout(info.sample_rate, info.channels) || info.channels > 8) {
    plugin->close(stream);
    return nullptr;
  }
  info.length_frames = PlausibleLength(info.length_frames, info.sample_rate);
  return std::make_unique<PluginSource>(plugin, name, stream, info);
}

}  // namespace lirotag
