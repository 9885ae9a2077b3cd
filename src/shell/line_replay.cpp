#include "shell/line_replay.h"

#include <QAction>
#include <QTimer>
#include <QWidget>

#include "lyrics/edit_commands.h"
#include "lyrics/tag_index.h"
#include "lyrics/time_tags.h"
#include "lyrics/words.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

// The line's earliest time: its line tags', else its word tags'.
std::optional<double> StartOf(const std::string& line) {
  std::optional<double> start;
  for (const std::string& tag : TagList(line)) {
    if (IsTimeTag(tag) && (!start || ParseTime(tag) < *start)) start = ParseTime(tag);
  }
  if (start) return start;
  for (const WordTag& tag : FindWords(line).tags) {
    if (!start || tag.time < *start) start = tag.time;
  }
  return start;
}

}  // namespace

LineReplay::LineReplay(Player& player, Controls controls, QObject* parent)
    : QObject(parent), player_(player), c_(controls) {
  auto* action = new QAction(tr("重听本行"), c_.window);
  action->setShortcut(QKeySequence(Qt::ALT | Qt::Key_L));
  action->setShortcutContext(Qt::WindowShortcut);
  c_.window->addAction(action);
  connect(action, &QAction::triggered, this, &LineReplay::Replay);
  watch_ = new QTimer(this);
  // Fine enough that the pause comes within a few milliseconds of the next line.
  watch_->setInterval(5);
  watch_->setTimerType(Qt::PreciseTimer);
  connect(watch_, &QTimer::timeout, this, &LineReplay::Watch);
}

void LineReplay::Tell(const QString& text) {
  ui::MessageBox::Show(c_.window, QMessageBox::Information, tr("提示"), text, QMessageBox::Ok);
}

void LineReplay::Replay() {
  if (player_.Handle() == 0) {
    Tell(tr("请先打开歌曲"));
    return;
  }
  const int line = c_.box->hasFocus() ? c_.box->SelectionFirstLine() : c_.editor->RangeFirst();
  const std::optional<double> start = StartOf(c_.box->Line(line));
  if (!start) {
    Tell(tr("第 %1 行没有时间标签，无法重听。").arg(line + 1));
    return;
  }
  // The line sung next starts at the first later tag anywhere in the text.
  TagIndex tags;
  tags.Rebuild(*c_.box);
  double stop = player_.LengthSeconds();
  for (const TagIndex::Entry& e : tags.Entries()) {
    if (e.time > *start) {
      stop = std::min(stop, e.time);
      break;
    }
  }
  stop_ = stop;
  player_.SeekSeconds(*start);
  player_.Play(false);
  c_.transport->UpdatePlayButton();
  c_.transport->Refresh();
  watch_->start();
}

void LineReplay::Watch() {
  // Paused, stopped or closed by the user meanwhile: the replay is over.
  if (!stop_ || player_.State() != kActivePlaying) {
    watch_->stop();
    stop_.reset();
    return;
  }
  if (player_.PositionSeconds() < *stop_) return;
  watch_->stop();
  player_.Pause();
  // Exactly at the next line, ready to stamp or replay it.
  player_.SeekSeconds(*stop_);
  stop_.reset();
  c_.transport->UpdatePlayButton();
  c_.transport->Refresh();
}

}  // namespace lirotag
