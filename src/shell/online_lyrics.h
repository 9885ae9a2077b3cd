#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "net/lrclib.h"

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace lirotag {

class LyricEditor;
class Transport;
namespace ui {
class LyricEdit;
}

// The song as the lyrics service knows it: names from its tags, else from the lyric's
// [ti:] [ar:] [al:]; its length (0 without a song).
struct OnlineSong {
  QString title, artist, album;
  double length = 0;
  bool lengthExact = false;
};

// "在线查找歌词": the matches of the search words, with a preview; `chosen` when the user
// picks one with lyrics.
class LyricSearchDialog : public QDialog {
  Q_OBJECT

 public:
  // Closing the dialog drops what is under way.
  LyricSearchDialog(std::unique_ptr<LrclibService> service, const OnlineSong& song,
                    QWidget* parent);
  void Search();

 signals:
  void chosen(const lirotag::LrclibRecord& record);

 private:
  // Both answers are in: the search's and the exact lookup's.
  void ShowOutcome();
  void ShowPreview();
  void Choose();

  std::unique_ptr<LrclibService> service_;
  OnlineSong song_;
  QLineEdit* title_ = nullptr;
  QLineEdit* artist_ = nullptr;
  QPushButton* search_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QPlainTextEdit* preview_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* load_ = nullptr;
  QList<LrclibRecord> records_;
  int pending_ = 0;
  LrclibOutcome search_outcome_;
  QList<LrclibRecord> exact_;
};

// "发布歌词": what will be sent, for confirmation; then the work and the answer.
class PublishDialog : public QDialog {
  Q_OBJECT

 public:
  PublishDialog(std::unique_ptr<LrclibService> service, LrclibTrack track, int lineCount,
                QWidget* parent);

 private:
  void Start();
  void OnFinished(const LrclibOutcome& outcome);
  void OnStage(LrclibStage stage);
  void OnProgress(quint64 tried, double expected);
  void reject() override;

  std::unique_ptr<LrclibService> service_;
  LrclibTrack track_;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* publish_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool publishing_ = false;
};

// The online lyrics service in the window: the two commands, in the lyric box's menu
// and the window's, with their keys (Alt+O, Alt+U).
class OnlineLyrics : public QObject {
  Q_OBJECT

 public:
  struct Services {
    FileSystem* fs = nullptr;
    std::string configPath;
    AudioEngine* engine = nullptr;
    Player* player = nullptr;
  };
  struct Controls {
    QWidget* window = nullptr;
    ui::LyricEdit* box = nullptr;
    Transport* transport = nullptr;
    LyricEditor* editor = nullptr;
  };

  OnlineLyrics(Services services, Controls controls, QObject* parent = nullptr);

  QAction* FindAction() const { return find_; }
  QAction* PublishAction() const { return publish_; }
  void Find();
  void Publish();
  OnlineSong CurrentSong() const;
  // Whether replacing the box's text loses something the user has not saved; the one
  // place that decides it, so that a finer record of unsaved changes can take over.
  bool BoxHoldsUnsavedText() const;
  // For tests that cannot wait the ten seconds of a real timeout.
  void SetTimeoutMs(int ms) { timeout_ms_ = ms; }

 private:
  // nullptr, after telling the user why, when the service cannot be reached at all.
  std::unique_ptr<LrclibService> NewService() const;
  void Load(const LrclibRecord& record, QDialog* dialog);

  Services s_;
  Controls c_;
  QAction* find_ = nullptr;
  QAction* publish_ = nullptr;
  int timeout_ms_ = LrclibService::kDefaultTimeoutMs;
};

}  // namespace lirotag
