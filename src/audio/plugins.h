#pragma once

// Decoder plug-ins: shared libraries beside the program that export
// LIROTAG_PLUGIN_ENTRY (see lirotag_plugin.h), each a decoder for formats FFmpeg lacks.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/lirotag_plugin.h"

namespace lirotag {

class PluginRegistry {
 public:
  struct Entry {
    AudioHandle handle = 0;
    const LirotagPlugin* desc = nullptr;
    std::string name;  // the library's file name without extension
  };

  PluginRegistry() = default;
  PluginRegistry(const PluginRegistry&) = delete;
  PluginRegistry& operator=(const PluginRegistry&) = delete;
  ~PluginRegistry() { Clear(); }

  // Loads the library at `path` (UTF-8) and checks what it describes: its handle, taken
  // from `next` (the same one for a library loaded before), or 0.
  AudioHandle Load(const std::string& path, std::atomic<AudioHandle>& next);
  bool Info(AudioHandle plugin, PluginInfo* info) const;
  // The plug-ins in the order they were loaded, the order they are tried in.
  std::vector<Entry> InLoadOrder() const;
  // Unloads them all: no stream of theirs may be open.
  void Clear();

 private:
  struct Loaded {
    void* library = nullptr;
    Entry entry;
  };
  mutable std::mutex mu_;
  std::map<AudioHandle, Loaded> loaded_;
};

}  // namespace lirotag
