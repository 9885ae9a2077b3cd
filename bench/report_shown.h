#pragma once

// For start-up measurements: one line, "shown", on standard output once the window is
// exposed and its first paint is done. Shared by the editor and its yardstick, so that
// both are timed to the same moment.
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>

namespace bench {

inline void ReportWhenShown(QWidget& window) {
  auto* timer = new QTimer(&window);
  QObject::connect(timer, &QTimer::timeout, &window, [&window, timer] {
    const QWindow* handle = window.windowHandle();
    if (!handle || !handle->isExposed()) return;
    timer->stop();
    QCoreApplication::processEvents();  // the paint the exposure asked for
    std::puts("shown");
    std::fflush(stdout);
  });
  timer->start(0);
}

}  // namespace bench
