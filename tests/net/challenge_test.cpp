// The proof of work and what a lyric text becomes when published.

#include "net/challenge.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "net/lrclib_client.h"

namespace lirotag {
namespace {

ChallengeTarget Target(const std::string& hex) {
  ChallengeTarget t{};
  EXPECT_TRUE(ParseChallengeTarget(hex, &t)) << hex;
  return t;
}

TEST(Challenge, TargetsAreSixtyFourHexDigits) {
  ChallengeTarget t{};
  EXPECT_FALSE(ParseChallengeTarget(std::string(63, 'f'), &t));
  EXPECT_FALSE(ParseChallengeTarget(std::string(65, 'f'), &t));
  EXPECT_FALSE(ParseChallengeTarget(std::string(63, 'f') + "g", &t));
  ASSERT_TRUE(ParseChallengeTarget("00FF" + std::string(60, 'a'), &t));
  EXPECT_EQ(t[0], 0x00);
  EXPECT_EQ(t[1], 0xFF);
  EXPECT_EQ(t[31], 0xAA);
  // About 2^24 tries at the service's usual target, 2^12 at an easy one.
  EXPECT_NEAR(ExpectedTries(Target("000000FF" + std::string(56, 'F'))), 16777216.0, 1e3);
  EXPECT_NEAR(ExpectedTries(Target("000" + std::string(61, 'f'))), 4096.0, 1.0);
}

TEST(Challenge, HashesComparedByteByByteAgainstTheTarget) {
  // SHA-256("abc17") = ca20…: the hash itself is "at or below", one less is not, and
  // the first byte decides over everything after it.
  const std::string exact =
      QCryptographicHash::hash("abc17", QCryptographicHash::Sha256).toHex().toStdString();
  ASSERT_EQ(exact.substr(0, 4), "ca20");
  EXPECT_TRUE(NonceSolves("abc", 17, Target(exact)));
  EXPECT_FALSE(NonceSolves("abc", 17, Target("ca1f" + std::string(60, 'f'))));
  EXPECT_TRUE(NonceSolves("abc", 17, Target("ca21" + std::string(60, '0'))));
  EXPECT_FALSE(NonceSolves("abc", 17, Target("ca" + std::string(62, '0'))));
}

TEST(Challenge, SolverOnEveryThreadFindsANonceTheServerAccepts) {
  const ChallengeTarget target = Target("000" + std::string(61, 'f'));
  for (int threads : {1, 3, 0}) {
    ChallengeSolver solver("XyZ123", target, threads);
    const std::optional<uint64_t> nonce = solver.Wait();
    ASSERT_TRUE(nonce) << threads;
    EXPECT_TRUE(NonceSolves("XyZ123", *nonce, target)) << *nonce;
    EXPECT_GT(solver.Tried(), 0u);
    EXPECT_TRUE(solver.Finished());
  }
}

TEST(Challenge, CancelStopsEveryThreadWithoutANonce) {
  // A target nothing meets: only the cancel ends the search.
  ChallengeSolver solver("p", Target(std::string(64, '0')), 2);
  while (solver.Tried() == 0) std::this_thread::yield();
  solver.Cancel();
  EXPECT_FALSE(solver.Wait());
  EXPECT_TRUE(solver.Finished());
}

TEST(PublishedText, SyncedKeepsTheTagsPlainHasTheWordsAlone) {
  struct Case {
    const char* text;
    const char* synced;
    const char* plain;
    int lines;
  };
  const Case cases[] = {
      {"[ti:歌]\r\n[ar:人]\r\n[00:01.00]第一行\r\n[00:02.50][01:00.00]第二行\r\n\r\n"
       "[00:03.00]<00:03.00>逐<00:03.40>字\r\n",
       "[ti:歌]\n[ar:人]\n[00:01.00]第一行\n[00:02.50][01:00.00]第二行\n\n"
       "[00:03.00]<00:03.00>逐<00:03.40>字",
       "第一行\n第二行\n\n逐字", 3},
      // Without a time tag: plain only.
      {"只有字\r\n没有时间\r\n", "", "只有字\n没有时间", 2},
      {"[offset:500]\r\n\r\n\r\nLine\r\n", "", "Line", 1},
      {"", "", "", 0},
  };
  for (const Case& c : cases) {
    const LrclibLyric lyric = LrclibLyricFromText(c.text);
    EXPECT_EQ(lyric.synced.toStdString(), c.synced) << c.text;
    EXPECT_EQ(lyric.plain.toStdString(), c.plain) << c.text;
    EXPECT_EQ(lyric.lines, c.lines) << c.text;
  }
}

}  // namespace
}  // namespace lirotag
