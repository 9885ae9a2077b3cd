#include "files/program_modules.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <vector>

namespace lirotag {

namespace {

std::mutex& DirMutex() {
  static std::mutex mu;
  return mu;
}
std::string& InstalledDir() {
  static std::string dir;
  return dir;
}

const void* Open(const std::string& path, const char* entry, int version, std::string* why) {
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    const char* e = dlerror();
    *why = e ? e : path + " cannot be loaded";
    return nullptr;
  }
  using Entry = const void* (*)(int);
  auto get = reinterpret_cast<Entry>(dlsym(lib, entry));
  const void* module = get ? get(version) : nullptr;
  if (!module) {
    *why = path + " is not this program's, or belongs to another version of it";
    dlclose(lib);
  }
  return module;
}

}  // namespace

void SetProgramModuleDir(const std::string& relative_to_program) {
  std::lock_guard<std::mutex> lk(DirMutex());
  InstalledDir() = relative_to_program;
}

const void* OpenProgramModule(const char* file, const char* entry, int version, std::string* why) {
  std::string installed;
  {
    std::lock_guard<std::mutex> lk(DirMutex());
    installed = InstalledDir();
  }
  std::vector<std::string> tried;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path dir = self.parent_path();
    tried.push_back((dir / file).string());
    if (!installed.empty()) tried.push_back((dir / installed / file).lexically_normal().string());
  }
  tried.push_back(file);  // the program's RUNPATH, LD_LIBRARY_PATH
  std::string first_error;
  for (const std::string& path : tried) {
    if (path != file && !std::filesystem::exists(path, ec)) continue;
    std::string error;
    if (const void* module = Open(path, entry, version, &error)) return module;
    if (first_error.empty()) first_error = error;
  }
  std::string reason = first_error.empty() ? std::string(file) + " is not installed" : first_error;
  if (why) *why = std::move(reason);
  return nullptr;
}

}  // namespace lirotag
