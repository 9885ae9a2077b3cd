#include "lyrics/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace lirotag {
namespace {

TEST(TextTest, FullWidthToAscii) {
  EXPECT_EQ(FullWidthToAscii("！０９：．＋－ｅＺ～"), "!09:.+-eZ~");
  EXPECT_EQ(FullWidthToAscii("a\xE3\x80\x80"
                             "b"),
            "a b");
  // Neighbours of the full-width block stay.
  EXPECT_EQ(FullWidthToAscii("\xEF\xBC\x80\xEF\xBD\x9F仿中"), "\xEF\xBC\x80\xEF\xBD\x9F仿中");
  EXPECT_EQ(FullWidthToAscii("\xEF\xBC"), "\xEF\xBC");  // cut short
}

struct NumberCase {
  const char* text;
  double value;
};

class TextToNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TextToNumberTest, Reads) {
  EXPECT_DOUBLE_EQ(TextToNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToNumberTest,
    ::testing::Values(NumberCase{"", 0}, NumberCase{"42", 42}, NumberCase{"+3", 3},
                      NumberCase{" -2.5x", -2.5}, NumberCase{"\t\r\n 7", 7}, NumberCase{"2.9", 2.9},
                      NumberCase{".5", 0.5}, NumberCase{"5.", 5}, NumberCase{".", 0},
                      NumberCase{"-", 0}, NumberCase{"+-1", 0}, NumberCase{"1e3", 1000},
                      NumberCase{"1E-2", 0.01}, NumberCase{"2e+2z", 200}, NumberCase{"1e", 1},
                      NumberCase{"1e+", 1}, NumberCase{"1ex", 1}, NumberCase{"1.5.5", 1.5},
                      NumberCase{"007", 7}, NumberCase{"info", 0}, NumberCase{"inf", 0},
                      NumberCase{"nan", 0}, NumberCase{"-infinity", 0}, NumberCase{"0x1A", 0},
                      NumberCase{"abc", 0}, NumberCase{"true", 0}, NumberCase{"1,5", 1},
                      NumberCase{"１２．５", 12.5}, NumberCase{"－３", -3},
                      NumberCase{"＋４ｅ１", 40},
                      NumberCase{"\xE3\x80\x80"
                                 "8",
                                 8},
                      NumberCase{"1e-400", 0}, NumberCase{"00000000000000000000001", 1}));

TEST(TextToNumberTest, OverflowIsInfinityNeverNan) {
  EXPECT_EQ(TextToNumber("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToNumber("-1e99999999999999999999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToNumber("0.0000001e320"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToNumber("1000e-330"), 0.0);
  EXPECT_EQ(TextToNumber(std::string(400, '9')), std::numeric_limits<double>::infinity());
}

TEST(TextToNumberTest, IgnoresTheCLocale) {
  // The GUI toolkit sets the locale from the environment; a comma locale must not change
  // how "2.5" reads.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, name)) {
      switched = true;
      break;
    }
  }
  EXPECT_DOUBLE_EQ(TextToNumber("2.5"), 2.5);
  EXPECT_DOUBLE_EQ(TextToNumber("1,5"), 1.0);
  EXPECT_EQ(IntToText(-1234567), "-1234567");
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no comma locale installed";
}

TEST(TextTest, IntToText) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(16777215), "16777215");
  EXPECT_EQ(IntToText(-1), "-1");
  EXPECT_EQ(IntToText(std::numeric_limits<long long>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace lirotag
