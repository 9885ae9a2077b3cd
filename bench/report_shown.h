#pragma once

// For start-up measurements: one line, "shown", on standard output once the window's
// first frame is painted. Shared by the editor and its yardstick, so that both are
// timed to the same moment.
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <cstdio>

namespace bench {

class ShownReporter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      // Queued now, ahead of anything the paint itself puts off until later: it runs
      // once this paint (the window and every control in it) is done and flushed.
      QMetaObject::invokeMethod(
          this,
          [] {
            std::puts("shown");
            std::fflush(stdout);
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool reported_ = false;
};

inline void ReportWhenShown(QWidget& window) {
  window.installEventFilter(new ShownReporter(&window));
}

}  // namespace bench
