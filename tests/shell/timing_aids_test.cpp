#include "shell/timing_aids.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTextBlock>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "lyrics/edit_commands.h"
#include "shell/edit_buttons.h"
#include "shell/transport.h"
#include "ui/lyric_edit.h"
#include "ui/waveform_strip.h"
#include "window_fixture.h"

using lirotag::MainWindow;

class TimingAidsTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;

 private slots:
  void init() { QFile::remove(f_.IniPath()); }
  void cleanup() { f_.player.Free(); }

  void slowedPlaybackShowsItsSpeedAndStampsSongTime() {
    auto window = f_.MakeActiveWindow();
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    QVERIFY(f_.player.SeekSeconds(2.0));
    window->lyricEdit()->setPlainText(QStringLiteral("a\nb"));
    window->editing()->editor().ResetHighlight();
    for (int i = 0; i < 12; ++i) QTest::keyClick(window.get(), Qt::Key_Minus, Qt::AltModifier);
    QCOMPARE(f_.player.PlaybackSpeed(), 0.5);  // no lower than half speed
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::AltModifier);
    QCOMPARE(f_.player.PlaybackSpeed(), 0.55);
    auto* time = window->findChild<QLabel*>(QStringLiteral("标签_当前时间"));
    QTRY_COMPARE(time->text(), QStringLiteral("00:02.00 ×0.55"));  // at the next tick
    QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
    QCOMPARE(window->lyricEdit()->toPlainText().left(10), QStringLiteral("[00:02.00]"));
    QTest::keyClick(window.get(), Qt::Key_0, Qt::AltModifier);
    QCOMPARE(f_.player.PlaybackSpeed(), 1.0);
    QTRY_COMPARE(time->text(), QStringLiteral("00:02.00"));
  }

  void theStripMarksTagsSeeksAndIsRemembered() {
    const std::string song = f_.MakeSong(10);
    {
      auto window = f_.MakeActiveWindow();
      lirotag::ui::WaveformStrip* strip = window->timingAids()->Strip();
      QVERIFY(!strip->isVisible());  // the designed layout until asked for
      const QRect box = window->lyricEdit()->geometry();
      QTest::keyClick(window.get(), Qt::Key_V, Qt::AltModifier);
      QVERIFY(strip->isVisible());
      QCOMPARE(window->lyricEdit()->y(), box.y() + lirotag::TimingAids::kStripHeight);
      // No song: not a bare band, but a word on what it will show.
      const QImage empty = strip->grab().toImage();
      const QColor ground = empty.pixelColor(0, 0);
      int drawn = 0;
      for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x) drawn += empty.pixelColor(x, y) != ground;
      QVERIFY(drawn > 100);
      QVERIFY(window->transport()->OpenSong(song));
      window->lyricEdit()->setPlainText(
          QStringLiteral("[ti:x]\n[00:03.00]b\n[00:01.00][00:05.00]a\n[la:en]"));
      window->timingAids()->Tick();
      QTRY_VERIFY(strip->ViewEnd() > 0);  // the waveform is opened off the GUI thread
      std::vector<double> times;
      for (const auto& e : window->timingAids()->Tags().Entries()) times.push_back(e.time);
      QCOMPARE(times, (std::vector<double>{1.0, 3.0, 5.0}));
      // The sung line is the last tag at or before the time, over the whole text.
      const struct {
        double at;
        int line;
      } sung[] = {{0.5, -1}, {1.0, 2}, {4.0, 1}, {9.0, 2}};
      for (const auto& s : sung) {
        QVERIFY(f_.player.SeekSeconds(s.at));
        window->timingAids()->Tick();
        QCOMPARE(window->lyricEdit()->SungLine(), s.line);
      }
      // Marks follow an edit at once.
      window->lyricEdit()->moveCursor(QTextCursor::End);
      window->lyricEdit()->insertPlainText(QStringLiteral("\n[00:07.50]c"));
      window->timingAids()->Tick();
      QCOMPARE(window->timingAids()->Tags().Entries().back().time, 7.5);
      // A click seeks to the time under the mouse.
      const int x = strip->width() / 2;
      const double target = strip->TimeAt(x);
      QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(x, 10));
      QVERIFY(qAbs(f_.player.PositionSeconds() - target) < 0.001);
      // The wheel zooms around the mouse: the time under it stays.
      const double span = strip->ViewEnd() - strip->ViewStart();
      QWheelEvent wheel(QPointF(x, 10), strip->mapToGlobal(QPointF(x, 10)), {}, {0, 120},
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(strip, &wheel);
      QVERIFY(strip->ViewEnd() - strip->ViewStart() < span);
      QVERIFY(qAbs(strip->TimeAt(x) - target) < 0.05);
      // A seek while paused out of the zoomed view brings the playhead into it; the
      // playhead at rest leaves the user's view alone.
      QVERIFY(f_.player.SeekSeconds(9.5));
      QVERIFY(strip->ViewEnd() < 9.5);
      window->timingAids()->Tick();
      QVERIFY(strip->ViewStart() <= 9.5 && 9.5 <= strip->ViewEnd());
      QApplication::sendEvent(strip, &wheel);
      const double start = strip->ViewStart();
      window->timingAids()->Tick();
      QCOMPARE(strip->ViewStart(), start);
    }
    auto again = f_.MakeActiveWindow();  // the choice is kept for the next start
    QVERIFY(again->timingAids()->Strip()->isVisible());
  }

  void wordModeStampsWordByWordAndMarksTheSungWord() {
    {
      auto window = f_.MakeActiveWindow();
      QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
      lirotag::ui::LyricEdit* box = window->lyricEdit();
      box->setPlainText(QStringLiteral("床前 明月光\nnext"));
      window->editing()->editor().ResetHighlight();
      auto* indicator = window->findChild<QLabel*>(QStringLiteral("标签_逐字模式"));
      QVERIFY(!indicator->isVisible());
      QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);
      QVERIFY(window->editing()->WordMode() && indicator->isVisible());
      QVERIFY(box->ContextMenu()->actions().contains(window->editing()->WordModeAction()));
      for (double t : {1.0, 1.5, 2.0}) {
        QVERIFY(f_.player.SeekSeconds(t));
        QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
      }
      QCOMPARE(box->document()->firstBlock().text(),
               QStringLiteral("[00:01.00]<00:01.00>床<00:01.50>前 <00:02.00>明月光"));
      QTest::keyClick(window.get(), Qt::Key_D, Qt::AltModifier);  // the last word again
      QCOMPARE(box->document()->firstBlock().text(),
               QStringLiteral("[00:01.00]<00:01.00>床<00:01.50>前 明月光"));
      // While the song is at 1.7 s, "前" is being sung: marked, the text untouched.
      QVERIFY(f_.player.SeekSeconds(1.7));
      window->timingAids()->Tick();
      const auto marks = box->extraSelections();
      QVERIFY(!marks.isEmpty());
      QCOMPARE(marks.last().cursor.selectedText(), QStringLiteral("前"));
      QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);  // the line from the start
      QCOMPARE(box->document()->firstBlock().text(), QStringLiteral("床前 明月光"));
    }
    auto again = f_.MakeActiveWindow();  // remembered
    QVERIFY(again->editing()->WordMode());
    QTest::keyClick(again.get(), Qt::Key_W, Qt::AltModifier);
    QVERIFY(!again->editing()->WordMode());
  }
};

QTEST_MAIN(TimingAidsTest)
#include "timing_aids_test.moc"
