#include "net/lrclib_client.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>
#include <cmath>

#include "net/challenge.h"

namespace lirotag {

LrclibClient::LrclibClient(const QString& server, QObject* parent)
    : QObject(parent), net_(new QNetworkAccessManager(this)) {
  QString base = server.trimmed();
  while (base.endsWith(QLatin1Char('/'))) base.chop(1);
  server_ = QUrl(base.isEmpty() ? QStringLiteral("https://lrclib.net") : base);
  // The desktop's proxy for the service; never for a server on this machine.
  QNetworkProxyFactory::setUseSystemConfiguration(true);
  const QHostAddress host(server_.host());
  if (server_.host() == QLatin1String("localhost") || host.isLoopback())
    net_->setProxy(QNetworkProxy::NoProxy);
}

LrclibClient::~LrclibClient() {
  AbortAll();
}

void LrclibClient::AbortAll() {
  for (QNetworkReply* reply : net_->findChildren<QNetworkReply*>()) {
    reply->setProperty("lirotag_dropped", true);
    reply->abort();
  }
}

QNetworkReply* LrclibClient::Send(
    const QString& method, const QString& path, const QUrlQuery* query, const QByteArray& body,
    const QByteArray& token, Expect expect,
    std::function<void(const LrclibOutcome&, const QJsonObject&)> done) {
  QUrl url = server_;
  url.setPath(url.path() + path);
  if (query) url.setQuery(*query);
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, LrclibUserAgent());
  request.setRawHeader("Accept", "application/json");
  request.setTransferTimeout(timeout_ms_);
  if (!token.isEmpty()) request.setRawHeader("X-Publish-Token", token);
  QNetworkReply* reply;
  if (method == QLatin1String("POST")) {
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    reply = net_->post(request, body);
  } else {
    reply = net_->get(request);
  }
  connect(reply, &QNetworkReply::finished, this, [reply, expect, done = std::move(done)] {
    reply->deleteLater();
    if (reply->property("lirotag_dropped").toBool()) return;
    LrclibOutcome out;
    QJsonObject object;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
      // No HTTP answer at all.
      const auto error = reply->error();
      if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        out.fault = LrclibFault::kTimeout;
      } else {
        out.fault = LrclibFault::kNoConnection;
        out.detail = reply->errorString();
      }
      done(out, object);
      return;
    }
    out.httpStatus = status.toInt();
    const QByteArray bytes = reply->readAll();
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    const bool json = parseError.error == QJsonParseError::NoError;
    if (out.httpStatus >= 400) {
      const QJsonObject err = doc.object();
      const QString message = LrclibJsonText(err.value(QLatin1String("message")));
      const QString name = LrclibJsonText(err.value(QLatin1String("name")));
      if (out.httpStatus == 404 && expect == Expect::kRecord && json &&
          (name == QLatin1String("TrackNotFound") || message.isEmpty())) {
        out.fault = LrclibFault::kNotFound;
      } else if (json && !message.isEmpty()) {
        out.fault = LrclibFault::kService;
        out.serviceMessage = message;
      } else {
        out.fault = LrclibFault::kHttp;
      }
    } else if (expect == Expect::kCreated) {
      // Only the service's own "created" counts: a portal's 200 page is no publication.
      if (out.httpStatus != 201) out.fault = json ? LrclibFault::kHttp : LrclibFault::kNotJson;
    } else if (!json) {
      out.fault = LrclibFault::kNotJson;
    } else if (expect == Expect::kRecords) {
      if (!doc.isArray()) {
        out.fault = LrclibFault::kNotJson;
      } else {
        for (const QJsonValue& v : doc.array()) {
          if (v.isObject()) out.records.append(LrclibRecordFromJson(v.toObject()));
        }
      }
    } else if (!doc.isObject()) {
      out.fault = LrclibFault::kNotJson;
    } else {
      object = doc.object();
      if (expect == Expect::kRecord) out.records.append(LrclibRecordFromJson(object));
    }
    done(out, object);
  });
  return reply;
}

void LrclibClient::Get(const LrclibTrack& track, Done done) {
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("track_name"), track.trackName);
  query.addQueryItem(QStringLiteral("artist_name"), track.artistName);
  query.addQueryItem(QStringLiteral("album_name"), track.albumName);
  query.addQueryItem(QStringLiteral("duration"),
                     QString::number(static_cast<long long>(std::llround(track.duration))));
  Send(QStringLiteral("GET"), QStringLiteral("/api/get"), &query, {}, {}, Expect::kRecord,
       [done = std::move(done)](const LrclibOutcome& out, const QJsonObject&) { done(out); });
}

