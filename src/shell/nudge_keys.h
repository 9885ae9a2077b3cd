#pragma once

#include <QObject>

#include "shell/settings.h"

class QAction;
class QWidget;

namespace lirotag {

class LyricEditor;
namespace ui {
class LyricEdit;
}

// Alt+[ and Alt+] move every time tag of the highlighted lines (word tags too) 0.1 s
// earlier or later, Ctrl+Alt+[ and Ctrl+Alt+] by 0.01 s: wherever the focus is in the
// window. In the lyric box they act on the lines of its selection (the caret's line),
// and the caret stays where it was. Each press is one undo step.
class NudgeKeys : public QObject {
  Q_OBJECT

 public:
  NudgeKeys(QWidget* window, ui::LyricEdit& box, LyricEditor& editor, const Settings& settings,
            QObject* parent = nullptr);

  void Nudge(double delta);

 signals:
  // The text changed under the marks and the sung line.
  void Nudged();

 private:
  ui::LyricEdit& box_;
  LyricEditor& editor_;
  const Settings& settings_;
};

}  // namespace lirotag
