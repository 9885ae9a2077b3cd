#include "shell/song_open_error.h"

#include <gtest/gtest.h>

namespace lirotag {
namespace {

// The engine's reason decides, except that a file of a type the engine plays that no
// decoder recognises is called damaged rather than unsupported.
TEST(SongOpenErrorTest, TheEnginesReasonInTheUsersWords) {
  const std::string filter = "所有支持的类型|*.mp3;*.OGG;*.wav|所有文件|*.*";
  const struct {
    OpenError error;
    const char* path;
    const char* reason;
  } cases[] = {
      {OpenError::kNotFound, "/a/gone.mp3", "文件不存在。"},
      {OpenError::kNotAFile, "/a/fifo.mp3", "这不是一个文件。"},
      {OpenError::kNoPermission, "/a/locked.mp3", "没有读取这个文件的权限。"},
      {OpenError::kDamaged, "/a/cut.flac", "文件已损坏，或者内容与扩展名不符。"},
      {OpenError::kUnsupported, "/a/bad.Ogg", "文件已损坏，或者内容与扩展名不符。"},
      {OpenError::kUnsupported, "/a/notes.docx", "不支持这种文件格式。"},
      {OpenError::kUnsupported, "/a/noext", "不支持这种文件格式。"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SongOpenFailureReason(c.error, c.path, filter), c.reason) << c.path;
}

}  // namespace
}  // namespace lirotag
