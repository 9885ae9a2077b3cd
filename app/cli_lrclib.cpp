// lirotag-cli lrclib get|search|publish: the online lyrics service (LRCLIB) for scripts
// and batch work over a music folder.

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "files/lyric_file.h"
#include "lyrics/info_tags.h"
#include "lyrics/time_tags.h"
#include "net/lrclib.h"
#include "shell/settings.h"
#include "tags/read_song_tags.h"

namespace lirotag {

const char kLrclibHelp[] =
    "lrclib get [--server URL] [--out FILE] SONG\n"
    "        looks the song up on the online lyrics service by its title, artist and\n"
    "        album tags and its length in whole seconds, and writes the synced lyric\n"
    "        (else the plain one) as UTF-8 to FILE or standard output.\n"
    "lrclib search [--server URL] WORDS...\n"
    "        prints one JSON line per match, the service's record.\n"
    "lrclib publish [--server URL] SONG LYRICS\n"
    "        publishes LYRICS (read as the editor reads it) for the song: names from\n"
    "        the song's tags, else from the lyric's [ti:] [ar:] [al:], the length\n"
    "        from the song; the text with its time tags as the synced lyric and\n"
    "        without them as the plain one. Solves the service's challenge on every\n"
    "        core first.\n"
    "        --server defaults to LrclibServer in Lirotag4.ini, else https://lrclib.net.\n";

namespace {

// The settings file the editor beside this program would read.
std::string ConfiguredServer() {
  RealFileSystem fs;
  std::error_code ec;
  const auto self = std::filesystem::canonical("/proc/self/exe", ec);
  const std::string beside =
      ec ? std::string() : JoinPath(self.parent_path().string(), kConfigFileName);
  if (!beside.empty() && fs.FileExists(beside)) return ConfiguredLrclibServer(fs, beside);
  const std::string user =
      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
  return ConfiguredLrclibServer(fs, JoinPath(user, kConfigFileName));
}

// Runs the event loop until `done` has been called.
template <typename Start>
LrclibOutcome Await(Start start) {
  QEventLoop loop;
  LrclibOutcome result;
  start([&](const LrclibOutcome& out) {
    result = out;
    loop.quit();
  });
  loop.exec();
  return result;
}

struct Args {
  std::string server, out;
  std::vector<std::string> rest;
};

// Options, then the plain arguments; false (after the usage line) on a bad option.
bool ParseArgs(int argc, char** argv, bool takesOut, Args* args, int* rc) {
  bool options = true;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--server") {
      if (i + 1 >= argc) return (*rc = Usage("--server needs an address")), false;
      args->server = argv[++i];
    } else if (options && a == "--out" && takesOut) {
      if (i + 1 >= argc) return (*rc = Usage("--out needs a file name")), false;
      args->out = argv[++i];
    } else if (options && a.size() > 1 && a[0] == '-') {
      return (*rc = Usage("unknown option '" + a + "'")), false;
    } else {
      args->rest.push_back(a);
    }
  }
  if (args->server.empty()) args->server = ConfiguredServer();
  return true;
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The service, or nullptr after saying why it cannot be reached at all.
std::unique_ptr<LrclibService> Connect(const Args& args) {
  std::string why;
  std::unique_ptr<LrclibService> service = ConnectLrclib(Q(args.server), &why);
  if (!service) Fail("cannot load the online lyrics module: " + why);
  return service;
}

int Get(const Args& args) {
  if (args.rest.size() != 1) return Usage("get needs one song");
  const std::string& song = args.rest[0];
  SongTags tags;
  ReadSongTags(song, &tags, nullptr, false);
  if (TrimSpaces(tags.Title).empty() || TrimSpaces(tags.Artist).empty()) {
    if (!std::filesystem::exists(song)) return Fail("cannot open " + song + ": no such file");
    return Fail(song + " has no title or artist tag to look it up by");
  }
  double length = 0;
  std::string err;
  if (!ExactSongLength(song, &length, &err)) return Fail(err);
  std::unique_ptr<LrclibService> service = Connect(args);
  if (!service) return 2;
  const LrclibTrack track{Q(tags.Title), Q(tags.Artist), Q(tags.Album), length, {}, {}};
  const LrclibOutcome out = Await([&](auto done) { service->Get(track, done); });
  if (!out.ok()) return Fail(out.EnglishMessage());
  const LrclibRecord& record = out.records.value(0);
  QString text = record.BestLyrics();
  if (text.isEmpty())
    return Fail(record.instrumental ? "the lyrics service lists the track as instrumental"
                                    : "the lyrics service has the track without lyrics");
  if (!text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
  const std::string bytes = text.toStdString();
  if (args.out.empty()) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
      return Fail("cannot write the result");
    return 0;
  }
  RealFileSystem fs;
  if (!fs.WriteFileAtomic(args.out, bytes, &err))
    return Fail("cannot write " + args.out + ": " + err);
  return 0;
}

int Search(const Args& args) {
  if (args.rest.empty()) return Usage("search needs words to look for");
  QStringList words;
  for (const std::string& w : args.rest) words << Q(w);
  std::unique_ptr<LrclibService> service = Connect(args);
  if (!service) return 2;
  const LrclibOutcome out = Await([&](auto done) { service->Search(words.join(' '), done); });
  if (!out.ok()) return Fail(out.EnglishMessage());
  for (const LrclibRecord& r : out.records)
    std::printf("%s\n", QJsonDocument(r.json).toJson(QJsonDocument::Compact).constData());
  if (std::fflush(stdout) != 0) return Fail("cannot write the result");
  return 0;
}

int Publish(const Args& args) {
  if (args.rest.size() != 2) return Usage("publish needs a song and a lyric file");
  const std::string &song = args.rest[0], &lyricPath = args.rest[1];
  RealFileSystem fs;
  std::string bytes, err;
  if (!fs.ReadFile(lyricPath, &bytes, &err)) return Fail("cannot read " + lyricPath + ": " + err);
  const std::string text = LyricTextFromBytes(bytes);
  std::vector<std::string> lines = SplitText(text, "\r\n");
  AdditionalInfo info;
  ScanInfoTags(&lines, &info);
  SongTags tags;
  ReadSongTags(song, &tags, nullptr, false);
  const auto pick = [](const std::string& tag, const std::string& lyric) {
    const std::string t = TrimSpaces(tag);
    return Q(t.empty() ? TrimSpaces(lyric) : t);
  };
  LrclibTrack track{pick(tags.Title, info.InfoTi),
                    pick(tags.Artist, info.InfoAr),
                    pick(tags.Album, info.InfoAl),
                    0,
                    {},
                    {}};
  if (track.trackName.isEmpty() || track.artistName.isEmpty())
    return Fail("no title or artist: neither " + song + "'s tags nor " + lyricPath +
                "'s [ti:] [ar:] name them");
  const LrclibLyric lyric = LrclibLyricFromText(text);
  if (lyric.lines == 0) return Fail(lyricPath + " holds no lyric lines");
  if (!ExactSongLength(song, &track.duration, &err)) return Fail(err);
  track.plainLyrics = lyric.plain;
  track.syncedLyrics = lyric.synced;
  std::unique_ptr<LrclibService> service = Connect(args);
  if (!service) return 2;
  const LrclibOutcome out = Await([&](auto done) {
    service->Publish(track, {nullptr, nullptr, done});
  });
  if (!out.ok()) return Fail(out.EnglishMessage());
  return 0;
}

}  // namespace

int RunLrclibCommand(int argc, char** argv) {
  if (argc < 1) return Usage("lrclib needs get, search or publish");
  const std::string command = argv[0];
  if (command != "get" && command != "search" && command != "publish")
    return Usage("unknown lrclib command '" + command + "'");
  int qargc = 1;
  char name[] = "lirotag-cli";
  char* qargv[] = {name, nullptr};
  QCoreApplication app(qargc, qargv);
  QCoreApplication::setApplicationName(QStringLiteral("Lirotag"));
  Args args;
  int rc = 0;
  if (!ParseArgs(argc - 1, argv + 1, command == "get", &args, &rc)) return rc;
  if (command == "get") return Get(args);
  if (command == "search") return Search(args);
  return Publish(args);
}

}  // namespace lirotag
