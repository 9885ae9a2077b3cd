#pragma once

#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "files/recovery_file.h"

class QLockFile;
class QWidget;

namespace lirotag {

namespace ui {
class LyricEdit;
}

// Keeps the lyric text safe between saves: a few seconds after a change, the text and the
// open song go to this window's recovery file, written atomically on a worker thread so
// that typing never waits for the disk. Saving the lyrics or closing normally removes
// the file; after a crash or a kill the next start offers it back. Each window holds a
// lock beside its own file, so two running windows never take each other's.
class Recovery : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDelayMs = 2000;

  // `songPath` tells which song is open when the text is kept.
  Recovery(std::string dir, QWidget* window, ui::LyricEdit& box,
           std::function<std::string()> songPath, QObject* parent = nullptr);
  ~Recovery() override;

  // Files left by windows that are gone: each is offered; `restore` puts an accepted one
  // back. A damaged file is set aside under another name, and the user told.
  void OfferLeftovers(const std::function<void(const RecoveryRecord&)>& restore);
  // The text is safe elsewhere (saved, or closed on purpose): the file goes.
  void Discard();
  // Writes what is pending now and waits for it (tests, and a quit that must not lose it).
  void Flush();
  std::string FilePath() const { return file_; }
  // The highlighted lines, kept with the text.
  void SetRangeSource(std::function<std::pair<int, int>()> range) { range_ = std::move(range); }

 private:
  void Keep();
  void WorkerLoop();

  std::string dir_;
  QWidget* window_;
  ui::LyricEdit& box_;
  std::function<std::string()> song_path_;
  std::function<std::pair<int, int>()> range_;
  std::string file_;
  std::unique_ptr<QLockFile> lock_;
  QTimer timer_;

  std::mutex mu_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::optional<RecoveryRecord> pending_;
  bool writing_ = false;
  bool quit_ = false;
  std::thread worker_;
};

}  // namespace lirotag
