// Start-up cost of the main window as the user sees it, beside its yardstick: a bare
// window holding the same controls in the same places, with no engine, no plug-ins and
// no settings. Each iteration builds a window, shows it and runs the event loop until
// the window is exposed and painted; the main window gets a fresh engine each time, as
// a new process would. The last line gives the ratio of the two from start-ups taken
// in turns, one of each kind after the other, so that a machine whose load changes
// during the run weighs on both alike.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/engine_module.h"
#include "audio/player.h"
#include "bare_window.h"
#include "files/file_io.h"
#include "lirotag_version.h"
#include "shell/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// Shows the window and waits until the window system has exposed it and the first
// paint is done.
void ShowAndWait(QWidget& window) {
  window.show();
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    QApplication::processEvents();
    const QWindow* handle = window.windowHandle();
    if (handle && handle->isExposed()) break;
  }
  QApplication::processEvents();  // the paint the exposure asked for
}

// What a start-up leaves behind, torn down outside the timed part.
struct MainWindowStart {
  std::unique_ptr<lirotag::AudioEngine> engine;
  std::unique_ptr<lirotag::Player> player;
  std::unique_ptr<lirotag::MainWindow> window;
  ~MainWindowStart() {
    window.reset();  // frees the engine
    if (player) player->Destroy();
  }
};

void StartMainWindow(MainWindowStart& s, lirotag::FileSystem& fs, const QTemporaryDir& dir) {
  s.engine = std::make_unique<lirotag::DeferredAudioEngine>();
  s.player = std::make_unique<lirotag::Player>(*s.engine);
  lirotag::MainWindowEnv env;
  env.fs = &fs;
  env.engine = s.engine.get();
  env.player = s.player.get();
  env.programDir = dir.path().toStdString();
  env.configPath = dir.filePath(QStringLiteral("Lirotag4.ini")).toStdString();
  s.window = std::make_unique<lirotag::MainWindow>(std::move(env));
  ShowAndWait(*s.window);
}

double Since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Seconds from nothing to a shown main window; the tear-down is not counted.
double MainWindowStartUp(lirotag::FileSystem& fs, const QTemporaryDir& dir) {
  auto s = std::make_unique<MainWindowStart>();
  const auto t0 = Clock::now();
  StartMainWindow(*s, fs, dir);
  return Since(t0);
}

double BareWindowStartUp() {
  const auto t0 = Clock::now();
  std::unique_ptr<QWidget> w = bench::BareWindow();
  ShowAndWait(*w);
  return Since(t0);
}

void BM_MainWindowShown(benchmark::State& state) {
  QTemporaryDir dir;
  lirotag::RealFileSystem fs;
  for (auto _ : state) state.SetIterationTime(MainWindowStartUp(fs, dir));
}
BENCHMARK(BM_MainWindowShown)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_BareWindowShown(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(BareWindowStartUp());
}
BENCHMARK(BM_BareWindowShown)->Unit(benchmark::kMillisecond)->UseManualTime();

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  // What every first window of a process pays (style, fonts, platform plug-in) is paid
  // here, once for each kind, so neither benchmark carries it for the other.
  ShowAndWait(*bench::BareWindow());
  {
    QTemporaryDir dir;
    lirotag::RealFileSystem fs;
    MainWindowStart s;
    StartMainWindow(s, fs, dir);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  constexpr int kPairs = 100;
  QTemporaryDir dir;
  lirotag::RealFileSystem fs;
  std::vector<double> main_window, bare_window;
  for (int i = 0; i < kPairs; ++i) {
    if (i % 2) bare_window.push_back(BareWindowStartUp());
    main_window.push_back(MainWindowStartUp(fs, dir));
    if (i % 2 == 0) bare_window.push_back(BareWindowStartUp());
  }
  const double m = Median(main_window), b = Median(bare_window);
  std::printf("in turns, median of %d each: main window %.2f ms, bare window %.2f ms: ratio %.2f\n",
              kPairs, m * 1e3, b * 1e3, m / b);
  return 0;
}