void LrclibClient::Search(const QString& words, Done done) {
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("q"), words);
  Send(QStringLiteral("GET"), QStringLiteral("/api/search"), &query, {}, {}, Expect::kRecords,
       [done = std::move(done)](const LrclibOutcome& out, const QJsonObject&) { done(out); });
}

void LrclibClient::SearchFields(const QString& track, const QString& artist, const QString& album,
                                Done done) {
  QUrlQuery query;
  if (!track.isEmpty()) query.addQueryItem(QStringLiteral("track_name"), track);
  if (!artist.isEmpty()) query.addQueryItem(QStringLiteral("artist_name"), artist);
  if (!album.isEmpty()) query.addQueryItem(QStringLiteral("album_name"), album);
  Send(QStringLiteral("GET"), QStringLiteral("/api/search"), &query, {}, {}, Expect::kRecords,
       [done = std::move(done)](const LrclibOutcome& out, const QJsonObject&) { done(out); });
}

LrclibPublish* LrclibClient::Publish(const LrclibTrack& track) {
  auto* job = new LrclibPublish(this, track);
  // After the caller has connected to it.
  QTimer::singleShot(0, job, &LrclibPublish::Start);
  return job;
}

LrclibPublish::LrclibPublish(LrclibClient* client, LrclibTrack track)
    : QObject(client), client_(client), track_(std::move(track)) {
  poll_ = new QTimer(this);
  poll_->setInterval(100);
  connect(poll_, &QTimer::timeout, this, &LrclibPublish::Poll);
}

LrclibPublish::~LrclibPublish() = default;

void LrclibPublish::SetStage(Stage stage) {
  stage_ = stage;
  emit stageChanged(stage);
}

void LrclibPublish::Start() {
  if (done_) return;
  SetStage(Stage::kChallenge);
  reply_ = client_->Send(
      QStringLiteral("POST"), QStringLiteral("/api/request-challenge"), nullptr, {}, {},
      LrclibClient::Expect::kChallenge,
      [this](const LrclibOutcome& out, const QJsonObject& json) { OnChallenge(out, json); });
}

void LrclibPublish::OnChallenge(const LrclibOutcome& outcome, const QJsonObject& json) {
  if (done_) return;
  if (!outcome.ok()) {
    Finish(outcome);
    return;
  }
  ChallengeTarget target;
  prefix_ = LrclibJsonText(json.value(QLatin1String("prefix"))).toStdString();
  if (prefix_.empty() ||
      !ParseChallengeTarget(LrclibJsonText(json.value(QLatin1String("target"))).toStdString(),
                            &target)) {
    LrclibOutcome bad;
    bad.fault = LrclibFault::kBadChallenge;
    Finish(bad);
    return;
  }
  expected_ = ExpectedTries(target);
  SetStage(Stage::kSolving);
  solver_ = std::make_unique<ChallengeSolver>(prefix_, target);
  emit progress(0, expected_);
  poll_->start();
}

void LrclibPublish::Poll() {
  if (!solver_ || done_) return;
  emit progress(solver_->Tried(), expected_);
  if (!solver_->Finished()) return;
  poll_->stop();
  const std::optional<uint64_t> nonce = solver_->Wait();
  solver_.reset();
  if (!nonce) return;  // cancelled: Cancel reports it
  SetStage(Stage::kSending);
  QJsonObject body{{QStringLiteral("trackName"), track_.trackName},
                   {QStringLiteral("artistName"), track_.artistName},
                   {QStringLiteral("albumName"), track_.albumName},
                   {QStringLiteral("duration"), track_.duration}};
  if (!track_.plainLyrics.isEmpty()) body.insert(QStringLiteral("plainLyrics"), track_.plainLyrics);
  if (!track_.syncedLyrics.isEmpty())
    body.insert(QStringLiteral("syncedLyrics"), track_.syncedLyrics);
  const QByteArray token = QByteArray::fromStdString(prefix_ + ":" + std::to_string(*nonce));
  reply_ = client_->Send(QStringLiteral("POST"), QStringLiteral("/api/publish"), nullptr,
                         QJsonDocument(body).toJson(QJsonDocument::Compact), token,
                         LrclibClient::Expect::kCreated,
                         [this](const LrclibOutcome& out, const QJsonObject&) { Finish(out); });
}

void LrclibPublish::Cancel() {
  if (done_) return;
  if (reply_) {
    reply_->setProperty("lirotag_dropped", true);
    reply_->abort();
  }
  poll_->stop();
  solver_.reset();  // stops and joins the threads
  LrclibOutcome out;
  out.fault = LrclibFault::kCancelled;
  Finish(out);
}

void LrclibPublish::Finish(const LrclibOutcome& outcome) {
  if (done_) return;
  done_ = true;
  poll_->stop();
  stage_ = Stage::kDone;
  emit finished(outcome);
  deleteLater();
}

}  // namespace lirotag
