#include <gtest/gtest.h>

#include "fake_lyric_box.h"

namespace lirotag {
namespace {

TEST(GetLyricText, JoinsLinesWithCrLfAndDropsStrayBreaks) {
  struct Case {
    std::vector<std::string> lines;
    std::string expected;
  } cases[] = {
      {{""}, ""},
      {{"a"}, "a"},
      {{"a", "b"}, "a\r\nb"},
      {{"a", ""}, "a\r\n"},
      {{"", "", ""}, "\r\n\r\n"},
      {{"x\ry", "z\n"}, "xy\r\nz"},
      {{"[00:01.00]你好", "仿"}, "[00:01.00]你好\r\n仿"},
  };
  for (const Case& c : cases) {
    testing::FakeLyricBox box(c.lines);
    EXPECT_EQ(GetLyricText(box), c.expected);
  }
}

}  // namespace
}  // namespace lirotag
