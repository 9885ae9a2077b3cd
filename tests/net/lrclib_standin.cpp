#include "lrclib_standin.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>
#include <cmath>

namespace lirotag::testing {

namespace {

QByteArray Json(const QJsonObject& o) {
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray Error(int code, const char* name, const char* message) {
  return Json({{"code", code}, {"name", name}, {"message", message}});
}

// As the service compares names: case and surrounding spaces ignored.
QString Normal(const QString& s) {
  return s.simplified().toCaseFolded();
}

constexpr char kHtml[] =
    "<!DOCTYPE html><html><head><title>Sign in</title></head><body>Wi-Fi login</body></html>";

}  // namespace

LrclibStandIn::LrclibStandIn(QByteArray target, QObject* parent)
    : QTcpServer(parent), target_(std::move(target)) {
  connect(this, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

bool LrclibStandIn::Start() {
  return listen(QHostAddress::LocalHost, 0);
}

QString LrclibStandIn::Url() const {
  return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

QJsonObject LrclibStandIn::Add(const QString& track, const QString& artist, const QString& album,
                               double duration, const QString& plain, const QString& synced) {
  const QJsonObject r{{"id", records_.size() + 1},
                      {"name", track},
                      {"trackName", track},
                      {"artistName", artist},
                      {"albumName", album},
                      {"duration", duration},
                      {"instrumental", plain.isEmpty() && synced.isEmpty()},
                      {"plainLyrics", plain.isEmpty() ? QJsonValue() : QJsonValue(plain)},
                      {"syncedLyrics", synced.isEmpty() ? QJsonValue() : QJsonValue(synced)}};
  records_.append(r);
  return r;
}

void LrclibStandIn::AddKnownTracks() {
  Add(QStringLiteral("月亮代表我的心"), QStringLiteral("邓丽君"), QStringLiteral("淡淡幽情"), 213,
      QStringLiteral("你问我爱你有多深\n我爱你有几分"),
      QStringLiteral("[00:12.30]你问我爱你有多深\n[00:18.05]我爱你有几分"));
  Add(QStringLiteral("Déjà Vu"), QStringLiteral("Beyoncé"), QStringLiteral("B'Day"), 240,
      QStringLiteral("Bass\nHigh hat"), QStringLiteral("[00:01.00]Bass\n[00:02.50]High hat"));
  Add(QStringLiteral("Plain Song"), QStringLiteral("Nobody"), QStringLiteral("Demos"), 100,
      QStringLiteral("only words\nno times"), QString());
}

void LrclibStandIn::Serve(QTcpSocket* socket) {
  QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
  socket->setProperty("buffer", buffer);
  const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
  if (headEnd < 0) return;
  const QList<QByteArray> headLines = buffer.left(headEnd).split('\n');
  const QList<QByteArray> requestLine = headLines.value(0).trimmed().split(' ');
  QList<QPair<QByteArray, QByteArray>> headers;
  qsizetype length = 0;
  for (qsizetype i = 1; i < headLines.size(); ++i) {
    const qsizetype colon = headLines[i].indexOf(':');
    if (colon < 0) continue;
    const QByteArray name = headLines[i].left(colon).trimmed().toLower();
    const QByteArray value = headLines[i].mid(colon + 1).trimmed();
    headers.append({name, value});
    if (name == "content-length") length = value.toLongLong();
  }
  if (buffer.size() < headEnd + 4 + length) return;  // the body is still coming
  socket->setProperty("buffer", QByteArray());
  const QByteArray body = buffer.mid(headEnd + 4, length);
  const QByteArray target = requestLine.value(1);
  if (target.startsWith("/hang/")) return;
  const Answer a = Route(requestLine.value(0), target, headers, body);
  QByteArray out = "HTTP/1.1 " + QByteArray::number(a.status) + " X\r\nContent-Type: " + a.type +
                   "\r\nContent-Length: " + QByteArray::number(a.body.size()) +
                   "\r\nConnection: close\r\n\r\n" + a.body;
  socket->write(out);
  socket->disconnectFromHost();
}

LrclibStandIn::Answer LrclibStandIn::Route(const QByteArray& method, const QByteArray& target,
                                           const QList<QPair<QByteArray, QByteArray>>& headers,
                                           const QByteArray& body) {
  QByteArray agent, token;
  for (const auto& [name, value] : headers) {
    if (name == "user-agent") agent = value;
    if (name == "x-publish-token") token = value;
  }
  if (target.startsWith("/html/")) return {200, "text/html", kHtml};
  if (target.startsWith("/fail500/")) return {500, "text/plain", "Internal Server Error"};
  if (target.startsWith("/busy/"))
    return {429, "application/json", Error(429, "TooManyRequests", "Slow down, please")};
  if (!agent.startsWith("Lirotag ")) return {400, "application/json", Error(400, "NoAgent", "")};
  const QUrl url(QString::fromLatin1(target));
  const QUrlQuery query(url);
  const QString path = url.path();
  const auto param = [&](const char* key) {
    return query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
  };
  if (method == "GET" && path == QLatin1String("/api/get")) {
    const double duration = param("duration").toDouble();
    for (const QJsonObject& r : records_) {
      if (Normal(r["trackName"].toString()) == Normal(param("track_name")) &&
          Normal(r["artistName"].toString()) == Normal(param("artist_name")) &&
          Normal(r["albumName"].toString()) == Normal(param("album_name")) &&
          std::abs(r["duration"].toDouble() - duration) <= 2)
        return {200, "application/json", Json(r)};
    }
    return {404, "application/json", Error(404, "TrackNotFound", "Failed to find specified track")};
  }
  if (method == "GET" && path.startsWith(QLatin1String("/api/get/"))) {
    const qint64 id = path.mid(9).toLongLong();
    for (const QJsonObject& r : records_) {
      if (r["id"].toInteger() == id) return {200, "application/json", Json(r)};
    }
    return {404, "application/json", Error(404, "TrackNotFound", "Failed to find specified track")};
  }
  if (method == "GET" && path == QLatin1String("/api/search")) {
    const QStringList words = Normal(param("q")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QJsonArray found;
    for (const QJsonObject& r : records_) {
      const QString all =
          Normal(r["trackName"].toString() + QLatin1Char(' ') + r["artistName"].toString() +
                 QLatin1Char(' ') + r["albumName"].toString());
      bool match = !words.isEmpty() || query.hasQueryItem(QStringLiteral("track_name"));
      for (const QString& w : words) match = match && all.contains(w);
      for (const auto& [key, field] :
           {std::pair{"track_name", "trackName"}, std::pair{"artist_name", "artistName"},
            std::pair{"album_name", "albumName"}}) {
        if (query.hasQueryItem(QLatin1String(key)))
          match = match && Normal(r[QLatin1String(field)].toString()).contains(Normal(param(key)));
      }
      if (match && found.size() < 20) found.append(r);
    }
    return {200, "application/json", QJsonDocument(found).toJson(QJsonDocument::Compact)};
  }
  if (method == "POST" && path == QLatin1String("/api/request-challenge")) {
    QByteArray prefix;
    for (int i = 0; i < 4; ++i)
      prefix += QByteArray::number(QRandomGenerator::global()->generate(), 16);
    challenges_.append(prefix);
    return {
        200, "application/json",
        Json({{"prefix", QString::fromLatin1(prefix)}, {"target", QString::fromLatin1(target_)}})};
  }
  if (method == "POST" && path == QLatin1String("/api/publish")) return Publish(token, body);
  return {404, "application/json", Error(404, "NotFound", "Not found")};
}

LrclibStandIn::Answer LrclibStandIn::Publish(const QByteArray& token, const QByteArray& body) {
  const Answer wrong{
      400, "application/json",
      Error(400, "IncorrectPublishTokenError", "The provided publish token is incorrect")};
  const qsizetype colon = token.indexOf(':');
  if (colon < 0) return wrong;
  const QByteArray prefix = token.left(colon), nonce = token.mid(colon + 1);
  if (!challenges_.contains(prefix) || used_.contains(prefix)) return wrong;
  const QByteArray hash = QCryptographicHash::hash(prefix + nonce, QCryptographicHash::Sha256);
  if (hash > QByteArray::fromHex(target_)) return wrong;
  used_.append(prefix);
  const QJsonObject r = QJsonDocument::fromJson(body).object();
  if (r["trackName"].toString().isEmpty() || r["artistName"].toString().isEmpty() ||
      !r["duration"].isDouble())
    return {400, "application/json", Error(400, "ValidationError", "Missing track information")};
  Add(r["trackName"].toString(), r["artistName"].toString(), r["albumName"].toString(),
      r["duration"].toDouble(), r["plainLyrics"].toString(), r["syncedLyrics"].toString());
  ++published_;
  return {201, "application/json", {}};
}

}  // namespace lirotag::testing
