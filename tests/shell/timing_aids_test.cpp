#include "shell/timing_aids.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTextBlock>
#include <QToolTip>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "lyrics/edit_commands.h"
#include "lyrics/time_tags.h"
#include "shell/edit_buttons.h"
#include "shell/line_replay.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"
#include "ui/waveform_strip.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::ui::MessageBox;

class TimingAidsTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;

 private slots:
  void init() { QFile::remove(f_.IniPath()); }
  void cleanup() {
    f_.player.Free();
    MessageBox::ClearNextAnswer();
  }

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

  void stampsTakeTheReactionDelayOff() {
    lirotag::testing::WriteAll(f_.IniPath(), "[Lirotag]\r\nStampDelay=300\r\n");
    auto window = f_.MakeActiveWindow();
    QCOMPARE(window->settings().StampDelay, 300);
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    lirotag::ui::LyricEdit* box = window->lyricEdit();
    box->setPlainText(QStringLiteral("a\nb\nc"));
    window->editing()->editor().ResetHighlight();
    QVERIFY(f_.player.SeekSeconds(2.0));
    QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
    QCOMPARE(box->document()->findBlockByNumber(0).text(), QStringLiteral("[00:01.70]a"));
    // Word stamps too.
    QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);
    QVERIFY(f_.player.SeekSeconds(3.0));
    QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
    QCOMPARE(box->document()->findBlockByNumber(1).text(), QStringLiteral("[00:02.70]<00:02.70>b"));
    QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);
    // While playing: 0.3 s before the moment of the key press.
    window->editing()->editor().MoveHighlightDown();
    QVERIFY(f_.player.Play(false));
    QTRY_VERIFY(f_.player.PositionSeconds() > 3.5);
    const double before = f_.player.PositionSeconds();
    QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
    const double after = f_.player.PositionSeconds();
    const double stamped =
        lirotag::ParseTime(box->document()->findBlockByNumber(2).text().mid(1, 8).toStdString());
    QVERIFY2(stamped > before - 0.3 - 0.01 && stamped <= after - 0.3,
             qPrintable(QStringLiteral("%1 %2 %3").arg(before).arg(stamped).arg(after)));
  }

  // Alt+] / Alt+[ / Ctrl+Alt+] / Ctrl+Alt+[ wherever the focus is: the highlighted lines'
  // tags, word tags too, one undo step each; the highlight and the sung line follow.
  void nudgeKeysMoveTheHighlightedLinesTags() {
    auto window = f_.MakeActiveWindow();
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    lirotag::ui::LyricEdit* box = window->lyricEdit();
    box->setPlainText(
        QStringLiteral("[00:01.00]<00:01.00>床<00:01.50>前\n[00:00.05]b\n[00:05.00]c"));
    box->SelectLines(0, 1);
    window->editing()->editor().RangeFromSelection();
    QVERIFY(f_.player.SeekSeconds(1.05));
    window->timingAids()->Tick();
    QCOMPARE(box->SungLine(), 0);
    auto* addTag = window->findChild<QPushButton*>(QStringLiteral("按钮_加入标签"));
    addTag->setFocus();
    const auto lines = [box] {
      return box->document()->findBlockByNumber(0).text() + "|" +
             box->document()->findBlockByNumber(1).text() + "|" +
             box->document()->findBlockByNumber(2).text();
    };
    const QString original = lines();
    const struct {
      Qt::KeyboardModifiers modifiers;
      Qt::Key key;
      bool three;
      const char* after;
    } steps[] = {
        {Qt::AltModifier, Qt::Key_BracketRight, false,
         "[00:01.10]<00:01.10>床<00:01.60>前|[00:00.15]b|[00:05.00]c"},
        {Qt::AltModifier, Qt::Key_BracketLeft, false,
         "[00:01.00]<00:01.00>床<00:01.50>前|[00:00.05]b|[00:05.00]c"},
        {Qt::AltModifier, Qt::Key_BracketLeft, false,
         "[00:00.90]<00:00.90>床<00:01.40>前|[00:00.00]b|[00:05.00]c"},
        {Qt::ControlModifier | Qt::AltModifier, Qt::Key_BracketRight, false,
         "[00:00.91]<00:00.91>床<00:01.41>前|[00:00.01]b|[00:05.00]c"},
        {Qt::ControlModifier | Qt::AltModifier, Qt::Key_BracketLeft, true,
         "[00:00.900]<00:00.900>床<00:01.400>前|[00:00.000]b|[00:05.00]c"},
    };
    QStringList history{original};
    for (const auto& step : steps) {
      window->settings().ThreePointTime = step.three;
      QTest::keyClick(addTag, step.key, step.modifiers);
      QCOMPARE(lines(), QString::fromUtf8(step.after));
      history << lines();
      QCOMPARE(window->editing()->editor().RangeFirst(), 0);
      QCOMPARE(window->editing()->editor().RangeLast(), 1);
      QCOMPARE(box->HighlightFirst(), 0);
      QCOMPARE(box->HighlightLast(), 1);
    }
    // At 1.05 s line 0 (now 0.90) is sung again, at once.
    QCOMPARE(box->SungLine(), 0);
    QTest::keyClick(addTag, Qt::Key_BracketRight, Qt::AltModifier);
    QTest::keyClick(addTag, Qt::Key_BracketRight, Qt::AltModifier);  // 1.100: after 1.05
    QCOMPARE(box->SungLine(), 1);
    history << QString() << lines();
    // Each press is one step back, with Ctrl+Z where the focus is.
    for (qsizetype i = history.size() - 2; i >= 0; --i) {
      QTest::keyClick(addTag, Qt::Key_Z, Qt::ControlModifier);
      if (!history[i].isEmpty()) QCOMPARE(lines(), history[i]);
    }
    QCOMPARE(lines(), original);

    // Typing in the box: the caret's line, and the caret stays.
    window->settings().ThreePointTime = false;
    box->setFocus();
    QTextCursor caret(box->document()->findBlockByNumber(2));
    caret.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 5);
    box->setTextCursor(caret);
    QTest::keyClick(box, Qt::Key_BracketRight, Qt::AltModifier);
    QCOMPARE(lines(), QStringLiteral("[00:01.00]<00:01.00>床<00:01.50>前|[00:00.05]b|[00:05.10]c"));
    QVERIFY(box->hasFocus());
    QCOMPARE(box->textCursor().blockNumber(), 2);
    QCOMPARE(box->textCursor().positionInBlock(), 5);
    QVERIFY(!box->textCursor().hasSelection());
  }

  void altLPlaysTheLineAndPausesAtTheNextOne() {
    auto window = f_.MakeActiveWindow();
    lirotag::ui::LyricEdit* box = window->lyricEdit();
    box->setPlainText(QStringLiteral("[00:01.00]a\n[00:02.20]b\nno time\n[00:00.50]zero"));
    window->editing()->editor().ResetHighlight();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
    QCOMPARE(MessageBox::LastText(), QStringLiteral("请先打开歌曲"));
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    for (int again = 0; again < 2; ++again) {
      QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
      QCOMPARE(f_.player.State(), lirotag::kActivePlaying);
      QVERIFY(f_.player.PositionSeconds() < 1.5);
      QCOMPARE(window->lineReplay()->StopTime().value_or(-1), 2.2);
      QTRY_COMPARE_WITH_TIMEOUT(f_.player.State(), lirotag::kActivePaused, 4000);
      QVERIFY(qAbs(f_.player.PositionSeconds() - 2.2) < 1.0 / 8000);
      QCOMPARE(window->findChild<QPushButton*>(QStringLiteral("按钮_播放暂停"))->text(),
               QStringLiteral("播放(&P)"));
    }
    window->editing()->editor().MoveHighlightDown();
    window->editing()->editor().MoveHighlightDown();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::keyClick(window.get(), Qt::Key_L, Qt::AltModifier);
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("没有时间标签")));
    QCOMPARE(f_.player.State(), lirotag::kActivePaused);
  }

  void theStripRulesHoversAndDragsMarks() {
    auto window = f_.MakeActiveWindow();
    QTest::keyClick(window.get(), Qt::Key_V, Qt::AltModifier);
    lirotag::ui::WaveformStrip* strip = window->timingAids()->Strip();
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    lirotag::ui::LyricEdit* box = window->lyricEdit();
    box->setPlainText(QStringLiteral("[00:02.00]<00:02.00>床<00:02.50>前\n[00:06.00]b"));
    window->editing()->editor().ResetHighlight();
    QVERIFY(f_.player.SeekSeconds(5.0));
    window->timingAids()->Tick();
    // The peaks' decoder opens off the GUI thread; the strip shows the song once it has.
    QTRY_VERIFY(strip->ViewEnd() > strip->ViewStart());

    // Ruler labels stay readable at every zoom: at least 64 px apart, as close as steps allow.
    for (int zoom = 0; zoom < 10; ++zoom) {
      const double pixelsPerStep =
          strip->RulerStep() * strip->width() / (strip->ViewEnd() - strip->ViewStart());
      QVERIFY2(pixelsPerStep >= 64 && pixelsPerStep < 64 * 3, qPrintable(QString::number(zoom)));
      QWheelEvent wheel(QPointF(strip->XOf(5.0), 30), strip->mapToGlobal(QPointF(10, 30)), {},
                        {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(strip, &wheel);
    }
    QCOMPARE(strip->RulerStep(), 0.5);  // two seconds shown
    for (int zoom = 0; zoom < 10; ++zoom) {
      QWheelEvent wheel(QPointF(10, 30), strip->mapToGlobal(QPointF(10, 30)), {}, {0, -120},
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(strip, &wheel);
    }
    // The playhead: 2 px of its own colour, with a head in the ruler.
    const QImage image = strip->grab().toImage();
    const int x = strip->XOf(5.0);
    const QColor playhead = image.pixelColor(x, strip->height() - 3);
    QCOMPARE(image.pixelColor(x - 1, strip->height() - 3), playhead);
    QVERIFY(playhead != image.pixelColor(x + 2, strip->height() - 3));
    QCOMPARE(image.pixelColor(x, 2), playhead);
    QVERIFY(playhead != image.pixelColor(strip->XOf(6.0), strip->height() - 3));  // a mark

    // Hovering a mark names its line; word marks only in word mode.
    const auto hover = [strip](double t) {
      const QPoint at(strip->XOf(t), 30);
      QHelpEvent help(QEvent::ToolTip, at, strip->mapToGlobal(at));
      QApplication::sendEvent(strip, &help);
      return QToolTip::text();
    };
    QCOMPARE(hover(6.0), QStringLiteral("00:06.00  b"));
    QCOMPARE(hover(2.5), strip->toolTip());
    QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);
    QCOMPARE(hover(2.5), QStringLiteral("00:02.50  床前"));
    QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);

    // Dragging a line mark moves the line's time, its words along, in one undo step.
    const QString original = box->document()->firstBlock().text();
    const QPoint from(strip->XOf(2.0), 30), to(strip->XOf(3.0), 30);
    QTest::mousePress(strip, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), strip->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(strip, &move);
    const double dropped = strip->DragTime().value_or(-1);
    QVERIFY(qAbs(dropped - 3.0) < 0.05);
    QCOMPARE(strip->DragText(), QString::fromStdString(lirotag::FormatTime(dropped, false)));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, to);
    QVERIFY(!strip->DragTime());
    const QString tag = QString::fromStdString(lirotag::FormatTime(dropped, false));
    const QString half = QString::fromStdString(
        lirotag::FormatTime(lirotag::ParseTime(tag.toStdString()) + 0.5, false));
    QCOMPARE(box->document()->firstBlock().text(),
             QStringLiteral("[%1]<%1>床<%2>前").arg(tag, half));
    QCOMPARE(window->timingAids()->Tags().Entries().front().time,
             lirotag::ParseTime(tag.toStdString()));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->document()->firstBlock().text(), original);
    // A click on a mark without moving seeks there.
    window->timingAids()->Tick();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->XOf(6.0), 30));
    QVERIFY(qAbs(f_.player.PositionSeconds() - strip->TimeAt(strip->XOf(6.0))) < 0.001);
  }
};

QTEST_MAIN(TimingAidsTest)
#include "timing_aids_test.moc"
