#pragma once

#include <QObject>
#include <functional>

#include "audio/player.h"
#include "lyrics/edit_commands.h"
#include "shell/settings.h"

class QAction;
class QPushButton;

namespace lirotag {

namespace ui {
class LyricEdit;
}

// The editing buttons of the main window ("对选中部分" and "对全部"): each runs its
// command on the lyric box, stamping the Player's time. The box's focus events move the
// highlighted range.
class Editing : public QObject {
  Q_OBJECT

 public:
  struct Controls {
    QPushButton* deleteTag = nullptr;
    QPushButton* replaceTag = nullptr;
    QPushButton* addTag = nullptr;
    QPushButton* splitTags = nullptr;
    QPushButton* sortTags = nullptr;
    QPushButton* jump = nullptr;
    QPushButton* offset = nullptr;
    QPushButton* blank = nullptr;
    QPushButton* fold = nullptr;
  };

  Editing(Player& player, const Settings& settings, ui::LyricEdit& box, Controls controls,
          QObject* parent = nullptr);

  LyricEditor& editor() { return editor_; }

  // Word mode: Alt+A stamps the highlighted line's next word, Alt+D takes the last word
  // stamp back, Alt+R starts the line again. The other buttons work as ever.
  bool WordMode() const { return word_mode_; }
  void SetWordMode(bool on);
  // "逐字模式", checkable, Alt+W; in the lyric box's menu too.
  QAction* WordModeAction() const { return word_mode_action_; }

 signals:
  void WordModeChanged(bool on);

 private:
  // The common start of every command, then the command.
  void Run(QPushButton* own, const std::function<void()>& command);
  void Jump();

  Player& player_;
  const Settings& settings_;
  ui::LyricEdit& box_;
  Controls c_;
  LyricEditor editor_;
  bool word_mode_ = false;
  QAction* word_mode_action_ = nullptr;
};

}  // namespace lirotag
