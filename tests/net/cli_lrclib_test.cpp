// lirotag-cli lrclib as a script runs it, against the stand-in service started here.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "files/lyric_file.h"

namespace lirotag {
namespace {

struct CliRun {
  int rc = -1;
  QByteArray out, err;
};

class CliLrclibTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    standin_ = new QProcess;
    standin_->start(QStringLiteral(LIROTAG_STANDIN), {});
    ASSERT_TRUE(standin_->waitForReadyRead(10000));
    url_ = QString::fromLatin1(standin_->readLine().trimmed());
    ASSERT_TRUE(url_.startsWith(QLatin1String("http://127.0.0.1:")));
    dir_ = new QTemporaryDir;
    // Songs of known lengths, tagged as real tools write them (ffmpeg here).
    const auto song = [](const char* name, double seconds, const QStringList& meta) {
      QStringList args = {QStringLiteral("-v"),
                          QStringLiteral("error"),
                          QStringLiteral("-y"),
                          QStringLiteral("-f"),
                          QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          QStringLiteral("anullsrc=r=8000:cl=mono"),
                          QStringLiteral("-t"),
                          QString::number(seconds)};
      for (const QString& m : meta) args << QStringLiteral("-metadata") << m;
      args << P(name);
      QProcess ff;
      ff.start(QStringLiteral("ffmpeg"), args);
      return ff.waitForFinished(60000) && ff.exitCode() == 0;
    };
    ASSERT_TRUE(song("moon.flac", 212.6,
                     {QStringLiteral("title=月亮代表我的心"), QStringLiteral("artist=邓丽君"),
                      QStringLiteral("album=淡淡幽情")}));
    // Names compared as the service does: case and spacing aside.
    ASSERT_TRUE(song("deja.ogg", 241.4,
                     {QStringLiteral("title=déjà vu"), QStringLiteral("artist=Beyoncé "),
                      QStringLiteral("album=B'Day")}));
    ASSERT_TRUE(song("plain.flac", 100,
                     {QStringLiteral("title=Plain Song"), QStringLiteral("artist=Nobody"),
                      QStringLiteral("album=Demos")}));
    ASSERT_TRUE(song("new.flac", 61.25,
                     {QStringLiteral("title=新歌"), QStringLiteral("artist=无名氏"),
                      QStringLiteral("album=小样")}));
    ASSERT_TRUE(song("bare.wav", 30, {}));
  }
  static void TearDownTestSuite() {
    standin_->kill();
    standin_->waitForFinished();
    delete standin_;
    delete dir_;
  }
  static QString P(const char* name) { return dir_->filePath(QString::fromUtf8(name)); }

  static CliRun Cli(QStringList args) {
    QProcess p;
    p.start(QStringLiteral(LIROTAG_CLI), QStringList{QStringLiteral("lrclib")} + args);
    CliRun r;
    if (!p.waitForFinished(60000)) return r;
    r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
  }
  static CliRun Get(const char* song, const QString& server = url_) {
    return Cli({QStringLiteral("get"), QStringLiteral("--server"), server, P(song)});
  }
  // A failure is one line on standard error and exit status 2, nothing on the output.
  static void ExpectFailure(const CliRun& r, const char* says) {
    EXPECT_EQ(r.rc, 2) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains(says)) << r.err.constData();
  }

  static QProcess* standin_;
  static QString url_;
  static QTemporaryDir* dir_;
};
QProcess* CliLrclibTest::standin_ = nullptr;
QString CliLrclibTest::url_;
QTemporaryDir* CliLrclibTest::dir_ = nullptr;

TEST_F(CliLrclibTest, GetFindsTheSongByItsTagsAndLength) {
  // Chinese and accented names; lengths that round to within the service's ±2 s.
  CliRun r = Get("moon.flac");
  EXPECT_EQ(r.rc, 0) << r.err.constData();
  EXPECT_EQ(QString::fromUtf8(r.out),
            QStringLiteral("[00:12.30]你问我爱你有多深\n[00:18.05]我爱你有几分\n"));
  r = Get("deja.ogg");
  EXPECT_EQ(r.rc, 0) << r.err.constData();
  EXPECT_TRUE(r.out.startsWith("[00:01.00]Bass\n")) << r.out.constData();
  // A record with plain lyrics only gives those, to a file with --out.
  const QString out = P("plain.txt");
  r = Cli({QStringLiteral("get"), QStringLiteral("--server"), url_, QStringLiteral("--out"), out,
           P("plain.flac")});
  EXPECT_EQ(r.rc, 0) << r.err.constData();
  EXPECT_TRUE(r.out.isEmpty());
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("only words\nno times\n"));
}

TEST_F(CliLrclibTest, EveryFailureIsOneLineAndExitTwo) {
  ExpectFailure(Get("new.flac"), "has no such track");
  ExpectFailure(Get("bare.wav"), "no title or artist");
  ExpectFailure(Get("missing.flac"), "no such file");
  ExpectFailure(Get("moon.flac", url_ + QStringLiteral("/html")), "not the lyrics service's");
  ExpectFailure(Get("moon.flac", url_ + QStringLiteral("/fail500")), "HTTP 500");
  ExpectFailure(Get("moon.flac", url_ + QStringLiteral("/busy")),
                "the lyrics service refused: Slow down, please (HTTP 429)");
  // A port nothing listens on: the stand-in's own, from a server that has gone.
  QProcess gone;
  gone.start(QStringLiteral(LIROTAG_STANDIN), {});
  ASSERT_TRUE(gone.waitForReadyRead(10000));
  const QString goneUrl = QString::fromLatin1(gone.readLine().trimmed());
  gone.kill();
  gone.waitForFinished();
  ExpectFailure(Get("moon.flac", goneUrl), "cannot reach the lyrics service");
  ExpectFailure(
      Cli({QStringLiteral("search"), QStringLiteral("--server"), goneUrl, QStringLiteral("x")}),
      "cannot reach the lyrics service");
  ExpectFailure(Cli({QStringLiteral("get")}), "get needs one song");
  ExpectFailure(Cli({QStringLiteral("fetch")}), "unknown lrclib command");
}

