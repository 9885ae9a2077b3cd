#include "audio/formats.h"

#include <libopenmpt/libopenmpt.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace lirotag {

namespace {

// Files of these patterns are read by `demuxer` and play when one of `codecs` decodes.
struct Container {
  const char* patterns;
  const char* demuxer;
  std::vector<AVCodecID> codecs;
};

struct Family {
  const char* name;
  std::vector<Container> containers;
};

// What FFmpeg builds commonly open, by the names users know them by. A build without a
// demuxer or decoder leaves the pattern out, so the dialog never offers a file the
// engine then refuses.
const std::vector<Family> kFamilies = {
    {"AIFF",
     {{"*.aiff;*.aif;*.aifc",
       "aiff",
       {AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_PCM_S24BE, AV_CODEC_ID_PCM_S32BE,
        AV_CODEC_ID_PCM_F32BE}}}},
    {"Ogg", {{"*.oga;*.ogg", "ogg", {AV_CODEC_ID_VORBIS, AV_CODEC_ID_OPUS, AV_CODEC_ID_FLAC}}}},
    {"Opus", {{"*.opus", "ogg", {AV_CODEC_ID_OPUS}}}},
    {"Speex", {{"*.spx", "ogg", {AV_CODEC_ID_SPEEX}}}},
    {"FLAC", {{"*.flac", "flac", {AV_CODEC_ID_FLAC}}}},
    {"Matroska/WebM",
     {{"*.mka;*.webm",
       "matroska",
       {AV_CODEC_ID_VORBIS, AV_CODEC_ID_OPUS, AV_CODEC_ID_FLAC, AV_CODEC_ID_AAC, AV_CODEC_ID_MP3,
        AV_CODEC_ID_AC3}}}},
    {"M4A/MP4",
     {{"*.m4a;*.m4b;*.mp4", "mov", {AV_CODEC_ID_AAC, AV_CODEC_ID_ALAC, AV_CODEC_ID_MP3}}}},
    {"ADTS AAC", {{"*.aac", "aac", {AV_CODEC_ID_AAC}}}},
    {"AC-3", {{"*.ac3", "ac3", {AV_CODEC_ID_AC3}}, {"*.eac3", "eac3", {AV_CODEC_ID_EAC3}}}},
    {"DTS", {{"*.dts", "dts", {AV_CODEC_ID_DTS}}, {"*.dtshd", "dtshd", {AV_CODEC_ID_DTS}}}},
    {"WMA/ASF",
     {{"*.wma;*.asf",
       "asf",
       {AV_CODEC_ID_WMAV1, AV_CODEC_ID_WMAV2, AV_CODEC_ID_WMAPRO, AV_CODEC_ID_WMALOSSLESS,
        AV_CODEC_ID_WMAVOICE}}}},
    {"Monkey's Audio", {{"*.ape", "ape", {AV_CODEC_ID_APE}}}},
    {"WavPack", {{"*.wv", "wv", {AV_CODEC_ID_WAVPACK}}}},
    {"TTA", {{"*.tta", "tta", {AV_CODEC_ID_TTA}}}},
    {"Musepack",
     {{"*.mpc;*.mp+;*.mpp", "mpc", {AV_CODEC_ID_MUSEPACK7}},
      {"*.mpc;*.mp+;*.mpp", "mpc8", {AV_CODEC_ID_MUSEPACK8}}}},
    {"TAK", {{"*.tak", "tak", {AV_CODEC_ID_TAK}}}},
    {"Shorten", {{"*.shn", "shn", {AV_CODEC_ID_SHORTEN}}}},
    {"CAF",
     {{"*.caf",
       "caf",
       {AV_CODEC_ID_ALAC, AV_CODEC_ID_AAC, AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16BE}}}},
    {"AU", {{"*.au;*.snd", "au", {AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_PCM_MULAW}}}},
    {"Wave64", {{"*.w64", "w64", {AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_F32LE}}}},
    {"Creative Voice", {{"*.voc", "voc", {AV_CODEC_ID_PCM_U8, AV_CODEC_ID_PCM_S16LE}}}},
    {"AMR", {{"*.amr", "amr", {AV_CODEC_ID_AMR_NB, AV_CODEC_ID_AMR_WB}}}},
    {"DSD", {{"*.dsf", "dsf", {AV_CODEC_ID_DSD_LSBF_PLANAR}}}},
    {"RealAudio",
     {{"*.ra;*.rm",
       "rm",
       {AV_CODEC_ID_COOK, AV_CODEC_ID_RA_144, AV_CODEC_ID_RA_288, AV_CODEC_ID_ATRAC3,
        AV_CODEC_ID_AAC}}}},
    {"MLP/TrueHD",
     {{"*.mlp", "mlp", {AV_CODEC_ID_MLP}}, {"*.thd", "truehd", {AV_CODEC_ID_TRUEHD}}}},
};

bool Opens(const Container& c) {
  if (!av_find_input_format(c.demuxer)) return false;
  for (AVCodecID id : c.codecs) {
    if (avcodec_find_decoder(id)) return true;
  }
  return false;
}

// libopenmpt's extensions ("mod;s3m;xm;...") as patterns.
std::string TrackerPatterns() {
  const char* extensions = openmpt_get_supported_extensions();
  if (!extensions) return {};
  std::string patterns;
  std::string all = extensions;
  openmpt_free_string(extensions);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find(';', start);
    if (end == std::string::npos) end = all.size();
    if (end > start) AppendPatterns(&patterns, "*." + all.substr(start, end - start));
    start = end + 1;
  }
  return patterns;
}

std::vector<FormatFamily> Collect() {
  std::vector<FormatFamily> families;
  for (const Family& family : kFamilies) {
    std::string patterns;
    for (const Container& c : family.containers) {
      if (Opens(c)) AppendPatterns(&patterns, c.patterns);
    }
    if (!patterns.empty()) families.push_back({family.name, patterns});
  }
  if (std::string tracker = TrackerPatterns(); !tracker.empty())
    families.push_back({"MOD音乐", tracker});
  return families;
}

}  // namespace

const std::vector<FormatFamily>& BuiltInFormats() {
  static const std::vector<FormatFamily> families = Collect();
  return families;
}

}  // namespace lirotag
