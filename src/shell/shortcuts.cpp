#include "shell/shortcuts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "lyrics/editing.h"
#include "ui/lyric_edit.h"

namespace lirotag {

Shortcuts::Shortcuts(Targets targets, QObject* parent) : QObject(parent), t_(targets) {
  qApp->installEventFilter(this);
}

bool Shortcuts::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  // Another window in front (settings, a message) or an open menu gets its keys.
  if (QApplication::activeWindow() != t_.window || QApplication::activePopupWidget()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  return HandleKey(key->key(), key->modifiers() & Qt::AltModifier,
                   key->modifiers() & Qt::ControlModifier, key->modifiers() & Qt::ShiftModifier);
}

void Shortcuts::UndoRedo(bool redo) {
  if (redo) {
    t_.box->redo();
  } else {
    t_.box->undo();
  }
  if (!t_.box->hasFocus()) t_.editor->RangeFromSelection();
}

bool Shortcuts::HandleKey(int key, bool alt, bool ctrl, bool shift) {
  // Not left to the box alone: a stamp leaves the focus on its button.
  if (ctrl && !alt && (key == Qt::Key_Z || key == Qt::Key_Y)) {
    UndoRedo(key == Qt::Key_Y || shift);
    return true;
  }
  bool consumed = false;
  // With Ctrl and Alt both held, Up and Down both move the line and scroll.
  if (alt && !t_.box->hasFocus() && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    if (key == Qt::Key_Up) {
      t_.editor->MoveHighlightUp();
    } else {
      t_.editor->MoveHighlightDown();
    }
    consumed = true;
  }
  if (ctrl && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    t_.box->ScrollLines(key == Qt::Key_Up ? -1 : 1);
    consumed = true;
  }
  if (alt && key == Qt::Key_E) {
    if (t_.box->hasFocus()) {
      t_.addTag->setFocus(Qt::ShortcutFocusReason);
    } else {
      t_.box->setFocus(Qt::ShortcutFocusReason);
    }
    consumed = true;
  } else if (alt && key == Qt::Key_Left) {
    double to = t_.player->PositionSeconds() - kSeekStepSeconds;
    if (to < -0.0000001) to = 0;
    t_.player->SeekSeconds(to);
    consumed = true;
  } else if (alt && key == Qt::Key_Right) {
    const double to = t_.player->PositionSeconds() + kSeekStepSeconds;
    t_.player->SeekSeconds(std::min(to, t_.player->LengthSeconds()));
    consumed = true;
  }
  return consumed;
}

}  // namespace lirotag
