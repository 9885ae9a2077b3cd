#include "audio/source.h"

#include <filesystem>
#include <fstream>

namespace lirotag {
namespace {

std::filesystem::path Utf8Path(const std::string& utf8_path) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8_path.data()), utf8_path.size()));
}

}  // namespace

bool PlausibleLayout(int rate, int channels) {
  return rate >= kMinSongRate && rate <= kMaxSongRate && channels >= 1 &&
         channels <= kMaxSongChannels;
}

int64_t PlausibleLength(int64_t frames, int rate) {
  if (frames < 0 || rate <= 0 || frames / rate > kMaxSongSeconds) return -1;
  return frames;
}

OpenError CheckSongPath(const std::string& utf8_path) {
  if (utf8_path.empty()) return OpenError::kNotFound;
  const std::filesystem::path p = Utf8Path(utf8_path);
  std::error_code ec;
  const auto status = std::filesystem::status(p, ec);
  if (status.type() == std::filesystem::file_type::not_found) return OpenError::kNotFound;
  if (ec && ec != std::errc::permission_denied) return OpenError::kNotFound;
  if (ec) return OpenError::kNoPermission;  // a folder on the way may not be entered
  if (!std::filesystem::is_regular_file(status)) return OpenError::kNotAFile;
  // Opened, not asked about: only an open knows every rule (ACLs, read-only mounts).
  std::ifstream probe(p, std::ios::binary);
  return probe.is_open() ? OpenError::kNone : OpenError::kNoPermission;
}

}  // namespace lirotag
