#include "shell/editing.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

// How long a button reached by its mnemonic shows itself pressed.
constexpr int kPressedLookMs = 100;

}  // namespace

Editing::Editing(Player& player, const Settings& settings, ui::LyricEdit& box, Controls controls,
                 QObject* parent)
    : QObject(parent), player_(player), settings_(settings), box_(box), c_(controls), editor_(box) {
  const LyricEditor::Clock now = [this] { return player_.PositionSeconds(); };
  const auto connectCommand = [this](QPushButton* button, std::function<void()> command) {
    connect(button, &QPushButton::clicked, this,
            [this, button, command = std::move(command)] { Run(button, command); });
  };
  connectCommand(c_.addTag, [this, now] { editor_.AddTag(now, settings_.ThreePointTime); });
  connectCommand(c_.replaceTag,
                 [this, now] { editor_.ReplaceTags(now, settings_.ThreePointTime); });
  connectCommand(c_.deleteTag, [this] { editor_.DeleteTag(); });
  connectCommand(c_.splitTags, [this] { editor_.SplitRangeTags(); });
  connectCommand(c_.sortTags, [this] { editor_.SortRangeByTime(); });
  connectCommand(c_.jump, [this] { Jump(); });
  connectCommand(c_.offset, [this] { editor_.IntegrateOffsetTags(settings_.ThreePointTime); });
  connectCommand(c_.blank, [this] { editor_.RemoveBlankLines(); });
  connectCommand(c_.fold, [this] { editor_.FoldText(); });

  connect(&box_, &ui::LyricEdit::FocusGained, this, [this] { editor_.OnFocusGained(); });
  connect(&box_, &ui::LyricEdit::FocusLost, this, [this] { editor_.OnFocusLost(); });

  // A mnemonic clicks its button only after showing it pressed for a moment; a stamp
  // must carry the time of the key press, so these run at once.
  for (QPushButton* button : {c_.addTag, c_.replaceTag, c_.deleteTag})
    button->installEventFilter(this);
}

bool Editing::eventFilter(QObject* watched, QEvent* event) {
  auto* button = qobject_cast<QPushButton*>(watched);
  if (event->type() != QEvent::Shortcut || !button || !button->isEnabled())
    return QObject::eventFilter(watched, event);
  button->setFocus(Qt::ShortcutFocusReason);
  button->click();
  button->setDown(true);
  QTimer::singleShot(kPressedLookMs, button, [button] { button->setDown(false); });
  return true;
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
