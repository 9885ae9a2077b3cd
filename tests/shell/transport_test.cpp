#include "shell/transport.h"

#include <sys/stat.h>

#include <QAccessible>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "fake_engine.h"
#include "files/file_io.h"
#include "lyrics/time_tags.h"
#include "shell/main_window.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "ui/time_label.h"
#include "wav_file.h"

using lirotag::MainWindow;
using lirotag::ui::MessageBox;

class TransportTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  lirotag::RealFileSystem fs_;
  std::unique_ptr<lirotag::AudioEngine> engine_ = lirotag::CreateAudioEngine();
  lirotag::Player player_{*engine_};
  std::unique_ptr<MainWindow> window_;

  QString Song(const char* name, uint32_t rate, uint64_t frames) {
    const QString path = dir_.filePath(QString::fromUtf8(name));
    if (!QFile::exists(path)) lirotag::testing::WriteWav(path.toStdString(), rate, frames);
    return path;
  }
  QString ShortSong() { return Song("短歌.wav", 8000, 479200); }  // 59.9 s

  template <typename T>
  T* Find(const char* name) {
    return window_->findChild<T*>(QString::fromUtf8(name));
  }
  QPushButton* PlayButton() { return Find<QPushButton>("按钮_播放暂停"); }
  QSlider* Progress() { return Find<QSlider>("滑块条_进度"); }
  QString CurrentTime() { return Find<QLabel>("标签_当前时间")->text(); }
  QString TotalTime() { return Find<QLabel>("标签_总时间")->text(); }

  void Open(const QString& path) {
    lirotag::ui::SetNextFileDialogResult(path.toStdString());
    QTest::mouseClick(Find<QPushButton>("按钮_打开歌曲"), Qt::LeftButton);
  }

  void Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
  }

 private slots:
  void init() {
    lirotag::MainWindowEnv env;
    env.fs = &fs_;
    env.engine = engine_.get();
    env.player = &player_;
    env.programDir = dir_.path().toStdString();
    env.configPath = dir_.filePath(QStringLiteral("Lirotag4.ini")).toStdString();
    window_ = std::make_unique<MainWindow>(std::move(env));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    window_.reset();
    player_.Free();
    MessageBox::ClearNextAnswer();
  }

  void startsWithNoSong() {
    QCOMPARE(PlayButton()->text(), QStringLiteral("播放(&P)"));
    QVERIFY(!PlayButton()->isEnabled());
    QVERIFY(PlayButton()->toolTip().isEmpty());
    QCOMPARE(Find<QSlider>("滑块条_音量")->toolTip(), QStringLiteral("音量：100/100"));
    QCOMPARE(CurrentTime(), QStringLiteral("(无文件)"));
    QCOMPARE(TotalTime(), QStringLiteral("(无文件)"));
    QCOMPARE(Progress()->maximum(), 0);
  }

  void openingASongShowsItsLengthAndPath() {
    const QString song = ShortSong();
    Open(song);
    const lirotag::ui::FileDialogOptions& asked = lirotag::ui::LastFileDialogOptions();
    QCOMPARE(QString::fromStdString(asked.title), QStringLiteral("选择歌曲"));
    QVERIFY(!asked.save);
    QVERIFY(asked.showHidden);
    QVERIFY(asked.defaultExtension.empty() && asked.initialFolder.empty());
    QVERIFY(QString::fromStdString(asked.filter).startsWith(QStringLiteral("所有支持的类型|")));
    QVERIFY(QString::fromStdString(asked.filter).endsWith(QStringLiteral("|所有文件(*.*)|*.*")));

    QCOMPARE(window_->windowTitle(), QStringLiteral("Lirotag " LIROTAG_VERSION " - ") + song);
    QCOMPARE(TotalTime(), QStringLiteral("总时间0分59秒"));
    QCOMPARE(Progress()->maximum(), 59);
    QCOMPARE(PlayButton()->text(), QStringLiteral("播放(&P)"));
    QVERIFY(PlayButton()->isEnabled());
    QCOMPARE(PlayButton()->toolTip(), QStringLiteral("继续播放"));
    QCOMPARE(QString::fromStdString(window_->SongPath()), song);
  }

  // A screen reader announces the window by its accessible name: it must follow the
  // caption, and the window must be one (not a plain filler), or the user never
  // hears which song is open.
  void screenReadersHearTheCaption() {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(window_.get());
    QCOMPARE(window ? window->role() : QAccessible::NoRole, QAccessible::Window);
    Open(ShortSong());
    QCOMPARE(window->text(QAccessible::Name),
             QStringLiteral("Lirotag " LIROTAG_VERSION " - ") + ShortSong());
    QTest::mouseClick(Find<QPushButton>("按钮_关闭歌曲"), Qt::LeftButton);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Lirotag " LIROTAG_VERSION));
  }

  void anHourLongSongReadsSixtyMinutes() {
    Open(Song("hour.wav", 1000, 3600 * 1000));
    QCOMPARE(TotalTime(), QStringLiteral("总时间60分0秒"));
    QCOMPARE(Progress()->maximum(), 3600);
  }

  void theTotalTimeIsTheRealLength() {
    // A WMA header promises 12.03 s here; a decode gives 11.98 s, and the label must say so.
    const QString wav = dir_.filePath(QStringLiteral("w.wav"));
    const QString wma = dir_.filePath(QStringLiteral("w.wma"));
    QVERIFY(lirotag::testing::WriteWav(wav.toStdString(), 44100, 12 * 44100));
    QCOMPARE(QProcess::execute(
                 QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-i"), wav, QStringLiteral("-c:a"), QStringLiteral("wmav2"), wma}),
             0);
    Open(wma);
    QTRY_COMPARE(TotalTime(), QStringLiteral("总时间0分11秒"));
    QCOMPARE(Progress()->maximum(), 11);

    // A FLAC file cut to a third still promises 12 s in its header; the label shows what
    // decodes.
    const QString flac = dir_.filePath(QStringLiteral("cut.flac"));
    const QString cut = QStringLiteral(
        "ffmpeg -v error -y -i '%1' '%2.full.flac' && head -c $(($(stat -c %s '%2.full.flac') / "
        "3)) '%2.full.flac' > '%2' && ffmpeg -v error -i '%2' -f s16le - 2>/dev/null | wc -c");
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), cut.arg(wav, flac)});
    QVERIFY(shell.waitForFinished());
    const int decoded = shell.readAllStandardOutput().trimmed().toInt() / 2 / 44100;
    QVERIFY(decoded > 1 && decoded < 11);
    Open(flac);
    QTRY_COMPARE(TotalTime(), QStringLiteral("总时间0分%1秒").arg(decoded));
    QCOMPARE(Progress()->maximum(), decoded);
  }

  void cancellingTheDialogChangesNothing() {
    lirotag::ui::SetNextFileDialogResult(std::nullopt);
    QTest::mouseClick(Find<QPushButton>("按钮_打开歌曲"), Qt::LeftButton);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Lirotag " LIROTAG_VERSION));
    QCOMPARE(TotalTime(), QStringLiteral("(无文件)"));
  }

  void playAndPauseFollowTheButtonAndAltP() {
    Open(ShortSong());
    QTest::mouseClick(PlayButton(), Qt::LeftButton);
    QCOMPARE(player_.State(), lirotag::kActivePlaying);
    QCOMPARE(PlayButton()->text(), QStringLiteral("暂停(&P)"));
    QCOMPARE(PlayButton()->toolTip(), QStringLiteral("暂停播放"));

    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    // A mnemonic presses the button as a click would, a moment later.
    QTest::keyClick(window_.get(), Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(player_.State(), lirotag::kActivePaused);
    QCOMPARE(PlayButton()->text(), QStringLiteral("播放(&P)"));
    QCOMPARE(PlayButton()->toolTip(), QStringLiteral("继续播放"));
    QTest::keyClick(window_.get(), Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(player_.State(), lirotag::kActivePlaying);
  }

  void aSongThatCannotOpenKeepsTheOldOne() {
    const QString song = ShortSong();
    Open(song);
    QTest::mouseClick(PlayButton(), Qt::LeftButton);
    const QString bad = dir_.filePath(QStringLiteral("坏.mp3"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5A'));
    file.close();

    MessageBox::SetNextAnswer(QMessageBox::Ok);
    const int before = MessageBox::ShownCount();
    Open(bad);
    QCOMPARE(MessageBox::ShownCount(), before + 1);
    QCOMPARE(MessageBox::LastCaption(), QStringLiteral("错误"));
    QCOMPARE(MessageBox::LastIcon(), QMessageBox::Warning);
    QCOMPARE(MessageBox::LastText(),
             QStringLiteral("打开文件\n") + bad +
                 QStringLiteral("\n时发生错误。\n文件已损坏，或者内容与扩展名不符。"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Lirotag " LIROTAG_VERSION " - ") + song);
    QCOMPARE(TotalTime(), QStringLiteral("总时间0分59秒"));
    QCOMPARE(QString::fromStdString(window_->SongPath()), song);
    QCOMPARE(player_.State(), lirotag::kActivePlaying);
  }

  void volumeIsTheSquareOfTheSliderShare() {
    Open(ShortSong());
    auto* volume = Find<QSlider>("滑块条_音量");
    volume->setFocus();
    volume->setValue(60);
    QTest::keyClick(volume, Qt::Key_PageDown);  // a page is 10
    QCOMPARE(volume->value(), 50);
    QCOMPARE(volume->toolTip(), QStringLiteral("音量：50/100"));
    QCOMPARE(player_.GetVolume(), 0.25f);
  }

  void draggingTheThumbSeeksOnceOnRelease() {
    Open(ShortSong());
    QSlider* progress = Progress();
    const QPoint start(3, progress->height() / 2);
    QTest::mousePress(progress, Qt::LeftButton, Qt::NoModifier, start);
    QVERIFY(window_->transport()->Dragging());
    // A user drag: the thumb moves, the song does not.
    progress->setSliderPosition(40);
    QCOMPARE(progress->value(), 40);
    QCOMPARE(player_.PositionSeconds(), 0.0);
    window_->transport()->Refresh();
    QCOMPARE(CurrentTime(), QStringLiteral("跳转到00:40.00"));
    QTest::mouseRelease(progress, Qt::LeftButton, Qt::NoModifier, start);
    QVERIFY(!window_->transport()->Dragging());
    QCOMPARE(player_.PositionSeconds(), 40.0);
    window_->transport()->Refresh();
    QCOMPARE(CurrentTime(), QStringLiteral("00:40.00"));
    QCOMPARE(progress->value(), 40);
  }

  // Whatever button grabs the slider, the song moves once, when it is let go: a seek
  // per mouse move would stutter through the song while the user is still aiming.
  void everyDragSeeksOnceOnRelease_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("onThumb");
    QTest::newRow("left on the thumb") << int(Qt::LeftButton) << true;
    // On the track: the left button, and every one the style sets the position with.
    const int buttons = Qt::LeftButton | Qt::MiddleButton |
                        QApplication::style()->styleHint(QStyle::SH_Slider_AbsoluteSetButtons);
    for (int b = Qt::LeftButton; b <= int(Qt::ForwardButton); b <<= 1)
      if (buttons & b) QTest::addRow("button %d on the track", b) << b << false;
  }

  void everyDragSeeksOnceOnRelease() {
    QFETCH(int, button);
    QFETCH(bool, onThumb);
    lirotag::FakeEngine engine;  // counts the seeks; its songs are 10 s long
    lirotag::Player player(engine);
    lirotag::MainWindowEnv env;
    env.programDir = dir_.path().toStdString();
    env.engine = &engine;
    env.player = &player;
    MainWindow window(env);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    engine.openable.insert("song.mp3");
    QVERIFY(window.transport()->OpenSong("song.mp3"));
    auto* progress = window.findChild<QSlider*>(QStringLiteral("滑块条_进度"));
    auto isSeek = [](const std::string& call) { return call.starts_with("ChannelSetPosition"); };
    QPoint at(onThumb ? 4 : progress->width() * 3 / 4, progress->height() / 2);
    QTest::mousePress(progress, Qt::MouseButton(button), Qt::NoModifier, at);
    for (int i = 0; i < 12; ++i) QTest::mouseMove(progress, at += QPoint(onThumb ? 10 : -10, 0));
    QVERIFY(std::ranges::none_of(engine.calls, isSeek));
    QVERIFY(progress->value() > 0);  // the thumb did move
    QTest::mouseRelease(progress, Qt::MouseButton(button), Qt::NoModifier, at);
    QCOMPARE(std::ranges::count_if(engine.calls, isSeek), 1);
    QCOMPARE(engine.calls.back(), "ChannelSetPosition " + std::to_string(player.Handle()) + " " +
                                      std::to_string(progress->value() * 352800));
  }

  // The time labels keep their designed 96 pixels; whatever they say must fit, three
  // decimals and the jump target included.
  void timeLabelsShowTheWholeText() {
    window_->settings().ThreePointTime = true;
    QStringList shown;
    auto look = [&] {
      window_->transport()->Refresh();
      for (QLabel* label : {Find<QLabel>("标签_当前时间"), Find<QLabel>("标签_总时间")}) {
        shown << label->text();
        QCOMPARE(label->width(), 96);
        auto* time = qobject_cast<lirotag::ui::TimeLabel*>(label);
        QVERIFY(time);
        QCOMPARE_LE(QFontMetrics(time->ShownFont()).horizontalAdvance(label->text()),
                    label->contentsRect().width());
      }
    };
    look();
    Open(Song("长歌.wav", 1000, 3599 * 1000));  // 59:59
    QSlider* progress = Progress();
    const QPoint thumb(3, progress->height() / 2);
    QTest::mousePress(progress, Qt::LeftButton, Qt::NoModifier, thumb);
    for (int at : {65, 3598}) {
      progress->setSliderPosition(at);
      look();
    }
    QTest::mouseRelease(progress, Qt::LeftButton, Qt::NoModifier, thumb);
    QCOMPARE(shown, QStringList({"(无文件)", "(无文件)", "跳转到01:05.000", "总时间59分59秒",
                                 "跳转到59:58.000", "总时间59分59秒"}));
  }

  void keyboardMovesSeekAtOnce() {
    Open(ShortSong());
    QSlider* progress = Progress();
    progress->setFocus();
    QTest::keyClick(progress, Qt::Key_Right);
    QCOMPARE(progress->value(), 1);
    QCOMPARE(player_.PositionSeconds(), 1.0);
    QTest::keyClick(progress, Qt::Key_End);
    QCOMPARE(player_.PositionSeconds(), 59.0);
  }

  void closingResetsTheLabelsButNotTheSlider() {
    Open(ShortSong());
    player_.SeekSeconds(12.0);
    window_->transport()->Refresh();
    QCOMPARE(Progress()->value(), 12);
    QTest::mouseClick(Find<QPushButton>("按钮_关闭歌曲"), Qt::LeftButton);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Lirotag " LIROTAG_VERSION));
    QCOMPARE(TotalTime(), QStringLiteral("(无文件)"));
    QCOMPARE(CurrentTime(), QStringLiteral("(无文件)"));
    QVERIFY(!PlayButton()->isEnabled());
    QVERIFY(window_->SongPath().empty());
    QCOMPARE(Progress()->maximum(), 59);
    QCOMPARE(Progress()->value(), 12);
    // With no song the tick changes nothing.
    window_->transport()->Refresh();
    QCOMPARE(CurrentTime(), QStringLiteral("(无文件)"));
  }

  // The clock beats ten times a second while the song plays, and stops while nothing
  // moves (no song, paused, stopped); a play, a seek, an edit or a key wakes it.
  void theClockFollowsPlaybackAndStopsWhenPaused() {
    auto* clock = window_->findChild<QTimer*>(QStringLiteral("时钟_刷新"));
    QVERIFY(clock);
    QTRY_VERIFY(!clock->isActive());
    Open(ShortSong());
    window_->settings().ThreePointTime = true;
    QTRY_VERIFY(!clock->isActive());
    QTest::mouseClick(PlayButton(), Qt::LeftButton);
    QVERIFY(clock->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(CurrentTime().startsWith(QStringLiteral("00:02.")), 10000);
    QCOMPARE(CurrentTime().size(), 9);  // three decimals
    QVERIFY(player_.PositionSeconds() >= 2.0);

    QTest::mouseClick(PlayButton(), Qt::LeftButton);
    const double paused = player_.PositionSeconds();
    // The next tick shows the time the song stopped at, and the song stays there.
    QTRY_COMPARE(CurrentTime(), QString::fromStdString(lirotag::FormatTime(paused, true)));
    QCOMPARE(player_.PositionSeconds(), paused);
    QTRY_VERIFY(!clock->isActive());
    player_.SeekSeconds(1.0);
    QVERIFY(clock->isActive());
    QTRY_COMPARE(CurrentTime(), QStringLiteral("00:01.000"));
    QTRY_VERIFY(!clock->isActive());
    window_->lyricEdit()->insertPlainText(QStringLiteral("[00:00.50]a"));
    QVERIFY(clock->isActive());
    QTRY_VERIFY(!clock->isActive());
    QTest::keyClick(window_->lyricEdit(), Qt::Key_Home);
    QVERIFY(clock->isActive());
  }

  // A song on a slow disk or share: while it opens, the window answers keys and timers
  // with a busy cursor, and the song is there once the open is done.
  void theWindowAnswersWhileASongOpens() {
    struct SlowEngine : lirotag::FakeEngine {
      std::mutex mu;
      std::condition_variable cv;
      bool release = false;
      std::atomic<bool> opening{false};
      lirotag::AudioHandle StreamCreateFile(const std::string& path, uint64_t offset,
                                            uint64_t length, uint32_t flags) override {
        opening = true;
        std::unique_lock<std::mutex> lk(mu);
        cv.wait(lk, [this] { return release; });
        return FakeEngine::StreamCreateFile(path, offset, length, flags);
      }
    } engine;
    engine.openable.insert("slow.mp3");
    lirotag::Player player(engine);
    lirotag::MainWindowEnv env;
    env.programDir = dir_.path().toStdString();
    env.engine = &engine;
    env.player = &player;
    MainWindow window(env);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    lirotag::ui::LyricEdit* box = window.lyricEdit();
    box->setFocus();
    // Typed while the song opens: delivered by the window's event loop meanwhile.
    for (QChar c : QStringLiteral("abc")) {
      QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, c));
      QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyRelease, 0, Qt::NoModifier, c));
    }
    std::string typed;
    Qt::CursorShape cursor = Qt::ArrowCursor;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, &window, [&] {
      if (!engine.opening) return;
      typed = lirotag::GetLyricText(*box);
      cursor = window.cursor().shape();
      std::lock_guard<std::mutex> lk(engine.mu);
      engine.release = true;
      engine.cv.notify_all();
    });
    watcher.start(20);
    QVERIFY(window.transport()->OpenSong("slow.mp3"));
    QCOMPARE(typed, std::string("abc"));
    QCOMPARE(cursor, Qt::BusyCursor);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(window.SongPath(), std::string("slow.mp3"));
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("按钮_播放暂停"))->isEnabled());
  }

  // A FIFO no one writes to never blocks the window: the usual message, nothing opened.
  void aFifoFailsWithTheUsualMessage() {
    const QString fifo = dir_.filePath(QStringLiteral("管道.mp3"));
    QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    const int before = MessageBox::ShownCount();
    QVERIFY(!window_->transport()->OpenSong(fifo.toStdString()));
    QCOMPARE(MessageBox::ShownCount(), before + 1);
    QCOMPARE(MessageBox::LastText(), QStringLiteral("打开文件\n") + fifo +
                                         QStringLiteral("\n时发生错误。\n这不是一个文件。"));
    QVERIFY(window_->SongPath().empty());
    QCOMPARE(window_->cursor().shape(), Qt::ArrowCursor);
    // The window still takes keys.
    window_->lyricEdit()->setFocus();
    QTest::keyClicks(window_->lyricEdit(), QStringLiteral("ok"));
    QCOMPARE(lirotag::GetLyricText(*window_->lyricEdit()), std::string("ok"));
  }

  void droppingASongOpensIt() {
    const QString song = ShortSong();
    const QString lyric = dir_.filePath(QStringLiteral("词.lrc"));
    QFile file(lyric);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    Drop(window_.get(), {QUrl::fromLocalFile(lyric), QUrl::fromLocalFile(song)});
    QCOMPARE(QString::fromStdString(window_->SongPath()), song);
    QCOMPARE(lirotag::GetLyricText(*window_->lyricEdit()), std::string("keep me"));

    QTest::mouseClick(Find<QPushButton>("按钮_关闭歌曲"), Qt::LeftButton);
    Drop(window_->lyricEdit(), {QUrl::fromLocalFile(song)});
    QCOMPARE(QString::fromStdString(window_->SongPath()), song);
    QCOMPARE(lirotag::GetLyricText(*window_->lyricEdit()), std::string("keep me"));
  }
};

QTEST_MAIN(TransportTest)
#include "transport_test.moc"
