#pragma once

// LRCLIB over HTTP with Qt Network: looking a song up, searching, and publishing a lyric
// with the proof of work it asks for. Part of the online module (liblirotag_online.so);
// the program itself reaches it through LrclibService.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "net/lrclib.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace lirotag {

class ChallengeSolver;

class LrclibPublish;

class LrclibClient : public QObject {
  Q_OBJECT

 public:
  using Done = LrclibService::Done;

  // `server`: the base address, "https://lrclib.net" (also when empty) or a mirror's.
  explicit LrclibClient(const QString& server, QObject* parent = nullptr);
  ~LrclibClient() override;

  // Without an answer for this long a request fails as kTimeout.
  void SetTimeoutMs(int ms) { timeout_ms_ = ms; }
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
  int timeout_ms_ = LrclibService::kDefaultTimeoutMs;
  QNetworkAccessManager* net_ = nullptr;
};

// One publication under way: challenge, work, publish.
class LrclibPublish : public QObject {
  Q_OBJECT

 public:
  using Stage = LrclibStage;
  ~LrclibPublish() override;

  Stage CurrentStage() const { return stage_; }
  // Stops whatever runs; `finished` follows with kCancelled.
  void Cancel();

 signals:
  void stageChanged(lirotag::LrclibStage stage);
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
