#include "shell/editing.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::ui::LyricEdit;

namespace {

QStringList Lines(const LyricEdit* box) {
  return box->toPlainText().split(QLatin1Char('\n'));
}

QPushButton* Button(MainWindow* window, const char* name) {
  return window->findChild<QPushButton*>(QString::fromUtf8(name));
}

// How many pixels of line n, as the user sees it, are in `colour`.
int PixelsOfLine(LyricEdit* box, int n, QColor colour) {
  const QImage image = box->viewport()->grab().toImage();
  const QTextBlock block = box->document()->findBlockByNumber(n);
  const QRect rect = box->cursorRect(QTextCursor(block));
  int count = 0;
  for (int y = std::max(0, rect.top()); y <= std::min(image.height() - 1, rect.bottom()); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  std::unique_ptr<MainWindow> window_;
  LyricEdit* box_ = nullptr;

  // The window in front with `text` loaded and the focus on "关于".
  void Start(const QString& text) {
    window_ = f_.MakeActiveWindow();
    QVERIFY(window_);
    box_ = window_->lyricEdit();
    box_->setPlainText(text);
    window_->editing()->editor().ResetHighlight();
    Button(window_.get(), "按钮_关于")->setFocus();
    QTRY_VERIFY(!box_->hasFocus());
  }
  void Key(int key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }

 private slots:
  void cleanup() {
    window_.reset();
    f_.player.Free();
  }

  void mnemonicsStampAtOnceAndTheHighlightFollows() {
    Start(QStringLiteral("a\nb\nc\nd"));
    QVERIFY(window_->transport()->OpenSong(f_.MakeSong(10)));
    QVERIFY(f_.player.SeekSeconds(1.5));
    Key(Qt::Key_A, Qt::AltModifier);  // no wait: the stamp is made on the key press
    Key(Qt::Key_R, Qt::AltModifier);
    QCOMPARE(Lines(box_), (QStringList{"[00:01.50]a", "[00:01.50]b", "c", "d"}));
    QCOMPARE(QApplication::focusWidget(), Button(window_.get(), "按钮_替换标签"));
    QCOMPARE(box_->HighlightFirst(), 2);
    // What the user sees: the highlighted line red, the others black on white.
    QVERIFY(PixelsOfLine(box_, 2, Qt::red) > 0);
    QCOMPARE(PixelsOfLine(box_, 1, Qt::red), 0);
    QVERIFY(PixelsOfLine(box_, 1, Qt::black) > 0);
    Key(Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(box_->HighlightFirst(), 1);
    QCOMPARE(box_->textCursor().selectedText(), QStringLiteral("[00:01.50]b"));
    Key(Qt::Key_D, Qt::AltModifier);
    QCOMPARE(Lines(box_).at(1), QStringLiteral("b"));
    Key(Qt::Key_Down, Qt::AltModifier);
    Key(Qt::Key_Down, Qt::AltModifier | Qt::ControlModifier);
    QCOMPARE(box_->HighlightFirst(), 3);

    // Each command is one undo step, and the colours are none. Into the box, the caret
    // waits at the start of the highlighted line, which keeps its colour.
    box_->setFocus();
    QTRY_VERIFY(box_->hasFocus());
    QCOMPARE(box_->HighlightFirst(), 3);
    QVERIFY(!box_->textCursor().hasSelection());
    QCOMPARE(box_->textCursor().blockNumber(), 3);
    QCOMPARE(box_->textCursor().positionInBlock(), 0);
    QVERIFY(PixelsOfLine(box_, 3, Qt::red) > 0);
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Lines(box_).at(1), QStringLiteral("[00:01.50]b"));
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box_->toPlainText(), QStringLiteral("a\nb\nc\nd"));
    QVERIFY(!box_->document()->isUndoAvailable());
  }

  void aSelectionBecomesTheRangeOfTheClickedCommand() {
    Start(QStringLiteral("l0\nl1\nl2\nl3\nl4\nl5\nl6\nl7"));
    QVERIFY(window_->transport()->OpenSong(f_.MakeSong(10)));
    box_->setFocus();
    QTRY_VERIFY(box_->hasFocus());
    QTextCursor cursor(box_->document()->findBlockByNumber(3));
    cursor.setPosition(cursor.position() + 1);
    cursor.setPosition(box_->document()->findBlockByNumber(5).position() + 1,
                       QTextCursor::KeepAnchor);
    box_->setTextCursor(cursor);
    Key(Qt::Key_A, Qt::AltModifier);  // typed while in the box
    QCOMPARE(Lines(box_).mid(2, 5),
             (QStringList{"l2", "[00:00.00]l3", "[00:00.00]l4", "[00:00.00]l5", "l6"}));
    QCOMPARE(box_->HighlightFirst(), 6);
    QCOMPARE(box_->HighlightLast(), 6);
    // Alt+Up and Alt+Down belong to the box while it has the focus.
    box_->setFocus();
    QTRY_VERIFY(box_->hasFocus());
    Key(Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(window_->editing()->editor().RangeFirst(), 6);
    // Alt+E: into the box, then to "加入标签", whichever button had the focus.
    QWidget* add = Button(window_.get(), "按钮_加入标签");
    Key(Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), add);
    Button(window_.get(), "按钮_关于")->setFocus();
    Key(Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), box_);
    Key(Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), add);
  }

  void wholeTextCommandsAndJump() {
    Start(QStringLiteral("[offset:1000]\n[33:44.55][00:11.22]Content\nplain"));
    QVERIFY(window_->transport()->OpenSong(f_.MakeSong(20)));
    QTest::mouseClick(Button(window_.get(), "按钮_整合偏移"), Qt::LeftButton);
    QCOMPARE(Lines(box_), (QStringList{"[33:45.55][00:12.22]Content", "plain", ""}));
    QCOMPARE(box_->HighlightFirst(), 0);
    QTest::mouseClick(Button(window_.get(), "按钮_跳到进度"), Qt::LeftButton);
    QCOMPARE(f_.player.PositionSeconds(), 0.0);  // beyond the song: the player refuses
    QTest::mouseClick(Button(window_.get(), "按钮_跳到进度"), Qt::LeftButton);
    QVERIFY(qAbs(f_.player.PositionSeconds() - 12.22) < 0.001);
    QTest::mouseClick(Button(window_.get(), "按钮_拆分标签"), Qt::LeftButton);
    QTest::mouseClick(Button(window_.get(), "按钮_删除空行"), Qt::LeftButton);
    QTest::mouseClick(Button(window_.get(), "按钮_折叠相同文本"), Qt::LeftButton);
    QCOMPARE(Lines(box_), (QStringList{"plain", "[33:45.55][00:12.22]Content"}));
    // An offset no song can have is refused, saying so, and nothing changes.
    box_->setPlainText(QStringLiteral("[offset:1e400]\n[00:01.00]a"));
    lirotag::ui::MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(Button(window_.get(), "按钮_整合偏移"), Qt::LeftButton);
    QCOMPARE(Lines(box_), (QStringList{"[offset:1e400]", "[00:01.00]a"}));
    QVERIFY(lirotag::ui::MessageBox::LastText().startsWith(QStringLiteral("“[offset:1e400]”")));
    QCOMPARE(lirotag::ui::MessageBox::LastIcon(), QMessageBox::Warning);
  }

  void keysSeekAndScroll() {
    QStringList many;
    for (int i = 0; i < 200; ++i) many << QString::number(i);
    Start(many.join(QLatin1Char('\n')));
    QVERIFY(window_->transport()->OpenSong(f_.MakeSong(10)));
    QVERIFY(f_.player.SeekSeconds(2.0));
    Key(Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(f_.player.PositionSeconds(), 0.0);
    QVERIFY(f_.player.SeekSeconds(7.0));
    Key(Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(f_.player.PositionSeconds(), f_.player.LengthSeconds());
    // Every repeat of a held key seeks; a release does nothing.
    QVERIFY(f_.player.SeekSeconds(9.0));
    for (int i = 0; i < 2; ++i) {
      QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Left, Qt::AltModifier, QString(), true);
      QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    }
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Left, Qt::AltModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &release);
    QCOMPARE(f_.player.PositionSeconds(), 0.0);
    // Ctrl+Up/Down scroll the text, in the box too, without moving the caret.
    box_->setFocus();
    QTRY_VERIFY(box_->hasFocus());
    const int caret = box_->textCursor().position();
    const int top = box_->verticalScrollBar()->value();
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(box_->verticalScrollBar()->value(), top + 1);
    QCOMPARE(box_->textCursor().position(), caret);
    // With another window in front, the keys are that window's.
    QTest::mouseClick(Button(window_.get(), "按钮_设置"), Qt::LeftButton);
    QTRY_VERIFY(QApplication::activeWindow() != window_.get());
    QVERIFY(f_.player.SeekSeconds(8.0));
    QTest::keyClick(QApplication::activeWindow(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(f_.player.PositionSeconds(), 8.0);
  }

  void contextMenuOffersWhatCanBeDone() {
    Start(QStringLiteral("abc def"));
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    box_->setFocus();
    QTRY_VERIFY(box_->hasFocus());
    box_->moveCursor(QTextCursor::End);
    QMenu* menu = box_->findChild<QMenu*>(QStringLiteral("右键菜单"));
    QVERIFY(menu);
    auto openMenu = [&] {
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                              box_->mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(box_->viewport(), &event);
      QTRY_VERIFY(menu->isVisible());
    };
    openMenu();
    // The editing items come first; features append their own entries after them.
    QStringList items, enabled;
    for (QAction* action : menu->actions().mid(0, 10)) {
      items << action->text();
      if (action->isEnabled() && !action->isSeparator()) enabled << action->text();
    }
    QCOMPARE(items, (QStringList{"剪切(&T)", "复制(&C)", "粘贴(&P)", "删除(&D)", "", "全选(&A)", "",
                                 "重新载入为", "", "逐字模式(&W)"}));
    // Nothing loaded yet to read again.
    QCOMPARE(enabled, (QStringList{"粘贴(&P)", "删除(&D)", "全选(&A)", "逐字模式(&W)"}));
    menu->hide();
    // Opening the menu keeps the user's selection; deleting leaves the clipboard alone.
    box_->moveCursor(QTextCursor::Left, QTextCursor::KeepAnchor);
    openMenu();
    QVERIFY(menu->actions().at(0)->isEnabled());
    menu->actions().at(3)->trigger();
    menu->hide();
    QCOMPARE(box_->toPlainText(), QStringLiteral("abc de"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
  }
};

QTEST_MAIN(EditingTest)
#include "editing_test.moc"
