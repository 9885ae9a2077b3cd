// The one symbol liblirotag_online.so exports, and the service it hands out: the client
// behind the interface the program knows.
#include "net/lrclib_module.h"

#include <QObject>
#include <QPointer>
#include <memory>

#include "net/lrclib_client.h"

namespace lirotag {
namespace {

class ClientService final : public LrclibService {
 public:
  explicit ClientService(const QString& server) : client_(std::make_unique<LrclibClient>(server)) {}
  ~ClientService() override {
    // Nobody is left to tell: the publication stops without a word, and the client
    // drops its requests as it goes.
    if (job_) {
      QObject::disconnect(job_, nullptr, nullptr, nullptr);
      job_->Cancel();
    }
  }

  QUrl Server() const override { return client_->Server(); }
  void SetTimeoutMs(int ms) override { client_->SetTimeoutMs(ms); }
  void Get(const LrclibTrack& track, Done done) override { client_->Get(track, std::move(done)); }
  void Search(const QString& words, Done done) override { client_->Search(words, std::move(done)); }
  void SearchFields(const QString& track, const QString& artist, const QString& album,
                    Done done) override {
    client_->SearchFields(track, artist, album, std::move(done));
  }
  void Publish(const LrclibTrack& track, LrclibPublishReports reports) override {
    LrclibPublish* job = client_->Publish(track);
    job_ = job;
    if (reports.stage) QObject::connect(job, &LrclibPublish::stageChanged, job, reports.stage);
    if (reports.progress) QObject::connect(job, &LrclibPublish::progress, job, reports.progress);
    if (reports.finished) QObject::connect(job, &LrclibPublish::finished, job, reports.finished);
  }
  void CancelPublish() override {
    if (job_) job_->Cancel();
  }
  void AbortAll() override { client_->AbortAll(); }

 private:
  std::unique_ptr<LrclibClient> client_;
  QPointer<LrclibPublish> job_;
};

LrclibService* Connect(const QString& server) {
  return new ClientService(server);
}

constexpr OnlineModule kModule = {&Connect};

}  // namespace
}  // namespace lirotag

extern "C" __attribute__((visibility("default"))) const void* lirotag_online_module(int version) {
  return version == lirotag::kOnlineModuleVersion ? &lirotag::kModule : nullptr;
}
