#include "shell/edit_buttons.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>

#include "lyrics/stamp_timing.h"
#include "ui/dialogs.h"
#include "ui/instant_mnemonic.h"
#include "ui/lyric_edit.h"

namespace lirotag {

Editing::Editing(Player& player, const Settings& settings, ui::LyricEdit& box, Controls controls,
                 QObject* parent)
    : QObject(parent), player_(player), settings_(settings), box_(box), c_(controls), editor_(box) {
  // The time heard, less the user's own reaction time.
  const LyricEditor::Clock now = [this] {
    return CompensatedTime(player_.PositionSeconds(), settings_.StampDelay);
  };
  const auto connectCommand = [this](QPushButton* button, std::function<void()> command) {
    connect(button, &QPushButton::clicked, this,
            [this, button, command = std::move(command)] { Run(button, command); });
  };
  // Stamping without a song would write 00:00 into the text.
  const auto needsSong = [this](std::function<void()> command) {
    return [this, command = std::move(command)] {
      if (player_.Handle() == 0) {
        ui::MessageBox::Show(box_.window(), QMessageBox::Information, tr("提示"),
                             tr("请先打开歌曲"), QMessageBox::Ok);
        return;
      }
      command();
    };
  };
  connectCommand(c_.addTag, needsSong([this, now] {
                   if (word_mode_) {
                     editor_.AddWordTag(now, settings_.ThreePointTime);
                   } else {
                     editor_.AddTag(now, settings_.ThreePointTime);
                   }
                 }));
  connectCommand(c_.replaceTag, needsSong([this, now] {
                   if (word_mode_) {
                     editor_.RestartWordTags();
                   } else {
                     editor_.ReplaceTags(now, settings_.ThreePointTime);
                   }
                 }));
  connectCommand(c_.deleteTag, [this] {
    if (word_mode_) {
      editor_.DeleteWordTag();
    } else {
      editor_.DeleteTag();
    }
  });
  connectCommand(c_.splitTags, [this] { editor_.SplitRangeTags(); });
  connectCommand(c_.sortTags, [this] { editor_.SortRangeByTime(); });
  connectCommand(c_.jump, [this] { Jump(); });
  connectCommand(c_.offset, [this] {
    std::string refused;
    if (!editor_.IntegrateOffsetTags(settings_.ThreePointTime, &refused) && !refused.empty()) {
      ui::MessageBox::Show(box_.window(), QMessageBox::Warning, tr("整合偏移值"),
                           tr("“%1”不是可用的偏移值：偏移值是毫秒数，且在正负 24 "
                              "小时以内。歌词没有改动。")
                               .arg(QString::fromStdString(refused)),
                           QMessageBox::Ok);
    }
  });
  connectCommand(c_.blank, [this] { editor_.RemoveBlankLines(); });
  connectCommand(c_.fold, [this] { editor_.FoldText(); });

  // Into the box at the highlighted line, ready to type there; the highlight stays in
  // its colour, and nothing is selected that the first key would replace.
  connect(&box_, &ui::LyricEdit::FocusGained, this,
          [this] { box_.PutCaretAtLineStart(editor_.RangeFirst()); });
  connect(&box_, &ui::LyricEdit::FocusLost, this, [this] { editor_.OnFocusLost(); });

  word_mode_action_ = new QAction(tr("逐字模式(&W)"), this);
  word_mode_action_->setCheckable(true);
  word_mode_action_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_W));
  word_mode_action_->setShortcutContext(Qt::WindowShortcut);
  box_.window()->addAction(word_mode_action_);
  box_.ContextMenu()->addSeparator();
  box_.ContextMenu()->addAction(word_mode_action_);
  connect(word_mode_action_, &QAction::toggled, this, &Editing::SetWordMode);

  // A stamp carries the time of the key press, not of the click a mnemonic makes later.
  for (QPushButton* button : {c_.addTag, c_.replaceTag, c_.deleteTag})
    ui::ClickOnMnemonicPress(button);
}

void Editing::SetWordMode(bool on) {
  if (word_mode_action_->isChecked() != on) word_mode_action_->setChecked(on);
  if (word_mode_ == on) return;
  word_mode_ = on;
  emit WordModeChanged(on);
}

void Editing::Run(QPushButton* own, const std::function<void()>& command) {
  editor_.CommonStart([own] { own->setFocus(Qt::OtherFocusReason); });
  command();
}

void Editing::Jump() {
  if (const std::optional<double> time = editor_.NextJumpTime()) {
    player_.SeekSeconds(*time);
  } else {
    QApplication::beep();
  }
}

}  // namespace lirotag
