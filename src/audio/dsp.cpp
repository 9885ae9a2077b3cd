#include "audio/dsp.h"

#include <cmath>
#include <complex>

namespace lirotag {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Peaking filter (RBJ cookbook). A band at 0 dB is left out entirely, so the default
// equaliser changes no sample.
class Equalizer : public Effect {
 public:
  Equalizer(int rate, int channels) : rate_(rate), channels_(channels), state_(channels * 4) {
    Design();
  }
  uint32_t Type() const override { return kFxParamEq; }
  bool SetParameters(const FxParameters& p) override {
    const auto* eq = std::get_if<EqParameters>(&p);
    if (!eq || !(eq->center >= 80.0f) || eq->center >= rate_ / 2.0f || !(eq->bandwidth >= 1.0f) ||
        eq->bandwidth > 36.0f || !(eq->gain >= -15.0f) || eq->gain > 15.0f)
      return false;
    p_ = *eq;
    Design();
    return true;
  }
  FxParameters Parameters() const override { return p_; }
  void Process(float* frames, int count) override {
    if (p_.gain == 0.0f) return;
    for (int i = 0; i < count; ++i) {
      for (int c = 0; c < channels_; ++c) {
        float* s = &state_[c * 4];
        float x = frames[i * channels_ + c];
        float y = b0_ * x + b1_ * s[0] + b2_ * s[1] - a1_ * s[2] - a2_ * s[3];
        s[1] = s[0];
        s[0] = x;
        s[3] = s[2];
        s[2] = y;
        frames[i * channels_ + c] = y;
      }
    }
  }

 private:
  void Design() {
    double a = std::pow(10.0, p_.gain / 40.0);
    double w0 = 2 * kPi * p_.center / rate_;
    double bw_oct = p_.bandwidth / 12.0;
    double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * bw_oct * w0 / std::sin(w0));
    double a0 = 1 + alpha / a;
    b0_ = static_cast<float>((1 + alpha * a) / a0);
    b1_ = static_cast<float>(-2 * std::cos(w0) / a0);
    b2_ = static_cast<float>((1 - alpha * a) / a0);
    a1_ = b1_;
    a2_ = static_cast<float>((1 - alpha / a) / a0);
  }
  int rate_;
  int channels_;
  EqParameters p_;
  std::vector<float> state_;
  float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
};

// A small Schroeder reverb: four combs into two all-passes per channel. At a mix of
// -96 dB or below the wet signal is left out, so "present but silent" is exact.
class Reverb : public Effect {
 public:
  Reverb(int rate, int channels) : rate_(rate), channels_(channels) { Build(); }
  uint32_t Type() const override { return kFxReverb; }
  bool SetParameters(const FxParameters& p) override {
    const auto* r = std::get_if<ReverbParameters>(&p);
    if (!r || !(r->in_gain >= -96.0f) || r->in_gain > 0.0f || !(r->reverb_mix >= -96.0f) ||
        r->reverb_mix > 0.0f || !(r->reverb_time >= 0.001f) || r->reverb_time > 3000.0f ||
        !(r->high_freq_rt_ratio >= 0.001f) || r->high_freq_rt_ratio > 0.999f)
      return false;
    p_ = *r;
    Build();
    return true;
  }
  FxParameters Parameters() const override { return p_; }
  void Process(float* frames, int count) override {
    float in_gain = static_cast<float>(std::pow(10.0, p_.in_gain / 20.0));
    bool silent = p_.reverb_mix <= -96.0f;
    // The player keeps a silent reverb on every song: it costs the gain alone. Its
    // lines hold nothing meanwhile; a mix set later starts them afresh (Build).
    if (silent) {
      if (in_gain != 1.0f)
        for (int i = 0; i < count * channels_; ++i) frames[i] *= in_gain;
      return;
    }
    float wet_gain = static_cast<float>(std::pow(10.0, p_.reverb_mix / 20.0));
    for (int i = 0; i < count; ++i) {
      for (int c = 0; c < channels_; ++c) {
        float& s = frames[i * channels_ + c];
        float x = s * in_gain;
        float wet = 0.0f;
        for (auto& line : combs_[c]) {
          float y = line.buf[line.pos];
          line.lp = y * (1 - damp_) + line.lp * damp_;
          line.buf[line.pos] = x + line.lp * line.feedback;
          line.pos = (line.pos + 1) % line.buf.size();
          wet += y;
        }
        for (auto& ap : allpasses_[c]) {
          float b = ap.buf[ap.pos];
          ap.buf[ap.pos] = wet + b * 0.5f;
          ap.pos = (ap.pos + 1) % ap.buf.size();
          wet = b - wet;
        }
        s = x + wet * 0.25f * wet_gain;
      }
    }
  }

 private:
  struct Line {
    std::vector<float> buf;
    size_t pos = 0;
    float feedback = 0;
    float lp = 0;
  };
  void Build() {
    static const double kComb[] = {0.0297, 0.0371, 0.0411, 0.0437};
    static const double kAll[] = {0.005, 0.0017};
    double t = p_.reverb_time / 1000.0;
    damp_ = static_cast<float>(std::min(0.9, 1.0 - p_.high_freq_rt_ratio));
    combs_.assign(channels_, {});
    allpasses_.assign(channels_, {});
    for (int c = 0; c < channels_; ++c) {
      for (double d : kComb) {
        Line l;
        double len = d + 0.0011 * c;
        l.buf.assign(std::max(1, static_cast<int>(len * rate_)), 0.0f);
        l.feedback = static_cast<float>(std::pow(10.0, -3.0 * len / t));
        combs_[c].push_back(std::move(l));
      }
      for (double d : kAll) {
        Line l;
        l.buf.assign(std::max(1, static_cast<int>(d * rate_)), 0.0f);
        allpasses_[c].push_back(std::move(l));
      }
    }
  }
  int rate_;
  int channels_;
  ReverbParameters p_;
  float damp_ = 0;
  std::vector<std::vector<Line>> combs_;
  std::vector<std::vector<Line>> allpasses_;
};

}  // namespace

std::unique_ptr<Effect> MakeEffect(uint32_t type, int rate, int channels) {
  if (rate <= 0 || channels <= 0) return nullptr;
  if (type == kFxParamEq) return std::make_unique<Equalizer>(rate, channels);
  if (type == kFxReverb) return std::make_unique<Reverb>(rate, channels);
  return nullptr;
}

void Fft512(const float* samples, float* magnitudes) {
  constexpr int n = 512;
  std::complex<double> a[n];
  for (int i = 0; i < n; ++i) {
    double w = 0.5 - 0.5 * std::cos(2 * kPi * i / (n - 1));
    a[i] = samples[i] * w;
  }
  for (int i = 1, j = 0; i < n; ++i) {
    int bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (int len = 2; len <= n; len <<= 1) {
    std::complex<double> wl = std::polar(1.0, -2 * kPi / len);
    for (int i = 0; i < n; i += len) {
      std::complex<double> w = 1;
      for (int k = 0; k < len / 2; ++k) {
        std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= wl;
      }
    }
  }
  // Scaled so a full-scale sine gives about 1 in its bin.
  for (int k = 0; k < n / 2; ++k) magnitudes[k] = static_cast<float>(std::abs(a[k]) * 4.0 / n);
}

}  // namespace lirotag
