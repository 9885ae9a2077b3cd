#include "audio/source.h"

#include <filesystem>

namespace lirotag {

bool IsRegularFile(const std::string& utf8_path) {
  std::error_code ec;
  const std::filesystem::path p(
      std::u8string(reinterpret_cast<const char8_t*>(utf8_path.data()), utf8_path.size()));
  return std::filesystem::is_regular_file(p, ec) && !ec;
}

}  // namespace lirotag
