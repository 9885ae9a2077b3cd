// Start-up cost of the main window: building every control, setting up the audio
// engine and plug-ins, reading the settings and showing the window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "shell/main_window.h"

namespace {

void BM_MainWindowShown(benchmark::State& state) {
  QTemporaryDir dir;
  lirotag::RealFileSystem fs;
  std::unique_ptr<lirotag::AudioEngine> engine = lirotag::CreateAudioEngine();
  lirotag::Player player(*engine);
  for (auto _ : state) {
    lirotag::MainWindowEnv env;
    env.fs = &fs;
    env.engine = engine.get();
    env.player = &player;
    env.programDir = dir.path().toStdString();
    env.configPath = dir.filePath(QStringLiteral("Lirotag4.ini")).toStdString();
    lirotag::MainWindow window(std::move(env));
    window.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(window.isVisible());
  }
}
BENCHMARK(BM_MainWindowShown)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
