#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "audio/player.h"
#include "lirotag_version.h"
#include "shell/background_work.h"
#include "shell/settings.h"

class QLabel;
class QPushButton;
class QSlider;
class QWidget;

namespace lirotag {

// The window's fixed title; the caption is this, or this + " - " + the open song.
inline constexpr char kProgramTitle[] = "Lirotag " LIROTAG_VERSION;

// The song controls at the top of the main window: open, play/pause, close, the
// progress and volume sliders and the two time labels, and the path of the open song.
class Transport : public QObject {
  Q_OBJECT

 public:
  struct Controls {
    QWidget* window = nullptr;
    QPushButton* open = nullptr;
    QPushButton* playPause = nullptr;
    QPushButton* close = nullptr;
    QSlider* volume = nullptr;
    QSlider* progress = nullptr;
    QLabel* currentTime = nullptr;
    QLabel* totalTime = nullptr;
  };

  Transport(Player& player, const Settings& settings, Controls controls, QObject* parent = nullptr);

  // The engine is set up (its device, the plug-ins of `pluginDir`) off the GUI thread by
  // PrepareEngine(), or by the first song opened; a song asked for earlier waits for it.
  void SetEngine(AudioEngine* engine, std::string pluginDir);
  void PrepareEngine();
  bool EngineReady() const { return engine_ready_; }
  // Prepares the engine if need be and waits for it, the window still answering; false
  // when the program closes first.
  bool WaitForEngine();
  // Waits for the work still running off the GUI thread: before the engine goes.
  void FinishWork() { work_.WaitForAll(); }

  void SetSongFilter(std::string filter) { song_filter_ = std::move(filter); }
  const std::string& SongFilter() const { return song_filter_; }
  const std::string& SongPath() const { return song_path_; }
  // True while the user holds the progress slider's thumb.
  bool Dragging() const { return dragging_; }

  void ChooseSong();
  // Opens the song off the GUI thread; meanwhile the window keeps answering, with a busy
  // cursor. True once it plays; false after the error message, or when a later open or
  // the program's end overtook it.
  bool OpenSong(const std::string& path);
  void CloseSong();
  void TogglePlay();
  void UpdatePlayButton();
  void ApplyVolume();
  void OnVolumeChanged();
  void OnProgressPressed();
  void OnProgressMoved(int position);
  void OnProgressReleased();
  // The 100 ms tick: the current-time label and the progress slider follow the song.
  void Refresh();

 signals:
  void EngineIsReady();
  // A song was opened (the same one again included): what was read from it is stale.
  void SongOpened();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The total-time label and the progress slider's range from the song's length.
  void ShowLength();

  Player& player_;
  const Settings& settings_;
  Controls c_;
  std::string song_filter_;
  std::string song_path_;
  bool dragging_ = false;
  double shown_length_ = 0;

  struct EngineGate;
  AudioEngine* engine_ = nullptr;
  std::string plugin_dir_;
  std::shared_ptr<EngineGate> gate_;
  bool preparing_ = false;
  bool engine_ready_ = false;
  int opening_ = 0;
  int open_serial_ = 0;
  // Last: goes first, waiting for the work that uses the members above.
  BackgroundWork work_{this};
};

}  // namespace lirotag
