/* A plug-in for the tests: "*.ltone" files hold one line "LTONE rate channels frames"
 * and decode to a known ramp, so every sample can be checked. */
#include <stdio.h>
#include <stdlib.h>

#include "audio/lirotag_plugin.h"

typedef struct Tone {
  LirotagStreamInfo info;
  int64_t pos;
} Tone;

static const LirotagPluginFormat kFormats[] = {{"Test tone", "*.ltone;*.ltn"}};

static float Sample(int64_t frame, int channel) {
  return (float)((frame * 7 + channel * 13) % 1000) / 1000.0f - 0.5f;
}

static void* Open(const char* path, LirotagStreamInfo* info) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  int rate = 0, channels = 0;
  long long frames = 0;
  int n = fscanf(f, "LTONE %d %d %lld", &rate, &channels, &frames);
  fclose(f);
  if (n != 3 || rate <= 0 || channels <= 0 || channels > 8 || frames < 0) return NULL;
  Tone* t = (Tone*)calloc(1, sizeof(Tone));
  if (!t) return NULL;
  t->info.sample_rate = rate;
  t->info.channels = channels;
  t->info.length_frames = frames;
  *info = t->info;
  return t;
}

static int64_t Read(void* stream, float* out, int64_t frames) {
  Tone* t = (Tone*)stream;
  int64_t n = 0;
  for (; n < frames && t->pos < t->info.length_frames; ++n, ++t->pos)
    for (int c = 0; c < t->info.channels; ++c) out[n * t->info.channels + c] = Sample(t->pos, c);
  return n;
}

static int32_t Seek(void* stream, int64_t frame) {
  Tone* t = (Tone*)stream;
  if (frame < 0 || frame > t->info.length_frames) return 0;
  t->pos = frame;
  return 1;
}

static void Close(void* stream) {
  free(stream);
}

static const LirotagPlugin kPlugin = {
    LIROTAG_PLUGIN_API_VERSION, 0x0100, 1, kFormats, Open, Read, Seek, Close};

#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    const LirotagPlugin* lirotag_plugin_entry(void) {
  return &kPlugin;
}
