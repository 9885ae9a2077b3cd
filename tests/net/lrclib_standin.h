#pragma once

// A stand-in for the lyrics service on 127.0.0.1, answering its HTTP API as it does:
// /api/get (names compared after normalising, length within ±2 s), /api/get/ID,
// /api/search, /api/request-challenge and /api/publish with the proof of work checked.
// The first part of the path picks a fault instead: /html/… answers an HTML page,
// /fail500/… HTTP 500, /busy/… a 429 with the service's own message, /hang/… never
// answers. Requests without Lirotag's User-Agent
// are refused with 400.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTcpServer>

namespace lirotag::testing {

class LrclibStandIn : public QTcpServer {
  Q_OBJECT

 public:
  // `target`: the challenge's 64 hex digits; by default an easy one (4096 tries on average).
  explicit LrclibStandIn(QByteArray target = QByteArray(3, '0') + QByteArray(61, 'f'),
                         QObject* parent = nullptr);
  // Listens on a free port of 127.0.0.1.
  bool Start();
  QString Url() const;

  // Adds a record (id given here) and returns it as the service would send it.
  QJsonObject Add(const QString& track, const QString& artist, const QString& album,
                  double duration, const QString& plain, const QString& synced);
  // The records as they stand, published ones included.
  const QList<QJsonObject>& Records() const { return records_; }
  int PublishCount() const { return published_; }
  int ChallengesIssued() const { return static_cast<int>(challenges_.size()); }
  // The records every stand-in starts with: Chinese, accented and plain-only names.
  void AddKnownTracks();

 private:
  struct Answer {
    int status = 200;
    QByteArray type = "application/json";
    QByteArray body;
  };
  void Serve(QTcpSocket* socket);
  Answer Route(const QByteArray& method, const QByteArray& target,
               const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body);
  Answer Publish(const QByteArray& token, const QByteArray& body);

  QByteArray target_;
  QList<QJsonObject> records_;
  QList<QByteArray> challenges_;
  QList<QByteArray> used_;
  int published_ = 0;
};

}  // namespace lirotag::testing
