// The one symbol liblirotag_engine.so exports; everything else in it stays hidden, so
// its copies of the program's own helpers never stand in for the program's.
#include "audio/engine_module.h"

namespace lirotag {
namespace {

// The rate tracker modules are rendered at, as the engine plays them.
std::unique_ptr<Source> OpenSong(const std::string& path, int module_rate) {
  if (CheckSongPath(path) != OpenError::kNone) return nullptr;
  std::unique_ptr<Source> src = OpenFfmpegFile(path, nullptr);
  if (!src) src = OpenModuleFile(path, module_rate, nullptr);
  return src;
}

std::unique_ptr<AudioEngine> CreateDefaultEngine() {
  return CreateAudioEngine();
}

constexpr EngineModule kModule = {&CreateDefaultEngine, &BuiltInFormats, &OpenSong};

}  // namespace
}  // namespace lirotag

extern "C" __attribute__((visibility("default"))) const void* lirotag_engine_module(int version) {
  return version == lirotag::kEngineModuleVersion ? &lirotag::kModule : nullptr;
}
