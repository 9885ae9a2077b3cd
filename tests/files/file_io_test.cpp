#include "files/file_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>
#include <vector>

namespace lirotag {
namespace {

namespace fs = std::filesystem;

class RealFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lirotag-fileio-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return JoinPath(PathToUtf8(dir_), name); }
  void Put(const std::string& name, const std::string& data) {
    std::ofstream(PathFromUtf8(Path(name)), std::ios::binary) << data;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
      names.push_back(PathToUtf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  RealFileSystem rfs_;
};

TEST_F(RealFileSystemTest, ReadsBinaryContentsWithUtf8Names) {
  const std::string data("a\0\r\n\xFF", 5);
  Put("歌词.lrc", data);
  std::string got, err;
  ASSERT_TRUE(rfs_.ReadFile(Path("歌词.lrc"), &got, &err)) << err;
  EXPECT_EQ(got, data);
}

TEST_F(RealFileSystemTest, ReadFailures) {
  Put("big", std::string(1000, 'x'));
  fs::create_directory(dir_ / "sub");
  struct Case {
    std::string path;
    std::uint64_t max;
  };
  for (const Case& c : {Case{Path("missing"), kDefaultMaxReadBytes},
                        Case{Path("sub"), kDefaultMaxReadBytes}, Case{Path("big"), 999}}) {
    std::string got = "stale", err;
    EXPECT_FALSE(rfs_.ReadFile(c.path, &got, &err, c.max)) << c.path;
    EXPECT_TRUE(got.empty()) << c.path;
    EXPECT_FALSE(err.empty()) << c.path;
  }
  std::string got, err;
  EXPECT_TRUE(rfs_.ReadFile(Path("big"), &got, &err, 1000));
  EXPECT_EQ(got.size(), 1000u);
}

TEST_F(RealFileSystemTest, WriteAtomicCreatesAndReplaces) {
  std::string err, got;
  ASSERT_TRUE(rfs_.WriteFileAtomic(Path("a.ini"), "first", &err)) << err;
  ASSERT_TRUE(rfs_.WriteFileAtomic(Path("a.ini"), std::string("2\0nd", 4), &err)) << err;
  ASSERT_TRUE(rfs_.ReadFile(Path("a.ini"), &got, &err));
  EXPECT_EQ(got, std::string("2\0nd", 4));
  ASSERT_TRUE(rfs_.WriteFileAtomic(Path("a.ini"), "", &err)) << err;
  ASSERT_TRUE(rfs_.ReadFile(Path("a.ini"), &got, &err));
  EXPECT_EQ(got, "");
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.ini"});  // no temporary file left
}

TEST_F(RealFileSystemTest, FailedWriteLeavesEverythingAsItWas) {
  Put("keep.lrc", "old lyrics");
  fs::create_directory(dir_ / "folder");
  std::string err;
  // The parent "folder" of the target is a regular file: nothing can be created there.
  EXPECT_FALSE(rfs_.WriteFileAtomic(JoinPath(Path("keep.lrc"), "x"), "new", &err));
  EXPECT_FALSE(err.empty());
  // The target is a directory.
  EXPECT_FALSE(rfs_.WriteFileAtomic(Path("folder"), "new", &err));
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  std::string got;
  ASSERT_TRUE(rfs_.ReadFile(Path("keep.lrc"), &got, &err));
  EXPECT_EQ(got, "old lyrics");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"folder", "keep.lrc"}));
}

// Dotfile managers keep the configuration as a link into their repository: a save
// must change the file the link names and leave the link in place.
TEST_F(RealFileSystemTest, WriteAtomicWritesThroughSymbolicLinks) {
  fs::create_directories(dir_ / "repo" / "deep");
  for (const char* old : {"repo/rel.ini", "repo/abs.ini", "repo/deep/end.ini"}) Put(old, "old");
  // {link, target as stored in it, the file a write through it must reach}: a relative
  // target is read from the link's own folder, and "new.ini" dangles.
  const std::tuple<std::string, std::string, std::string> links[] = {
      {"rel.ini", "repo/rel.ini", "repo/rel.ini"},
      {"abs.ini", PathToUtf8(dir_ / "repo" / "abs.ini"), "repo/abs.ini"},
      {"chain.ini", "repo/hop.ini", "repo/deep/end.ini"},
      {"repo/hop.ini", "deep/end.ini", "repo/deep/end.ini"},
      {"new.ini", "repo/deep/new.ini", "repo/deep/new.ini"}};
  for (const auto& [link, to, file] : links) fs::create_symlink(to, dir_ / link);
  for (const auto& [link, to, file] : links) {
    std::string err, got;
    ASSERT_TRUE(rfs_.WriteFileAtomic(Path(link), "[Skin]\r\n" + link, &err)) << err;
    ASSERT_TRUE(rfs_.ReadFile(Path(file), &got, &err)) << link << ": " << err;
    EXPECT_EQ(got, "[Skin]\r\n" + link);
  }
  std::error_code ec;
  for (const auto& [link, to, file] : links) EXPECT_EQ(fs::read_symlink(dir_ / link, ec), to);
  // No temporary file is left beside a link or a target.
  for (const auto& e : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(RealFileSystemTest, ExistsAndWritable) {
  Put("f", "x");
  fs::create_directory(dir_ / "d");
  EXPECT_TRUE(rfs_.FileExists(Path("f")));
  EXPECT_FALSE(rfs_.FileExists(Path("d")));
  EXPECT_FALSE(rfs_.FileExists(Path("none")));
  EXPECT_TRUE(rfs_.IsDirWritable(Path("d")));
  EXPECT_FALSE(rfs_.IsDirWritable(Path("f")));
  EXPECT_FALSE(rfs_.IsDirWritable(Path("none")));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"d", "f"}));  // the probe is gone
}

TEST_F(RealFileSystemTest, MakeDirs) {
  std::string err;
  const std::string deep = JoinPath(Path("a"), "b");
  EXPECT_TRUE(rfs_.MakeDirs(deep, &err)) << err;
  EXPECT_TRUE(rfs_.IsDirWritable(deep));
  EXPECT_TRUE(rfs_.MakeDirs(deep, &err));  // already there
  Put("file", "x");
  EXPECT_FALSE(rfs_.MakeDirs(JoinPath(Path("file"), "sub"), &err));
}

TEST_F(RealFileSystemTest, ListFilesMatchesWithoutCaseAndSorts) {
  for (const char* name : {"b.she", "A.SHE", "c.She.bak", "skin.txt", "Dark.she", "she"}) {
    Put(name, "");
  }
  fs::create_directory(dir_ / "folder.she");
  EXPECT_EQ(rfs_.ListFiles(PathToUtf8(dir_), "", ".she"),
            (std::vector<std::string>{"A.SHE", "b.she", "Dark.she"}));
  EXPECT_EQ(rfs_.ListFiles(PathToUtf8(dir_), "D", ".SHE"), std::vector<std::string>{"Dark.she"});
  EXPECT_TRUE(rfs_.ListFiles(Path("missing"), "", "").empty());
}

}  // namespace
}  // namespace lirotag
