#pragma once

// The public lyrics service LRCLIB (lrclib.net and its mirrors): what it holds and
// answers, and the service itself behind an interface. The service talks HTTP through
// Qt Network, which is loaded with it (liblirotag_online.so) the first time the service
// is used, not when the window or a command starts. No widgets: the command line and
// the window share it. Every call answers once, through its callback, on the thread
// that made it.

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUrl>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <string>

namespace lirotag {

// Sent with every request, so that the service's keepers know who asks.
QString LrclibUserAgent();

// One record of the service.
struct LrclibRecord {
  qint64 id = 0;
  QString trackName, artistName, albumName;
  double duration = 0;
  bool instrumental = false;
  QString plainLyrics, syncedLyrics;
  // As the service sent it, for those who print it.
  QJsonObject json;

  bool HasSynced() const { return !syncedLyrics.isEmpty(); }
  // The synced lyric, else the plain one.
  const QString& BestLyrics() const { return HasSynced() ? syncedLyrics : plainLyrics; }
};
LrclibRecord LrclibRecordFromJson(const QJsonObject& json);
// A string field of the service's JSON; empty for anything else.
QString LrclibJsonText(const QJsonValue& value);

// A track as the service names it; the lyric fields only when publishing.
struct LrclibTrack {
  QString trackName, artistName, albumName;
  double duration = 0;  // seconds
  QString plainLyrics, syncedLyrics;
};

// What a lyric text becomes when published: the text with its time tags (empty when it
// has none) and the words alone (header lines, time tags and word tags removed).
struct LrclibLyric {
  QString synced, plain;
  int lines = 0;  // lines with words
};
LrclibLyric LrclibLyricFromText(const std::string& text);

enum class LrclibFault {
  kNone,
  kNotFound,      // the service has no such track (404 TrackNotFound)
  kNoConnection,  // no answer at all: refused, no such host, TLS failure …
  kTimeout,       // nothing for the timeout
  kHttp,          // an HTTP error without the service's own message
  kService,       // the service said why (its "message")
  kNotJson,       // an answer that is not the service's (an HTML page, a portal)
  kBadChallenge,  // a challenge this program cannot read
  kCancelled,
};

struct LrclibOutcome {
  LrclibFault fault = LrclibFault::kNone;
  int httpStatus = 0;
  QString serviceMessage;  // kService
  QString detail;          // Qt's description of a network fault
  QList<LrclibRecord> records;

  bool ok() const { return fault == LrclibFault::kNone; }
  // What went wrong in the program's own words, for the window.
  QString Message() const;
  // The same in English, one line, for the command line.
  std::string EnglishMessage() const;
};

enum class LrclibStage { kChallenge, kSolving, kSending, kDone };

// What one publication reports as it goes; `finished` comes last, once.
struct LrclibPublishReports {
  std::function<void(LrclibStage)> stage;
  // Nonces tried and the number a search takes on average.
  std::function<void(quint64 tried, double expected)> progress;
  std::function<void(const LrclibOutcome&)> finished;
};

class LrclibService {
 public:
  using Done = std::function<void(const LrclibOutcome&)>;
  static constexpr int kDefaultTimeoutMs = 10000;

  // Drops whatever is under way; no callback is called after.
  virtual ~LrclibService() = default;

  virtual QUrl Server() const = 0;
  // Without an answer for this long a request fails as kTimeout.
  virtual void SetTimeoutMs(int ms) = 0;
  // GET /api/get: the one record of these names and this length (whole seconds).
  virtual void Get(const LrclibTrack& track, Done done) = 0;
  // GET /api/search?q=: up to 20 records.
  virtual void Search(const QString& words, Done done) = 0;
  // GET /api/search by track, artist and album name (empty ones left out).
  virtual void SearchFields(const QString& track, const QString& artist, const QString& album,
                            Done done) = 0;
  // Asks for a challenge, solves it on every core, publishes.
  virtual void Publish(const LrclibTrack& track, LrclibPublishReports reports) = 0;
  // Stops the publication under way: its work on every core ends before this returns,
  // and it finishes as kCancelled.
  virtual void CancelPublish() = 0;
  // Drops every lookup and search under way; their callbacks are not called.
  virtual void AbortAll() = 0;
};

// The service at `server`, the base address ("https://lrclib.net", also when empty, or a
// mirror's). nullptr, with the reason in `why`, when the part of the program that talks
// to it cannot be loaded.
std::unique_ptr<LrclibService> ConnectLrclib(const QString& server, std::string* why);

}  // namespace lirotag
