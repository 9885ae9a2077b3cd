// The yardstick program of bench_startup: a bare window with the main window's controls,
// linked to Qt alone, reporting when it is shown as `lirotag` does under the same
// variable. Runs until killed.
#include <QApplication>

#include "bare_window.h"
#include "report_shown.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::unique_ptr<QWidget> w = bench::BareWindow();
  bench::ReportWhenShown(*w);
  w->show();
  return app.exec();
}
