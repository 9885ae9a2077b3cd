#include "net/lrclib_client.h"

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

#include "lyrics/time_tags.h"
#include "lyrics/words.h"
#include "net/challenge.h"

#ifndef LIROTAG_VERSION
#define LIROTAG_VERSION "4.1"
#endif

namespace lirotag {

namespace {

// Where the program comes from, as its application id (io.github.lirotag) names it.
constexpr char kProjectAddress[] = "https://lirotag.github.io";

QString Text(const QJsonValue& v) {
  return v.isString() ? v.toString() : QString();
}

// A line whose first tag starts with a letter or "#" ([ti:], [offset:], [id:] …) is a
// header, never words.
bool IsHeaderLine(std::string_view line) {
  return line.size() > 1 && line[0] == '[' &&
         (std::isalpha(static_cast<unsigned char>(line[1])) || line[1] == '#');
}

bool HasTimeTag(std::string_view line) {
  if (IsHeaderLine(line) || line.empty() || line[0] != '[') return false;
  const std::vector<std::string> tags = TagList(line);
  return !tags.empty() && !tags[0].empty() &&
         std::isdigit(static_cast<unsigned char>(tags[0][0])) && ParseTime(tags[0]) >= 0;
}

QString JoinLines(std::vector<std::string> lines) {
  while (!lines.empty() && TrimSpaces(lines.back()).empty()) lines.pop_back();
  size_t first = 0;
  while (first < lines.size() && TrimSpaces(lines[first]).empty()) ++first;
  std::string out;
  for (size_t i = first; i < lines.size(); ++i) {
    if (i > first) out += '\n';
    out += lines[i];
  }
  return QString::fromStdString(out);
}

}  // namespace

QString LrclibUserAgent() {
  return QStringLiteral("Lirotag %1 (%2)")
      .arg(QLatin1String(LIROTAG_VERSION), QLatin1String(kProjectAddress));
}

LrclibRecord LrclibRecordFromJson(const QJsonObject& json) {
  LrclibRecord r;
  r.id = static_cast<qint64>(json.value(QLatin1String("id")).toDouble());
  r.trackName = Text(json.value(QLatin1String("trackName")));
  if (r.trackName.isEmpty()) r.trackName = Text(json.value(QLatin1String("name")));
  r.artistName = Text(json.value(QLatin1String("artistName")));
  r.albumName = Text(json.value(QLatin1String("albumName")));
  r.duration = json.value(QLatin1String("duration")).toDouble();
  r.instrumental = json.value(QLatin1String("instrumental")).toBool();
  r.plainLyrics = Text(json.value(QLatin1String("plainLyrics")));
  r.syncedLyrics = Text(json.value(QLatin1String("syncedLyrics")));
  r.json = json;
  return r;
}

LrclibLyric LrclibLyricFromText(const std::string& text) {
  std::vector<std::string> lines = SplitText(NormaliseLineBreaks(text), "\r\n");
  std::vector<std::string> plain;
  bool timed = false;
  LrclibLyric out;
  for (const std::string& line : lines) {
    if (HasTimeTag(line)) timed = true;
    if (IsHeaderLine(line)) continue;
    std::string words = TrimSpaces(StripWordTags(StripTags(line)));
    if (!words.empty()) ++out.lines;
    plain.push_back(std::move(words));
  }
  // Blank lines between verses stay, but never two in a row.
  std::vector<std::string> tidy;
  for (std::string& line : plain) {
    if (line.empty() && !tidy.empty() && tidy.back().empty()) continue;
    tidy.push_back(std::move(line));
  }
  out.plain = JoinLines(tidy);
  if (timed) out.synced = JoinLines(lines);
  return out;
}

QString LrclibOutcome::Message() const {
  switch (fault) {
    case LrclibFault::kNone:
      return {};
    case LrclibFault::kNotFound:
      return QStringLiteral("歌词库里没有这首歌的歌词。");
    case LrclibFault::kNoConnection:
      return QStringLiteral("无法连接歌词服务器，请检查网络连接和设置中的服务器地址。\n（%1）")
          .arg(detail);
    case LrclibFault::kTimeout:
      return QStringLiteral("歌词服务器在 10 秒内没有回应，请稍后再试。");
    case LrclibFault::kHttp:
      return QStringLiteral("歌词服务器出错（HTTP %1），请稍后再试。").arg(httpStatus);
    case LrclibFault::kService:
      return QStringLiteral("歌词服务器拒绝了请求：%1").arg(serviceMessage);
    case LrclibFault::kNotJson:
      return QStringLiteral(
          "收到的回应不是歌词服务器的数据（可能是网页或网络登录页面），请检查网络和服务器地址。");
    case LrclibFault::kBadChallenge:
      return QStringLiteral("歌词服务器发来的验证题无法识别，无法发布。");
    case LrclibFault::kCancelled:
      return QStringLiteral("已取消。");
  }
  return {};
}

std::string LrclibOutcome::EnglishMessage() const {
  switch (fault) {
    case LrclibFault::kNone:
      return {};
    case LrclibFault::kNotFound:
      return "the lyrics service has no such track";
    case LrclibFault::kNoConnection:
      return "cannot reach the lyrics service: " + detail.toStdString();
    case LrclibFault::kTimeout:
      return "the lyrics service did not answer in time";
    case LrclibFault::kHttp:
      return "the lyrics service failed (HTTP " + std::to_string(httpStatus) + ")";
    case LrclibFault::kService:
      return "the lyrics service refused: " + serviceMessage.simplified().toStdString() +
             (httpStatus ? " (HTTP " + std::to_string(httpStatus) + ")" : "");
    case LrclibFault::kNotJson:
      return "the answer is not the lyrics service's (an HTML page?)";
    case LrclibFault::kBadChallenge:
      return "the lyrics service sent a challenge this program cannot read";
    case LrclibFault::kCancelled:
      return "cancelled";
  }
  return {};
}

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
      const QString message = Text(err.value(QLatin1String("message")));
      const QString name = Text(err.value(QLatin1String("name")));
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
  prefix_ = Text(json.value(QLatin1String("prefix"))).toStdString();
  if (prefix_.empty() ||
      !ParseChallengeTarget(Text(json.value(QLatin1String("target"))).toStdString(), &target)) {
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
