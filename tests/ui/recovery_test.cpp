#include "shell/recovery.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "files/recovery_file.h"
#include "lyrics/lyric_box.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::testing::ReadAll;
using lirotag::testing::WriteAll;
using lirotag::ui::MessageBox;

class RecoveryTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  QString Dir() const { return f_.dir.filePath(QStringLiteral("state")); }
  QStringList Files() const { return QDir(Dir()).entryList(QDir::Files, QDir::Name); }
  std::string Kept(MainWindow& w) { return ReadAll(w.recovery()->FilePath()); }

 private slots:
  void init() {
    QDir(Dir()).removeRecursively();
    QDir().mkpath(Dir());
    f_.recoveryDir = Dir().toStdString();
  }
  void cleanup() {
    f_.player.Free();
    MessageBox::ClearNextAnswer();
  }

  void keptAfterChangesGoneAfterSaveAndClose() {
    auto window = f_.MakeActiveWindow();
    window->lyricEdit()->insertPlainText(QStringLiteral("[00:01.00]床前明月光\n疑是地上霜"));
    window->recovery()->Flush();
    lirotag::RecoveryRecord kept;
    std::string err;
    QVERIFY(lirotag::ParseRecovery(Kept(*window), &kept, &err));
    QCOMPARE(kept.text, std::string("[00:01.00]床前明月光\r\n疑是地上霜"));
    lirotag::ui::SetNextFileDialogResult(
        f_.dir.filePath(QStringLiteral("saved.lrc")).toStdString());
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_保存歌词")),
                      Qt::LeftButton);
    QVERIFY(!QFile::exists(QString::fromStdString(window->recovery()->FilePath())));
    window->lyricEdit()->insertPlainText(QStringLiteral("!"));
    window->recovery()->Flush();
    QVERIFY(QFile::exists(QString::fromStdString(window->recovery()->FilePath())));
    // Closing asks first: Cancel keeps everything, 不保存 lets the file go.
    MessageBox::SetNextAnswer(QMessageBox::Cancel);
    QVERIFY(!window->close());
    QVERIFY(QFile::exists(QString::fromStdString(window->recovery()->FilePath())));
    MessageBox::SetNextAnswer(QMessageBox::Discard);
    QVERIFY(window->close());
    window.reset();
    QCOMPARE(Files(), QStringList());

    // A window that goes without its close question (the session ends) leaves the
    // unsaved text for the next start, kept up to its last key.
    window = f_.MakeActiveWindow();
    window->lyricEdit()->insertPlainText(QStringLiteral("unsaved"));
    const std::string file = window->recovery()->FilePath();
    window.reset();
    QVERIFY(lirotag::ParseRecovery(ReadAll(file), &kept, &err));
    QCOMPARE(kept.text, std::string("unsaved"));
    QFile::remove(QString::fromStdString(file));
  }

  void aCrashedRunsTextIsOfferedBack() {
    const std::string song = f_.MakeSong(2);
    // Every character as it was: CR LF between lines, a no-break space, an emoji.
    const std::string text =
        "[ti:夜]\r\n[00:01.00]a\xC2\xA0"
        "b 🎵\r\n\r\n한";
    const struct {
      QMessageBox::StandardButton answer;
      bool restored;
    } cases[] = {{QMessageBox::Yes, true}, {QMessageBox::No, false}};
    for (const auto& c : cases) {
      WriteAll(Dir().toStdString() + "/recovery-1-2.txt",
               lirotag::SerializeRecovery({"2026-12-09 06:30:12", song, text, 1, 1}));
      auto window = f_.MakeActiveWindow();
      MessageBox::SetNextAnswer(c.answer);
      window->StartUp({});
      QVERIFY(MessageBox::LastText().contains(QStringLiteral("2026-12-09 06:30:12")));
      QVERIFY(MessageBox::LastText().contains(QStringLiteral("[ti:夜]")));
      QCOMPARE(lirotag::GetLyricText(*window->lyricEdit()) == text, c.restored);
      QCOMPARE(window->SongPath() == song, c.restored);
      // Restored, it goes on at the line the user was on, and counts as unsaved.
      QCOMPARE(window->lyricEdit()->HighlightFirst(), c.restored ? 1 : 0);
      QCOMPARE(window->unsavedChanges()->Any(), c.restored);
      QVERIFY(!Files().contains(QStringLiteral("recovery-1-2.txt")));
      lirotag::testing::GiveUpUnsavedText(*window);
      QVERIFY(window->close());
    }
  }

  void damagedAndLiveFilesAreNotTaken() {
    WriteAll(Dir().toStdString() + "/recovery-3-4.txt", "Lirotag recovery 1\nsaved: x\n");
    auto owner = f_.MakeActiveWindow();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    owner->StartUp({});
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("已损坏")));
    QVERIFY(Files().contains(QStringLiteral("recovery-3-4.txt.damaged")));
    // A window still running keeps its file: another one neither offers nor removes it.
    owner->lyricEdit()->insertPlainText(QStringLiteral("mine"));
    owner->recovery()->Flush();
    auto other = f_.MakeWindow();
    const int shown = MessageBox::ShownCount();
    other->StartUp({});
    QCOMPARE(MessageBox::ShownCount(), shown);
    QVERIFY(QFile::exists(QString::fromStdString(owner->recovery()->FilePath())));
  }

  void filesGivenAtStartAreOpened() {
    const std::string song = f_.MakeSong(1);
    const QString lyric = f_.dir.filePath(QStringLiteral("a.lrc"));
    WriteAll(lyric.toStdString(), "[00:01.00]x");
    auto window = f_.MakeActiveWindow();
    window->StartUp({lyric, QString::fromStdString(song)});
    QCOMPARE(window->SongPath(), song);
    QCOMPARE(window->lyricEdit()->toPlainText(), QStringLiteral("[00:01.00]x"));
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    window->StartUp({f_.dir.filePath(QStringLiteral("missing.lrc"))});
    QVERIFY(MessageBox::LastText().startsWith(QStringLiteral("打开文件")));
    QVERIFY(window->isVisible());
  }
};

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"
