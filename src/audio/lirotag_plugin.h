/* The C interface of Lirotag's audio plug-ins: shared libraries named lirotag_*.so
 * (.dll, .dylib) in the Plugins folder. A plug-in exports one function,
 * lirotag_plugin_entry, returning a static description of its formats and decoder. */
#ifndef LIROTAG_AUDIO_LIROTAG_PLUGIN_H_
#define LIROTAG_AUDIO_LIROTAG_PLUGIN_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LIROTAG_PLUGIN_API_VERSION 1
#define LIROTAG_PLUGIN_ENTRY "lirotag_plugin_entry"

typedef struct LirotagPluginFormat {
  const char* name;     /* shown in the song dialog, UTF-8 */
  const char* patterns; /* "*.abc;*.def" */
} LirotagPluginFormat;

typedef struct LirotagStreamInfo {
  int32_t sample_rate;   /* Hz, > 0 */
  int32_t channels;      /* 1 .. 8 */
  int64_t length_frames; /* exact, or -1 if unknown */
} LirotagStreamInfo;

typedef struct LirotagPlugin {
  uint32_t api_version; /* LIROTAG_PLUGIN_API_VERSION */
  uint32_t version;     /* the plug-in's own */
  uint32_t format_count;
  const LirotagPluginFormat* formats;
  /* NULL when the file is not one of the plug-in's formats. */
  void* (*open)(const char* path, LirotagStreamInfo* info);
  /* Interleaved float frames; returns frames written, 0 at the end. */
  int64_t (*read)(void* stream, float* out, int64_t frames);
  /* Exact: the next read starts at `frame`. Non-zero on success. */
  int32_t (*seek)(void* stream, int64_t frame);
  void (*close)(void* stream);
} LirotagPlugin;

typedef const LirotagPlugin* (*LirotagPluginEntry)(void);

#ifdef __cplusplus
}
#endif

#endif /* LIROTAG_AUDIO_LIROTAG_PLUGIN_H_ */
