#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "audio/peaks.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "lyrics/tag_index.h"
#include "shell/background_work.h"
#include "shell/settings.h"

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace lirotag {

class LyricEditor;
struct Settings;
class Transport;
namespace ui {
class LyricEdit;
class WaveformStrip;
}  // namespace ui

// The aids to timing: slowed playback with the pitch kept, the waveform strip, and the
// mark of the line being sung. Every time they show or stamp is song time.
class TimingAids : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMinSpeedPercent = 50;
  static constexpr int kStepPercent = 5;
  static constexpr int kStripHeight = 64;

  struct Controls {
    QWidget* window = nullptr;
    ui::LyricEdit* box = nullptr;
    QLabel* currentTime = nullptr;
    Transport* transport = nullptr;
    LyricEditor* editor = nullptr;
    // For the decimals of a time set by dragging a mark.
    const Settings* settings = nullptr;
  };

  // `relayout` places the strip and the box again when the strip shows or hides.
  TimingAids(Player& player, ConfigFile& config, Controls controls, std::function<void()> relayout,
             QObject* parent = nullptr);
  ~TimingAids() override;

  // The 100 ms tick, after the transport's.
  void Tick();

  int SpeedPercent() const { return speed_percent_; }
  void SetSpeedPercent(int percent);
  void SetStripVisible(bool visible);
  bool StripVisible() const;
  // Nothing shown here fills in by itself any more: no strip, or its song's peaks done.
  bool Settled() const;
  int StripHeight() const { return StripVisible() ? kStripHeight : 0; }
  ui::WaveformStrip* Strip() const { return strip_; }
  // "播放速度" and "显示波形", for the window's background menu.
  QMenu* SpeedMenu() const { return speed_menu_; }
  QAction* StripAction() const { return strip_action_; }
  const TagIndex& Tags() const { return tags_; }
  // The word tags' marks on the strip too (in word mode).
  void ShowWordMarks(bool on);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void ShowSong();
  // Hands the strip the columns of peaks_ (nothing while it is null).
  void ShowPeaks();
  void MarkSungWord(int line, double position);
  void HandMarksOver(int sung);
  void OnMarkMoved(int line, double from, double to);

  Player& player_;
  ConfigFile& config_;
  Controls c_;
  std::function<void()> relayout_;
  ui::WaveformStrip* strip_ = nullptr;
  QMenu* speed_menu_ = nullptr;
  QAction* strip_action_ = nullptr;
  int speed_percent_ = 100;
  TagIndex tags_;
  struct MarkState {
    int first = -2, last = -2, sung = -2;  // never a real state: nothing handed over yet
    unsigned colour = 0;
    bool words = false;
    bool operator==(const MarkState&) const = default;
  };
  MarkState marked_;
  bool tags_stale_ = true;
  bool word_marks_ = false;
  std::string peaks_song_;
  std::shared_ptr<PeakTable> peaks_;
  // Last: goes first, waiting for a waveform still being opened.
  BackgroundWork peaks_work_{this};
};

}  // namespace lirotag
