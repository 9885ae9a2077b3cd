// Start-up cost of the main window as the user sees it, beside its yardstick: a bare
// window holding the same controls in the same places, with no engine, no plug-ins and
// no settings. Each iteration builds a window, shows it and runs the event loop until
// the window is exposed and painted; the main window gets a fresh engine each time, as
// a new process would. The last line gives the ratio of the two from start-ups taken
// in turns, one of each kind after the other, so that a machine whose load changes
// during the run weighs on both alike.
//
// Then, and alone with `bench_window playing`: the processor share of the whole program
// while a song plays in the window, beside a bare window showing a time every 100 ms
// and `ffmpeg -re` decoding the same song. Run it under `xvfb-run` with
// QT_QPA_PLATFORM=xcb to draw as on a desktop.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/engine_module.h"
#include "audio/player.h"
#include "bare_window.h"
#include "files/file_io.h"
#include "lirotag_version.h"
#include "process_cpu.h"
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

// Runs the event loop for a while, as the program's own loop would.
void RunFor(std::chrono::milliseconds time) {
  QEventLoop loop;
  QTimer::singleShot(time, &loop, &QEventLoop::quit);
  loop.exec();
}

constexpr auto kPlayedFor = std::chrono::seconds(20);

// The whole program while a song plays at its own speed: the window's clock, the time
// it shows ten times a second, the decoder and the output (silent where the machine has
// no sound device). Under xvfb-run with QT_QPA_PLATFORM=xcb the window is drawn as on a
// desktop; offscreen it is drawn into memory only.
double WindowPlayingShare(lirotag::FileSystem& fs, const QTemporaryDir& dir, const QString& song) {
  MainWindowStart s;
  StartMainWindow(s, fs, dir);
  s.window->StartUp({song});
  auto* play = s.window->findChild<QPushButton*>(QStringLiteral("按钮_播放暂停"));
  if (!play || s.player->Handle() == 0) return -1;
  play->click();
  RunFor(std::chrono::seconds(2));  // past the first fill and the device's first look
  const double cpu = bench::CpuSeconds();
  const auto t0 = Clock::now();
  RunFor(kPlayedFor);
  return (bench::CpuSeconds() - cpu) / Since(t0);
}

// The first yardstick: the bare window with the same controls, its first label showing
// a new time every 100 ms as plain QLabel text. What Qt itself costs for a clock shown.
double BareWindowTickingShare() {
  std::unique_ptr<QWidget> w = bench::BareWindow();
  ShowAndWait(*w);
  auto* label = w->findChildren<QLabel*>().value(0);
  if (!label) return -1;
  const auto t0 = Clock::now();
  QTimer clock;
  clock.setInterval(100);
  QObject::connect(&clock, &QTimer::timeout, label, [&] {
    const double s = Since(t0);
    label->setText(QString::asprintf("%02d:%05.2f", static_cast<int>(s) / 60,
                                     s - 60 * (static_cast<int>(s) / 60)));
  });
  clock.start();
  RunFor(std::chrono::seconds(2));
  const double cpu = bench::CpuSeconds();
  const auto t1 = Clock::now();
  RunFor(kPlayedFor);
  return (bench::CpuSeconds() - cpu) / Since(t1);
}

// The second: `ffmpeg -re` decoding the same song in real time to nowhere.
double FfmpegReShare(const QString& song) {
  const QByteArray path = song.toLocal8Bit();
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("ffmpeg", "ffmpeg", "-v", "quiet", "-nostdin", "-re", "-i", path.constData(), "-f",
           "null", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return -1;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double cpu = bench::CpuSecondsOf(pid);
  const auto t0 = Clock::now();
  std::this_thread::sleep_for(kPlayedFor);
  const double share = (bench::CpuSecondsOf(pid) - cpu) / Since(t0);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return share;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void StartUpComparison(int& argc, char** argv, lirotag::FileSystem& fs, const QTemporaryDir& dir) {
  benchmark::Initialize(&argc, argv);
  // What every first window of a process pays (style, fonts, platform plug-in) is paid
  // here, once for each kind, so neither benchmark carries it for the other.
  ShowAndWait(*bench::BareWindow());
  {
    QTemporaryDir warm_dir;
    MainWindowStart s;
    StartMainWindow(s, fs, warm_dir);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  constexpr int kPairs = 100;
  std::vector<double> main_window, bare_window;
  for (int i = 0; i < kPairs; ++i) {
    if (i % 2) bare_window.push_back(BareWindowStartUp());
    main_window.push_back(MainWindowStartUp(fs, dir));
    if (i % 2 == 0) bare_window.push_back(BareWindowStartUp());
  }
  const double m = Median(main_window), b = Median(bare_window);
  std::printf("in turns, median of %d each: main window %.2f ms, bare window %.2f ms: ratio %.2f\n",
              kPairs, m * 1e3, b * 1e3, m / b);
}

void PlayingComparison(lirotag::FileSystem& fs, const QTemporaryDir& dir) {
  // A three-minute Ogg Vorbis song, as a user's would be.
  const QString song = dir.filePath(QStringLiteral("song.ogg"));
  const std::string make =
      "ffmpeg -v error -y -f lavfi -i 'sine=frequency=440:duration=180' "
      "-ac 2 -ar 44100 -c:a libvorbis '" +
      song.toStdString() + "'";
  if (std::system(make.c_str()) != 0) {
    std::printf("playing: no ffmpeg to make the song with\n");
    return;
  }
  const double window = WindowPlayingShare(fs, dir, song);
  const double bare = BareWindowTickingShare();
  const double ffmpeg = FfmpegReShare(song);
  std::printf(
      "playing at 1.0x on the %s platform, %lld s each, in %% of a core: whole program "
      "%.2f; bare window showing a time every 100 ms %.2f + ffmpeg -re %.2f = %.2f\n",
      qPrintable(QGuiApplication::platformName()), static_cast<long long>(kPlayedFor.count()),
      window * 100, bare * 100, ffmpeg * 100, (bare + ffmpeg) * 100);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // `bench_window playing`: the playing comparison alone.
  const bool playing_only = argc > 1 && std::string(argv[1]) == "playing";
  QTemporaryDir dir;
  lirotag::RealFileSystem fs;
  if (!playing_only) StartUpComparison(argc, argv, fs, dir);
  PlayingComparison(fs, dir);
  return 0;
}
