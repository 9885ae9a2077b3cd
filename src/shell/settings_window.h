#pragma once

#include <QWidget>
#include <functional>

#include "audio/audio_engine.h"
#include "shell/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace lirotag {

class LyricEditor;
class Player;
namespace ui {
class LyricEdit;
}

// The modeless window "设置": every change goes into `Settings` at once; the colours
// repaint the lyric box at once.
class SettingsWindow : public QWidget {
  Q_OBJECT

 public:
  SettingsWindow(QWidget* owner, Settings& settings, ui::LyricEdit& box, LyricEditor& editor);

  // The text "哪些字段可用？" shows; folders are written with `separator`, as in the
  // pattern the user has chosen.
  static QString PlaceholderHelp(QChar separator = QLatin1Char('\\'));
  // What "校准…" plays the clicks with (and the song it pauses); without it the button
  // is disabled.
  // `engineReady` waits until the engine can play (it is set up in the background at
  // start) and tells whether it can.
  void SetAudio(AudioEngine* engine, Player* player, std::function<bool()> engineReady);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void Fill();
  void SetFastMode(bool fast);
  void SetAutomatic(bool automatic);
  void OnThreeDecimalsClicked(bool checked);
  void ChooseColour(QPushButton* picker, int32_t* setting);
  void ShowColour(QPushButton* picker, int32_t colorRef);
  // The placeholders, in a box that stays until the user closes it.
  void ShowPlaceholderHelp();
  void Calibrate();

  Settings& settings_;
  ui::LyricEdit& box_;
  LyricEditor& editor_;
  QRadioButton* full_ = nullptr;
  QRadioButton* fast_ = nullptr;
  QLabel* maker_label_ = nullptr;
  QLineEdit* maker_ = nullptr;
  QCheckBox* auto_add_ = nullptr;
  QRadioButton* ask_ = nullptr;
  QRadioButton* automatic_ = nullptr;
  QLabel* help_ = nullptr;
  QComboBox* path_ = nullptr;
  QComboBox* encoding_ = nullptr;
  QPushButton* background_ = nullptr;
  QPushButton* normal_ = nullptr;
  QPushButton* highlight_ = nullptr;
  QComboBox* language_ = nullptr;
  QCheckBox* ask_on_exit_ = nullptr;
  QCheckBox* three_ = nullptr;
  QSpinBox* delay_ = nullptr;
  QPushButton* calibrate_ = nullptr;
  AudioEngine* engine_ = nullptr;
  Player* player_ = nullptr;
  std::function<bool()> engine_ready_;
};

}  // namespace lirotag
