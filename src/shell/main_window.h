#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "shell/settings.h"

class QGroupBox;
class QSlider;
class QTimer;

namespace lirotag {

namespace ui {
class LyricEdit;
}
class Editing;
class LineReplay;
class LyricFiles;
class NudgeKeys;
class OnlineLyrics;
class Shortcuts;
class Skins;
class Recovery;
class TimingAids;
class SettingsWindow;
class SongLyrics;
class Transport;
class UnsavedChanges;

// What the main window needs from outside: where its settings live, how to reach the
// disk, and the audio engine with the one Player, which outlive the window. Tests point
// these at temporary folders.
struct MainWindowEnv {
  std::string configPath;
  std::string programDir;
  // Where skins and plug-ins are; empty: "Skin" and "Plugins" beside the program.
  std::string skinDir;
  std::string pluginDir;
  // Where the recovery files are kept; empty: no recovery (tests that do not want it).
  std::string recoveryDir;
  FileSystem* fs = nullptr;
  AudioEngine* engine = nullptr;
  Player* player = nullptr;
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDesignWidth = 580;
  static constexpr int kDesignHeight = 630;

  explicit MainWindow(MainWindowEnv env, QWidget* parent = nullptr);
  ~MainWindow() override;

  Settings& settings() { return settings_; }
  const std::string& SongPath() const;
  ui::LyricEdit* lyricEdit() const { return lyric_edit_; }
  Transport* transport() const { return transport_; }
  Editing* editing() const { return editing_; }
  LyricFiles* lyricFiles() const { return lyric_files_; }
  Skins* skins() const { return skins_; }
  // The settings window once opened, else null.
  SettingsWindow* settingsWindow() const { return settings_window_; }

  // Once the window shows: offers the text a crashed run left, then opens the files the
  // program was started with (a song and a lyric file, as a drop of them would).
  void StartUp(const QStringList& files);
  Recovery* recovery() const { return recovery_; }
  TimingAids* timingAids() const { return timing_aids_; }
  OnlineLyrics* onlineLyrics() const { return online_lyrics_; }
  SongLyrics* songLyrics() const { return song_lyrics_; }
  UnsavedChanges* unsavedChanges() const { return unsaved_; }
  LineReplay* lineReplay() const { return line_replay_; }

  // Whether closing now must first ask the user.
  bool NeedsExitConfirmation() const;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void SetTooltips();
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The clock rests while nothing moves, and wakes when something may.
  void RestIfStill();
  void WakeRefresh();
  void SetupFont();
  void LayOut();
  void ShowSettings();
  void ShowShortcutHelp();
  void ShowAbout();
  void OnFilesDropped(const QStringList& paths);

  MainWindowEnv env_;
  Settings settings_;
  bool font_set_up_ = false;

  QGroupBox* play_group_ = nullptr;
  QSlider* progress_ = nullptr;
  ui::LyricEdit* lyric_edit_ = nullptr;
  QTimer* refresh_timer_ = nullptr;
  // The one writer of the configuration file.
  std::unique_ptr<ConfigFile> config_;
  Transport* transport_ = nullptr;
  bool engine_asked_ = false;
  Editing* editing_ = nullptr;
  LyricFiles* lyric_files_ = nullptr;
  Shortcuts* shortcuts_ = nullptr;
  SettingsWindow* settings_window_ = nullptr;
  Skins* skins_ = nullptr;
  Recovery* recovery_ = nullptr;
  TimingAids* timing_aids_ = nullptr;
  OnlineLyrics* online_lyrics_ = nullptr;
  SongLyrics* song_lyrics_ = nullptr;
  UnsavedChanges* unsaved_ = nullptr;
  // The user chose to close without saving: the recovery file goes with the window.
  bool gave_up_text_ = false;
  NudgeKeys* nudge_keys_ = nullptr;
  LineReplay* line_replay_ = nullptr;
  RealFileSystem own_fs_;
};

}  // namespace lirotag
