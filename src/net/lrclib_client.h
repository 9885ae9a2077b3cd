#pragma once

// The public lyrics service LRCLIB (lrclib.net and its mirrors) over HTTP: looking a
// song up, searching, and publishing a lyric with the proof of work it asks for. No
// widgets: the command line and the window share it. Every call answers once, through
// its callback, on the thread that made it.

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace lirotag {

class ChallengeSolver;

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

class LrclibPublish;

class LrclibClient : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(const LrclibOutcome&)>;
  static constexpr int kDefaultTimeoutMs = 10000;

  // `server`: the base address, "https://lrclib.net" (also when empty) or a mirror's.
  explicit LrclibClient(const QString& server, QObject* parent = nullptr);
  ~LrclibClient() override;

  // Without an answer for this long a request fails as kTimeout.
  void SetTimeoutMs(int ms) { timeout_ms_ = ms; }
  int TimeoutMs() const { return timeout_ms_; }
  QUrl Server() const { return server_; }

  // GET /api/get: the one record of these names and this length (whole seconds).
  void Get(const LrclibTrack& track, Done done);
  // GET /api/search?q=: up to 20 records.
  void Search(const QString& words, Done done);
  // GET /api/search by track, artist and album name (empty ones left out).
  void SearchFields(const QString& track, const QString& artist, const QString& album, Done done);
  // Asks for a challenge, solves it on every core, publishes. The job reports its
  // progress and ends with `finished`; it deletes itself after that.
  LrclibPublish* Publish(const LrclibTrack& track);
  // Drops every request under way; their callbacks are not called.
  void AbortAll();

 private:
  friend class LrclibPublish;
  enum class Expect { kRecord, kRecords, kChallenge, kCreated };
  QNetworkReply* Send(const QString& method, const QString& path, const QUrlQuery* query,
                      const QByteArray& body, const QByteArray& token, Expect expect,
                      std::function<void(const LrclibOutcome&, const QJsonObject&)> done);

  QUrl server_;
  int timeout_ms_ = kDefaultTimeoutMs;
  QNetworkAccessManager* net_ = nullptr;
};

// One publication under way: challenge, work, publish.
class LrclibPublish : public QObject {
  Q_OBJECT

 public:
  enum class Stage { kChallenge, kSolving, kSending, kDone };
  ~LrclibPublish() override;

  Stage CurrentStage() const { return stage_; }
  // Stops whatever runs; `finished` follows with kCancelled.
  void Cancel();

 signals:
  void stageChanged(lirotag::LrclibPublish::Stage stage);
  // Nonces tried and the number a search takes on average.
  void progress(quint64 tried, double expected);
  void finished(const lirotag::LrclibOutcome& outcome);

 private:
  friend class LrclibClient;
  LrclibPublish(LrclibClient* client, LrclibTrack track);
  void Start();
  void OnChallenge(const LrclibOutcome& outcome, const QJsonObject& json);
  void Poll();
  void Finish(const LrclibOutcome& outcome);
  void SetStage(Stage stage);

  QPointer<LrclibClient> client_;
  LrclibTrack track_;
  Stage stage_ = Stage::kChallenge;
  std::string prefix_;
  double expected_ = 0;
  std::unique_ptr<ChallengeSolver> solver_;
  QTimer* poll_ = nullptr;
  QPointer<QNetworkReply> reply_;
  bool done_ = false;
};

}  // namespace lirotag
