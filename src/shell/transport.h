#pragma once

#include <QObject>
#include <string>

#include "audio/player.h"
#include "shell/settings.h"

class QLabel;
class QPushButton;
class QSlider;
class QWidget;

namespace lirotag {

// The window's fixed title; the caption is this, or this + " - " + the open song.
inline constexpr char kProgramTitle[] = "Lirotag 4.1";

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

  void SetSongFilter(std::string filter) { song_filter_ = std::move(filter); }
  const std::string& SongFilter() const { return song_filter_; }
  const std::string& SongPath() const { return song_path_; }
  // Whether the open song's tags have been read since it was opened; the tag reader
  // sets it, opening a song clears it.
  bool SongTagsRead() const { return song_tags_read_; }
  void SetSongTagsRead(bool read) { song_tags_read_ = read; }
  // True while the user holds the progress slider's thumb.
  bool Dragging() const { return dragging_; }

  void ChooseSong();
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
  bool song_tags_read_ = false;
  bool dragging_ = false;
  double shown_length_ = 0;
};

}  // namespace lirotag
