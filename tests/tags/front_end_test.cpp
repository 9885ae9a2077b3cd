// The front end's dispatch and the helpers every reader shares.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tag_bytes.h"
#include "tags/id3v1.h"
#include "tags/read_song_tags.h"

namespace lirotag {
namespace {

using namespace std::string_literals;

TEST(FrontEndTest, DispatchByTheTextAfterTheLastDot) {
  const std::pair<const char*, TagFormat> cases[] = {
      {"a/b.mP3", TagFormat::kMp3}, {"x.WMA", TagFormat::kAsf},      {"x.wav", TagFormat::kApe},
      {"x.wv", TagFormat::kApe},    {"x.tta", TagFormat::kApe},      {"x.oga", TagFormat::kOgg},
      {"x.Opus", TagFormat::kOgg},  {"x.M4A", TagFormat::kMp4},      {"x.mp4", TagFormat::kMp4},
      {"x.fla", TagFormat::kFlac},  {"a.b/song", TagFormat::kNone},  {"mp3", TagFormat::kMp3},
      {"x.asf", TagFormat::kNone},  {"x.mp3.txt", TagFormat::kNone}, {"x.", TagFormat::kNone}};
  for (const auto& [path, format] : cases) EXPECT_EQ(TagFormatOf(path), format) << path;
}

TEST(FrontEndTest, ReadSongTagsFromFiles) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("lirotag_tags_" + std::to_string(getpid()));
  fs::create_directories(dir / "a.mp3");
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  };
  using namespace lirotag::testing;  // NOLINT
  const std::string v2 = Id3Tag(Id3Frame("TIT2", Id3Text(0, "v2")));
  SongTags tags{"stale"};
  std::string picture;
  // A WAV file gets only its APE tag, never ID3.
  EXPECT_TRUE(ReadSongTags(write("w.WAV", v2 + "data" + ApeTag({{"Album", "ape"}})), &tags,
                           &picture, true));
  EXPECT_EQ(tags, (SongTags{"", "", "ape"}));
  for (const std::string& path : {write("empty.mp3", ""), (dir / "missing.flac").string(),
                                  (dir / "a.mp3").string(), write("text.ogg", "not ogg")}) {
    tags.Title = "stale";
    EXPECT_TRUE(ReadSongTags(path, &tags, &picture, true)) << path;
    EXPECT_EQ(tags, SongTags{}) << path;
  }
  tags.Title = "stale";
  EXPECT_FALSE(ReadSongTags(write("x.txt", v2), &tags, &picture, true));
  EXPECT_EQ(tags, SongTags{});
  EXPECT_EQ(picture, "");
  fs::remove_all(dir);
}

TEST(FrontEndTest, SharedHelpers) {
  EXPECT_EQ(MergeSongTags({{"a", "", "c"}, {"x", "b", "y", "d"}}), (SongTags{"a", "b", "c", "d"}));
  SongTags t{"keep", "keep"};
  MapTagItems({{"TITLE", "a"}, {"title", "b"}, {"Cover Art", "c"}, {"date", "1"}}, AllFields(&t),
              {"", "", "", "DATE"});
  EXPECT_EQ(t, (SongTags{"b", "keep", "", "1"}));
  // Only U+FEFF goes: U+4EFF "仿" and a surrogate pair stay; the text ends at U+0000.
  EXPECT_EQ(Utf16BytesToUtf8("\xFF\xFE\xFF\x4E\x34\xD8\x1E\xDD\x00\x00x\0y"s, false), "仿𝄞");
  EXPECT_EQ(Utf16BytesToUtf8("\x4E\xFF\x00"s, true), "仿");
  EXPECT_EQ(LegacyTagText("\xD6\xD0\xCE\xC4"), "中文");
  EXPECT_EQ(LegacyTagText("Bj\xC3\xB6rk\0x"s), "Björk");
  EXPECT_EQ(LegacyTagText("Caf\xE9"), "Café");
  EXPECT_EQ(Utf8TagText("\xEF\xBB\xBF"
                        "AB"),
            "AB");
  EXPECT_EQ(ExtractPicture("0123456789\x89PNGdata", "png"), "\x89PNGdata");
  EXPECT_EQ(ExtractPicture("xxBMP", "BMP"), "BMP");
  EXPECT_EQ(ExtractPicture("no jpeg", "JPE"), "no jpeg");
  EXPECT_EQ(ExtractPicture("xxGIF89", "gif"), "GIF89");
  EXPECT_EQ(ReverseBytes("\x01\x02\x03"), "\x03\x02\x01");
  EXPECT_EQ(JoinBytes({"ab", "", "c"}), "abc");
  const std::pair<int, const char*> genres[] = {{0, "Blues"},
                                                {17, "Rock"},
                                                {67, "Phychedelic"},
                                                {90, "Avantegarde"},
                                                {117, "power Ballad"},
                                                {131, "indie"},
                                                {140, "Comteporary Christian"},
                                                {147, "Synth Pop"},
                                                {148, ""},
                                                {255, ""},
                                                {-1, ""}};
  for (const auto& [n, name] : genres) EXPECT_EQ(GenreName(n), name) << n;
}

}  // namespace
}  // namespace lirotag
