#include "files/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include "files/ascii.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lirotag {

namespace fs = std::filesystem;

namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string Describe(const std::string& path, const std::string& what) {
  return path + ": " + what;
}

// A name no other writer will pick: the process may save the same file twice in a row,
// and another instance of the program may be saving beside us.
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  char buf[64];
  std::snprintf(buf, sizeof buf, ".%x%llx%x.tmp", seed,
                static_cast<unsigned long long>(now) & 0xFFFFFF, counter.fetch_add(1));
  return buf;
}

std::FILE* OpenFile(const fs::path& p, bool write) {
#ifdef _WIN32
  return _wfopen(p.c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(p.c_str(), write ? "wb" : "rb");
#endif
}

bool FlushToDisk(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
#if defined(__unix__) || defined(__APPLE__)
  // Without this a crash shortly after the rename could leave an empty file behind.
  if (fsync(fileno(f)) != 0) return false;
#endif
  return true;
}

// The file a chain of symbolic links ends in, which need not exist yet. Writing there
// rather than over the link keeps configurations that dotfile managers link into their
// own folders: the rename would otherwise replace the link by a plain file.
bool FollowLinks(const fs::path& path, fs::path* target, std::string* err) {
  fs::path p = path;
  // As many hops as the system itself follows before it gives up on a loop.
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) {
      *target = p;
      return true;
    }
    const fs::path next = fs::read_symlink(p, ec);
    if (ec) {
      *err = ec.message();
      return false;
    }
    // A relative link names its target from the link's own folder.
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  *err = std::make_error_code(std::errc::too_many_symbolic_link_levels).message();
  return false;
}

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string PathToUtf8(const fs::path& path) {
  const std::u8string s = path.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return PathToUtf8(PathFromUtf8(dir) / PathFromUtf8(name));
}

bool RealFileSystem::ReadFile(const std::string& path, std::string* contents, std::string* err,
                              std::uint64_t maxBytes) {
  contents->clear();
  std::error_code ec;
  const fs::path p = PathFromUtf8(path);
  if (fs::is_directory(p, ec)) {
    *err = Describe(path, "is a directory");
    return false;
  }
  std::FILE* f = OpenFile(p, false);
  if (!f) {
    *err = Describe(path, std::strerror(errno));
    return false;
  }
  // The size reported by the file system is only a hint (pipes and some special files
  // report 0), so the limit is enforced on what is actually read.
  const std::uintmax_t hint = fs::file_size(p, ec);
  if (!ec && hint <= maxBytes) contents->reserve(static_cast<size_t>(hint));
  char buf[64 * 1024];
  bool ok = true;
  for (;;) {
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    if (contents->size() + n > maxBytes) {
      *err = Describe(path, "file is too large");
      ok = false;
      break;
    }
    contents->append(buf, n);
    if (n < sizeof buf) {
      if (std::ferror(f)) {
        *err = Describe(path, "read error");
        ok = false;
      }
      break;
    }
  }
  std::fclose(f);
  if (!ok) contents->clear();
  return ok;
}

bool RealFileSystem::WriteFileAtomic(const std::string& path, std::string_view data,
                                     std::string* err) {
  fs::path target;
  std::string why;
  if (!FollowLinks(PathFromUtf8(path), &target, &why)) {
    *err = Describe(path, why);
    return false;
  }
  std::error_code ec;
  if (fs::is_directory(target, ec)) {
    *err = Describe(path, "is a directory");
    return false;
  }
  fs::path temp = target;
  temp += PathFromUtf8(UniqueSuffix());
  std::FILE* f = OpenFile(temp, true);
  if (!f) {
    *err = Describe(path, std::strerror(errno));
    return false;
  }
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = FlushToDisk(f) && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    *err = Describe(path, "write error");
    fs::remove(temp, ec);
    return false;
  }
  // Keep the permissions the user gave the old file.
  const fs::file_status old = fs::status(target, ec);
  if (!ec && fs::is_regular_file(old)) {
    fs::permissions(temp, old.permissions(), fs::perm_options::replace, ec);
  }
  fs::rename(temp, target, ec);
  if (ec) {
    *err = Describe(path, ec.message());
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

bool RealFileSystem::FileExists(const std::string& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(PathFromUtf8(path), ec);
  return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool RealFileSystem::IsDirWritable(const std::string& dir) {
  std::error_code ec;
  const fs::path d = PathFromUtf8(dir);
  if (!fs::is_directory(d, ec)) return false;
  // Permission bits do not tell the whole story (ACLs, read-only mounts, root, immutable
  // folders, a server's own rules): the kernel's own check, for the effective user,
  // weighs them all, without writing anything (this runs at every start).
  return faccessat(AT_FDCWD, d.c_str(), W_OK, AT_EACCESS) == 0;
}

std::vector<std::string> RealFileSystem::ListFiles(const std::string& dir, std::string_view prefix,
                                                   std::string_view suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(PathFromUtf8(dir), ec);
  if (ec) return names;
  for (const fs::directory_entry& entry : it) {
    std::error_code type_ec;
    if (!entry.is_regular_file(type_ec)) continue;
    const std::string name = PathToUtf8(entry.path().filename());
    if (name.size() < prefix.size() + suffix.size()) continue;
    if (!StartsWithNoCase(name, prefix) || !EndsWithNoCase(name, suffix)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), LessNoCase);
  return names;
}

bool RealFileSystem::MakeDirs(const std::string& dir, std::string* err) {
  std::error_code ec;
  const fs::path d = PathFromUtf8(dir);
  fs::create_directories(d, ec);
  if (ec || !fs::is_directory(d, ec)) {
    *err = Describe(dir, ec ? ec.message() : "not a directory");
    return false;
  }
  return true;
}

}  // namespace lirotag
