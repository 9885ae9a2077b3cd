#include "shell/unsaved_changes.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "shell/editing.h"
#include "shell/lyric_files.h"
#include "shell/recovery.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::testing::ReadAll;
using lirotag::testing::WriteAll;
using lirotag::ui::MessageBox;

// A working day at the window: what is saved and what is not, closing and loading over
// unsaved text, saving from the keyboard, undo from anywhere, and the transport's end.
class UnsavedChangesTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  std::unique_ptr<MainWindow> window_;

  QString Path(const char* name) const { return f_.dir.filePath(QString::fromUtf8(name)); }
  QLabel* FileLabel() { return window_->findChild<QLabel*>(QStringLiteral("标签_歌词文件")); }
  QPushButton* Button(const char* name) {
    return window_->findChild<QPushButton*>(QString::fromUtf8(name));
  }
  QString Text() { return window_->lyricEdit()->toPlainText(); }
  void Type(const QString& text) {
    window_->lyricEdit()->setFocus();
    QTRY_VERIFY(window_->lyricEdit()->hasFocus());
    QTest::keyClicks(window_->lyricEdit(), text);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }
  // The next message box shown for real gets these keys, after its buttons were read.
  void AnswerRealBox(QList<Qt::Key> keys, QStringList* buttons, QString* defaultButton) {
    QTimer::singleShot(0, this, [=] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      for (QAbstractButton* b : box->buttons()) buttons->append(b->text());
      if (box->defaultButton()) *defaultButton = box->defaultButton()->text();
      for (Qt::Key key : keys) QTest::keyClick(box, key);
    });
  }

 private slots:
  void init() {
    QFile::remove(f_.IniPath());
    QDir(Path("state")).removeRecursively();
    f_.recoveryDir = Path("state").toStdString();
    window_ = f_.MakeActiveWindow();
    QVERIFY(window_);
    window_->settings().Automatic = false;  // the save dialog asks, unless a test says
    window_->settings().Encoding = 2;       // UTF-8, to compare with what was typed
  }
  void cleanup() {
    if (window_) {
      if (window_->NeedsExitConfirmation()) MessageBox::SetNextAnswer(QMessageBox::Ok);
      lirotag::testing::GiveUpUnsavedText(*window_);
      window_->close();
    }
    window_.reset();
    f_.player.Free();
    MessageBox::ClearNextAnswer();
  }

  void closingWithUnsavedTextAsks_data() {
    QTest::addColumn<bool>("song");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("dialogGivesPath");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::newRow("no song, cancel")
        << false << int(QMessageBox::Cancel) << false << false << false;
    QTest::newRow("no song, don't save")
        << false << int(QMessageBox::Discard) << false << true << false;
    QTest::newRow("song, save") << true << int(QMessageBox::Save) << true << true << true;
    QTest::newRow("song, save cancelled")
        << true << int(QMessageBox::Save) << false << false << false;
  }

  void closingWithUnsavedTextAsks() {
    QFETCH(bool, song);
    QFETCH(int, answer);
    QFETCH(bool, dialogGivesPath);
    QFETCH(bool, closes);
    QFETCH(bool, written);
    if (song) QVERIFY(window_->transport()->OpenSong(f_.MakeSong(2)));
    QCOMPARE(FileLabel()->text(), QStringLiteral("未命名"));
    Type(QStringLiteral("abc"));
    QCOMPARE(FileLabel()->text(), QStringLiteral("* 未命名"));
    window_->recovery()->Flush();
    const QString recovery = QString::fromStdString(window_->recovery()->FilePath());
    QVERIFY(QFile::exists(recovery));

    QFile::remove(Path("out.lrc"));
    lirotag::ui::SetNextFileDialogResult(
        dialogGivesPath ? std::optional(Path("out.lrc").toStdString()) : std::nullopt);
    MessageBox::SetNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    const int shown = MessageBox::ShownCount();
    QCOMPARE(window_->close(), closes);
    // One question, this one, and never the general exit question as well.
    QCOMPARE(MessageBox::ShownCount(), shown + 1);
    QCOMPARE(MessageBox::LastText(), QStringLiteral("歌词尚未保存，是否保存？"));
    QCOMPARE(window_->isVisible(), !closes);
    QCOMPARE(ReadAll(Path("out.lrc")) ==
                 "\xEF\xBB\xBF"
                 "abc",
             written);
    QCOMPARE(Text(), QStringLiteral("abc"));
    window_.reset();
    // The kept text goes only once it is saved or given up.
    QCOMPARE(QFile::exists(recovery), !closes);
    QFile::remove(recovery);
  }

  void theRealQuestionKeepsEverythingOnEscAndEnter() {
    Type(QStringLiteral("abc"));
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
      QStringList buttons;
      QString defaultButton;
      AnswerRealBox({key}, &buttons, &defaultButton);
      QVERIFY(!window_->close());
      QCOMPARE(buttons.size(), 3);
      for (const char* caption : {"保存", "不保存", "取消"})
        QVERIFY2(buttons.contains(QString::fromUtf8(caption)), caption);
      QCOMPARE(defaultButton, QStringLiteral("取消"));
      QVERIFY(window_->isVisible());
      QCOMPARE(Text(), QStringLiteral("abc"));
    }
  }

  void savedTextClosesAsBefore() {
    // Saved, and undone back to the saved text: nothing to ask.
    Type(QStringLiteral("ab"));
    lirotag::ui::SetNextFileDialogResult(Path("a.lrc").toStdString());
    Key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!window_->unsavedChanges()->Any());
    Type(QStringLiteral("c"));
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Text(), QStringLiteral("ab"));
    QVERIFY(!window_->unsavedChanges()->Any());
    const int shown = MessageBox::ShownCount();
    QVERIFY(window_->close());
    QCOMPARE(MessageBox::ShownCount(), shown);
  }

  void loadingOverUnsavedTextAsksFirst() {
    WriteAll(Path("new.txt"), "new text");
    Type(QStringLiteral("mine"));
    const std::string file = Path("new.txt").toStdString();
    MessageBox::SetNextAnswer(QMessageBox::Cancel);
    QVERIFY(!window_->lyricFiles()->LoadLyricFile(file));
    QCOMPARE(MessageBox::LastText(), QStringLiteral("歌词尚未保存，是否保存？"));
    QCOMPARE(Text(), QStringLiteral("mine"));
    MessageBox::SetNextAnswer(QMessageBox::Discard);
    lirotag::ui::SetNextFileDialogResult(file);
    QTest::mouseClick(Button("按钮_载入文本"), Qt::LeftButton);
    QCOMPARE(Text(), QStringLiteral("new text"));
    // The loaded file is named, and counts as unsaved until saved as LRC.
    QCOMPARE(FileLabel()->text(), QStringLiteral("* new.txt"));
    // Without a song the dialog proposes the loaded file's name as LRC, beside it.
    lirotag::ui::SetNextFileDialogResult(std::nullopt);
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(lirotag::ui::LastFileDialogOptions().initialFile, Path("new.lrc").toStdString());
  }

  void ctrlSSavesBesideTheSongAndSaysSo() {
    const std::string song = f_.MakeSong(2);
    QVERIFY(window_->transport()->OpenSong(song));
    Type(QStringLiteral("[00:01.00]x"));
    // Asking for the place: the song's name with .lrc, in its folder.
    lirotag::ui::SetNextFileDialogResult(std::nullopt);
    Button("按钮_加入标签")->setFocus();
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(lirotag::ui::LastFileDialogOptions().initialFile, Path("song.lrc").toStdString());
    QVERIFY(window_->unsavedChanges()->Any());

    // Saving automatically, from the focus on a button.
    window_->settings().Automatic = true;
    window_->settings().Path = "%LocalDir%/%FileName%.lrc";
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(ReadAll(Path("song.lrc")), std::string("\xEF\xBB\xBF[00:01.00]x"));
    QCOMPARE(FileLabel()->text(), QStringLiteral("已保存：song.lrc"));
    QVERIFY(FileLabel()->toolTip().contains(Path("song.lrc")));
    QTRY_COMPARE_WITH_TIMEOUT(FileLabel()->text(), QStringLiteral("song.lrc"),
                              lirotag::UnsavedChanges::kSavedNoticeMs + 2000);
    Type(QStringLiteral("!"));
    QCOMPARE(FileLabel()->text(), QStringLiteral("* song.lrc"));
  }

  void undoAndRedoFromAnywhere() {
    QVERIFY(window_->transport()->OpenSong(f_.MakeSong(5)));
    window_->lyricEdit()->setPlainText(QStringLiteral("a\nb\nc"));
    window_->editing()->editor().ResetHighlight();
    Button("按钮_关于")->setFocus();
    QVERIFY(f_.player.SeekSeconds(1));
    Key(Qt::Key_A, Qt::AltModifier);
    Key(Qt::Key_A, Qt::AltModifier);  // one too many
    QCOMPARE(Text(), QStringLiteral("[00:01.00]a\n[00:01.00]b\nc"));
    QCOMPARE(QApplication::focusWidget(), Button("按钮_加入标签"));
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Text(), QStringLiteral("[00:01.00]a\nb\nc"));
    // The highlight is back on the line taken back, ready for the stamp again.
    QCOMPARE(window_->lyricEdit()->HighlightFirst(), 1);
    QCOMPARE(window_->editing()->editor().RangeFirst(), 1);
    Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Text(), QStringLiteral("[00:01.00]a\n[00:01.00]b\nc"));
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(Text(), QStringLiteral("[00:01.00]a\n[00:01.00]b\nc"));
    // In the box as well.
    Type(QStringLiteral("z"));
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(Text().contains(QLatin1Char('z')));
    // The help lists the keys.
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(Button("按钮_快捷键"), Qt::LeftButton);
    for (const char* key : {"Ctrl+Ｚ", "Ctrl+Ｙ", "Ctrl+Shift+Z", "Ctrl+Ｓ"})
      QVERIFY2(MessageBox::LastText().contains(QString::fromUtf8(key)), key);
  }

  void stampsNeedASong() {
    window_->lyricEdit()->setPlainText(QStringLiteral("a\nb"));
    window_->lyricEdit()->document()->setModified(false);
    window_->editing()->editor().ResetHighlight();
    Button("按钮_关于")->setFocus();
    for (int key : {Qt::Key_A, Qt::Key_R}) {
      MessageBox::SetNextAnswer(QMessageBox::Ok);
      const int shown = MessageBox::ShownCount();
      Key(key, Qt::AltModifier);
      QCOMPARE(MessageBox::ShownCount(), shown + 1);
      QCOMPARE(MessageBox::LastText(), QStringLiteral("请先打开歌曲"));
      QCOMPARE(Text(), QStringLiteral("a\nb"));
      QCOMPARE(window_->lyricEdit()->HighlightFirst(), 0);
      QVERIFY(!window_->unsavedChanges()->Any());
    }
  }

  void aSongAtItsEndOffersToPlayAgain() {
    QVERIFY(window_->transport()->OpenSong(f_.MakeSong(1)));
    auto* play = Button("按钮_播放暂停");
    Key(Qt::Key_P, Qt::AltModifier);
    QCOMPARE(play->text(), QStringLiteral("暂停(&P)"));
    QTRY_COMPARE_WITH_TIMEOUT(play->text(), QStringLiteral("播放(&P)"), 5000);
    QVERIFY(play->isEnabled());
    QCOMPARE(f_.player.State(), int(lirotag::kActiveStopped));
    QVERIFY(f_.player.PositionSeconds() > 0.9);
    Key(Qt::Key_P, Qt::AltModifier);
    QCOMPARE(play->text(), QStringLiteral("暂停(&P)"));
    QVERIFY(f_.player.PositionSeconds() < 0.5);
  }
};

QTEST_MAIN(UnsavedChangesTest)
#include "unsaved_changes_test.moc"
