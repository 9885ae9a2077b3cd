#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <vector>

#include "audio/audio_engine.h"
#include "lyrics/stamp_timing.h"

class QLabel;
class QPushButton;
class QTimer;

namespace lirotag {

class Player;

// "校准按键延迟": plays a click track made in code and takes the time of every Space
// pressed to it, from the clicks' own channel, so it is exact on any output (the silent
// one too) and needs no song. It shows the median delay and its spread and offers it
// as the setting ("使用此值" accepts the dialog; Chosen() then holds it). A song that
// plays is paused first.
class CalibrationDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClicks = 12;
  static constexpr double kBeatsPerMinute = 90;
  static constexpr double kLeadInSeconds = 1.5;
  // How long after the clicks Space is still taken as a late press.
  static constexpr int kGraceMs = 1500;

  CalibrationDialog(QWidget* parent, AudioEngine& engine, Player* player);
  ~CalibrationDialog() override;

  void Start();
  bool Running() const { return channel_ != 0; }
  const ClickTrack& Track() const { return track_; }
  // The measured delay in milliseconds, once "使用此值" was chosen.
  int Chosen() const { return chosen_; }
  const DelayMeasurement& Measurement() const { return measurement_; }
  // Where the clicks are, in seconds of the track (0 when they do not play).
  double Position() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  void Poll();
  void Finish();
  void StopTrack();

  AudioEngine& engine_;
  Player* player_;
  ClickTrack track_;
  AudioHandle channel_ = 0;
  std::vector<double> presses_;
  DelayMeasurement measurement_;
  int chosen_ = 0;
  QElapsedTimer ended_;
  QTimer* poll_ = nullptr;
  QLabel* progress_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* use_ = nullptr;
};

}  // namespace lirotag