TEST_F(CliLrclibTest, SearchPrintsTheServicesRecordsOnePerLine) {
  const CliRun r = Cli({QStringLiteral("search"), QStringLiteral("--server"), url_,
                        QStringLiteral("beyoncé"), QStringLiteral("DÉJÀ")});
  ASSERT_EQ(r.rc, 0) << r.err.constData();
  const QList<QByteArray> lines = r.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 1) << r.out.constData();
  const QJsonObject record = QJsonDocument::fromJson(lines[0]).object();
  EXPECT_EQ(record[QLatin1String("trackName")].toString(), QStringLiteral("Déjà Vu"));
  EXPECT_EQ(record[QLatin1String("id")].toInt(), 2);
  EXPECT_TRUE(record.contains(QLatin1String("syncedLyrics")));
  const CliRun none =
      Cli({QStringLiteral("search"), QStringLiteral("--server"), url_, QStringLiteral("无此歌曲")});
  EXPECT_EQ(none.rc, 0);
  EXPECT_TRUE(none.out.isEmpty());
}

TEST_F(CliLrclibTest, PublishesAGbkLyricAndReadsItBack) {
  // GBK bytes, as old editors saved; names from the song's tags, length from the song.
  const std::string text = "[ti:别的名字]\r\n[00:01.00]第一句\r\n[00:05.20]第二句\r\n";
  QFile lrc(P("new.lrc"));
  ASSERT_TRUE(lrc.open(QIODevice::WriteOnly));
  lrc.write(QByteArray::fromStdString(EncodeLyricText(text, 0)));
  lrc.close();
  ASSERT_NE(EncodeLyricText(text, 0), text);  // really not UTF-8
  CliRun r = Cli(
      {QStringLiteral("publish"), QStringLiteral("--server"), url_, P("new.flac"), P("new.lrc")});
  ASSERT_EQ(r.rc, 0) << r.err.constData();
  EXPECT_TRUE(r.out.isEmpty());
  r = Get("new.flac");
  ASSERT_EQ(r.rc, 0) << r.err.constData();
  EXPECT_EQ(QString::fromUtf8(r.out),
            QStringLiteral("[ti:别的名字]\n[00:01.00]第一句\n[00:05.20]第二句\n"));
  r = Cli({QStringLiteral("search"), QStringLiteral("--server"), url_, QStringLiteral("新歌")});
  const QJsonObject record = QJsonDocument::fromJson(r.out.trimmed()).object();
  EXPECT_EQ(record[QLatin1String("plainLyrics")].toString(), QStringLiteral("第一句\n第二句"));
  EXPECT_EQ(record[QLatin1String("albumName")].toString(), QStringLiteral("小样"));
  EXPECT_NEAR(record[QLatin1String("duration")].toDouble(), 61.25, 0.01);
}

TEST_F(CliLrclibTest, AnUntaggedSongIsPublishedUnderTheLyricsNames) {
  QFile lrc(P("bare.lrc"));
  ASSERT_TRUE(lrc.open(QIODevice::WriteOnly));
  lrc.write("[ti:Canci\xc3\xb3n]\n[ar:Se\xc3\xb1or X]\n[al:Uno]\nonly words, no times\n");
  lrc.close();
  CliRun r = Cli(
      {QStringLiteral("publish"), QStringLiteral("--server"), url_, P("bare.wav"), P("bare.lrc")});
  ASSERT_EQ(r.rc, 0) << r.err.constData();
  r = Cli({QStringLiteral("search"), QStringLiteral("--server"), url_, QStringLiteral("canción")});
  const QJsonObject record = QJsonDocument::fromJson(r.out.trimmed()).object();
  EXPECT_EQ(record[QLatin1String("artistName")].toString(), QStringLiteral("Señor X"));
  EXPECT_EQ(record[QLatin1String("albumName")].toString(), QStringLiteral("Uno"));
  EXPECT_EQ(record[QLatin1String("duration")].toDouble(), 30.0);
  EXPECT_TRUE(record[QLatin1String("syncedLyrics")].isNull());  // no time tag: plain only
  EXPECT_EQ(record[QLatin1String("plainLyrics")].toString(),
            QStringLiteral("only words, no times"));
  // Without names anywhere, nothing is sent.
  QFile nameless(P("nameless.lrc"));
  ASSERT_TRUE(nameless.open(QIODevice::WriteOnly));
  nameless.write("[00:01.00]words\n");
  nameless.close();
  ExpectFailure(Cli({QStringLiteral("publish"), QStringLiteral("--server"), url_, P("bare.wav"),
                     P("nameless.lrc")}),
                "no title or artist");
  ExpectFailure(Cli({QStringLiteral("publish"), QStringLiteral("--server"),
                     url_ + QStringLiteral("/html"), P("bare.wav"), P("bare.lrc")}),
                "not the lyrics service's");
}

}  // namespace
}  // namespace lirotag
