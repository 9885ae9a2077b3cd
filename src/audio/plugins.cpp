#include "audio/plugins.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <climits>
#include <filesystem>

namespace lirotag {
namespace {

// Shared libraries: `path` is UTF-8 everywhere.
#if defined(_WIN32)
void* OpenLibrary(const std::string& path) {
  if (path.empty() || path.size() > INT_MAX) return nullptr;
  int len = static_cast<int>(path.size());
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), len, nullptr, 0);
  if (n <= 0) return nullptr;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), len, wide.data(), n) != n)
    return nullptr;
  return reinterpret_cast<void*>(LoadLibraryW(wide.c_str()));
}
void* LibrarySymbol(void* lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void CloseLibrary(void* lib) {
  FreeLibrary(static_cast<HMODULE>(lib));
}
#else  // Linux, macOS (.dylib) and the other POSIX systems
void* OpenLibrary(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* LibrarySymbol(void* lib, const char* name) {
  return dlsym(lib, name);
}
void CloseLibrary(void* lib) {
  dlclose(lib);
}
#endif

}  // namespace

AudioHandle PluginRegistry::Load(const std::string& path, std::atomic<AudioHandle>& next) {
  void* dl = OpenLibrary(path);
  if (!dl) return 0;
  auto entry = reinterpret_cast<LirotagPluginEntry>(LibrarySymbol(dl, LIROTAG_PLUGIN_ENTRY));
  const LirotagPlugin* desc = entry ? entry() : nullptr;
  if (!desc || desc->api_version != LIROTAG_PLUGIN_API_VERSION ||
      (desc->format_count > 0 && !desc->formats) || desc->format_count > 256 || !desc->open ||
      !desc->read || !desc->seek || !desc->close) {
    CloseLibrary(dl);
    return 0;
  }
  std::lock_guard<std::mutex> lk(mu_);
  for (auto& [h, p] : loaded_) {
    if (p.entry.desc == desc) {  // the same library again
      CloseLibrary(dl);
      return h;
    }
  }
  AudioHandle h = next++;
  loaded_[h] = Loaded{dl, Entry{h, desc, std::filesystem::path(path).stem().string()}};
  return h;
}

bool PluginRegistry::Info(AudioHandle plugin, PluginInfo* info) const {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = loaded_.find(plugin);
  if (it == loaded_.end() || !info) return false;
  const LirotagPlugin* d = it->second.entry.desc;
  info->version = d->version;
  info->formats.clear();
  for (uint32_t i = 0; i < d->format_count; ++i) {
    const LirotagPluginFormat& f = d->formats[i];
    info->formats.push_back(
        PluginFormat{kCtypePlugin + i, f.name ? f.name : "", f.patterns ? f.patterns : ""});
  }
  return true;
}

std::vector<PluginRegistry::Entry> PluginRegistry::InLoadOrder() const {
  std::lock_guard<std::mutex> lk(mu_);
  std::vector<Entry> out;
  for (const auto& [h, p] : loaded_) out.push_back(p.entry);  // handles grow with each load
  return out;
}

void PluginRegistry::Clear() {
  std::lock_guard<std::mutex> lk(mu_);
  for (auto& [h, p] : loaded_) CloseLibrary(p.library);
  loaded_.clear();
}

}  // namespace lirotag
