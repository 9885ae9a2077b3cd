#include "shell/song_open_error.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace lirotag {
namespace {

TEST(SongOpenErrorTest, SaysWhyFromTheFile) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("lirotag-open-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "folder.mp3");
  const auto make = [&](const char* name, const std::string& bytes) {
    std::ofstream((dir / name).string(), std::ios::binary) << bytes;
    return (dir / name).string();
  };
  const std::string filter = "所有支持的类型|*.mp3;*.OGG;*.wav|所有文件|*.*";
  const std::string locked = make("locked.mp3", "x");
  chmod(locked.c_str(), 0);
  const bool rootReadsAnyway = static_cast<bool>(std::ifstream(locked));
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {(dir / "gone.mp3").string(), "文件不存在。"},
      {(dir / "folder.mp3").string(), "这不是一个文件。"},
      {make("bad.Ogg", "not a song"), "文件已损坏，或者内容与扩展名不符。"},
      {make("empty.xyz", ""), "文件已损坏，或者内容与扩展名不符。"},
      {make("notes.docx", "PK"), "不支持这种文件格式。"},
      {make("noext", "data"), "不支持这种文件格式。"},
  };
  for (const auto& c : cases) EXPECT_EQ(SongOpenFailureReason(c.path, filter), c.reason) << c.path;
  if (!rootReadsAnyway) {
    EXPECT_EQ(SongOpenFailureReason(locked, filter), "没有读取这个文件的权限。");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lirotag
