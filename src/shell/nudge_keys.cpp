#include "shell/nudge_keys.h"

#include <QAction>
#include <QTextBlock>
#include <algorithm>

#include "lyrics/edit_commands.h"
#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

// A place in the text that survives a rewrite of its line: line and column, the column
// kept inside the line as it is afterwards.
struct Place {
  int line = 0, column = 0;
};

Place PlaceOf(const QTextDocument* document, int position) {
  const QTextBlock block = document->findBlock(position);
  return {block.blockNumber(), position - block.position()};
}

int PositionOf(const QTextDocument* document, Place place) {
  const QTextBlock block = document->findBlockByNumber(place.line);
  if (!block.isValid()) return document->characterCount() - 1;
  return block.position() + std::clamp(place.column, 0, block.length() - 1);
}

}  // namespace

NudgeKeys::NudgeKeys(QWidget* window, ui::LyricEdit& box, LyricEditor& editor,
                     const Settings& settings, QObject* parent)
    : QObject(parent), box_(box), editor_(editor), settings_(settings) {
  const struct {
    QKeyCombination key;
    double delta;
    const char* text;
  } keys[] = {
      {Qt::ALT | Qt::Key_BracketLeft, -0.1, QT_TR_NOOP("提前 0.1 秒")},
      {Qt::ALT | Qt::Key_BracketRight, 0.1, QT_TR_NOOP("推后 0.1 秒")},
      {Qt::CTRL | Qt::ALT | Qt::Key_BracketLeft, -0.01, QT_TR_NOOP("提前 0.01 秒")},
      {Qt::CTRL | Qt::ALT | Qt::Key_BracketRight, 0.01, QT_TR_NOOP("推后 0.01 秒")},
  };
  for (const auto& k : keys) {
    auto* action = new QAction(tr(k.text), window);
    action->setShortcut(QKeySequence(k.key));
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    const double delta = k.delta;
    connect(action, &QAction::triggered, this, [this, delta] { Nudge(delta); });
  }
}

void NudgeKeys::Nudge(double delta) {
  if (!box_.hasFocus()) {
    editor_.NudgeRange(delta, settings_.ThreePointTime);
    emit Nudged();
    return;
  }
  // Typing in the box: its selection's lines, as the buttons take them, and the caret
  // and selection back where they were, so that typing goes on there.
  const QTextCursor before = box_.textCursor();
  const Place anchor = PlaceOf(box_.document(), before.anchor());
  const Place caret = PlaceOf(box_.document(), before.position());
  editor_.RangeFromSelection();
  editor_.NudgeRange(delta, settings_.ThreePointTime);
  QTextCursor after(box_.document());
  after.setPosition(PositionOf(box_.document(), anchor));
  after.setPosition(PositionOf(box_.document(), caret), QTextCursor::KeepAnchor);
  box_.setTextCursor(after);
  emit Nudged();
}

}  // namespace lirotag
