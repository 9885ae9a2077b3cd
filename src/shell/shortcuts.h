#pragma once

#include <QObject>

#include "audio/player.h"

class QPushButton;
class QWidget;

namespace lirotag {

class LyricEditor;
namespace ui {
class LyricEdit;
}

// The keys that act wherever the focus is in the main window, while it is the active
// window: Alt+Up/Down move the highlighted line (not while the box is being typed in),
// Ctrl+Up/Down scroll the text, Alt+E moves the focus between the box and "加入标签",
// Alt+Left/Right seek five seconds, Ctrl+Z undoes and Ctrl+Y (Ctrl+Shift+Z) redoes the
// last command or edit. Every repeat of a held key acts; releases do not.
class Shortcuts : public QObject {
  Q_OBJECT

 public:
  struct Targets {
    QWidget* window = nullptr;
    ui::LyricEdit* box = nullptr;
    QPushButton* addTag = nullptr;
    LyricEditor* editor = nullptr;
    Player* player = nullptr;
  };

  static constexpr double kSeekStepSeconds = 5.0;

  // Watches every key press of the application while it lives.
  explicit Shortcuts(Targets targets, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool HandleKey(int key, bool alt, bool ctrl, bool shift);
  // Undo or redo in the lyric box; from outside it, the highlight goes to the line
  // the change was made on, so that the stamp taken back can be made again at once.
  void UndoRedo(bool redo);

  Targets t_;
};

}  // namespace lirotag
