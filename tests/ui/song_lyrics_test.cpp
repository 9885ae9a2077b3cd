#include "shell/song_lyrics.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "shell/settings.h"
#include "shell/settings_window.h"
#include "shell/transport.h"
#include "tags/embedded_lyrics.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::testing::ReadAll;
using lirotag::ui::MessageBox;

class SongLyricsTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  std::unique_ptr<MainWindow> window_;
  std::string song_;

  QString Text() { return window_->lyricEdit()->toPlainText(); }
  std::string SongLyrics() {
    std::string lyrics;
    lirotag::ReadEmbeddedLyrics(song_, &lyrics);
    return lyrics;
  }
  // Typed as an input method commits it (Chinese has no keys of its own), Return between
  // lines.
  void Type(const QString& text) {
    window_->lyricEdit()->setFocus();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(window_->lyricEdit(), Qt::Key_Return);
      QInputMethodEvent commit;
      commit.setCommitString(lines[i]);
      QApplication::sendEvent(window_->lyricEdit(), &commit);
    }
  }
  void Key(Qt::Key key) {
    QTest::keyClick(window_.get(), key, Qt::ControlModifier | Qt::ShiftModifier);
  }
  // The lyric box's menu item, as a right click offers it.
  QAction* BoxItem(const char* text) {
    for (QAction* a : window_->lyricEdit()->ContextMenu()->actions()) {
      if (a->text().startsWith(QString::fromUtf8(text))) return a;
    }
    return nullptr;
  }
  // Answers the next message box with `answer`, does `act`, and waits for the box.
  void Answering(QMessageBox::StandardButton answer, const std::function<void()>& act) {
    const int shown = MessageBox::ShownCount();
    MessageBox::SetNextAnswer(answer);
    act();
    QTRY_COMPARE(MessageBox::ShownCount(), shown + 1);
  }

 private slots:
  void init() {
    QFile::remove(f_.IniPath());
    song_ = f_.dir.filePath(QStringLiteral("歌曲.mp3")).toStdString();
    QCOMPARE(
        QProcess::execute(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-t", "3",
                                                     "-i", "sine=f=440:r=44100", "-metadata",
                                                     "title=标题", QString::fromStdString(song_)}),
        0);
    window_ = f_.MakeActiveWindow();
    QVERIFY(window_);
    QVERIFY(window_->transport()->OpenSong(song_));
  }
  void cleanup() {
    MessageBox::ClearNextAnswer();
    window_.reset();
  }

  void WriteThenLoadBackAsOneUndoStep() {
    // A song without lyrics says so and leaves the box alone.
    Type(QStringLiteral("[00:01.00]第一行"));
    Answering(QMessageBox::Ok, [&] { Key(Qt::Key_L); });
    QCOMPARE(MessageBox::LastText(), QStringLiteral("这首歌曲没有内嵌歌词。"));
    QCOMPARE(Text(), QStringLiteral("[00:01.00]第一行"));

    Answering(QMessageBox::Ok, [&] { BoxItem("写入歌曲")->trigger(); });
    QCOMPARE(MessageBox::LastText(), QStringLiteral("歌词已写入歌曲。"));
    QCOMPARE(SongLyrics(), std::string("[00:01.00]第一行"));

    // Unsaved text: the question first; "No" keeps it.
    Type(QStringLiteral("\n新的一行"));
    const QString typed = Text();
    Answering(QMessageBox::No, [&] { BoxItem("载入歌曲内嵌歌词")->trigger(); });
    QCOMPARE(MessageBox::LastIcon(), QMessageBox::Question);
    QCOMPARE(Text(), typed);
    Answering(QMessageBox::Yes, [&] { Key(Qt::Key_L); });
    QCOMPARE(Text(), QStringLiteral("[00:01.00]第一行"));
    window_->lyricEdit()->undo();
    QCOMPARE(Text(), typed);
  }

  void SavingWritesIntoTheSongWhenChosen() {
    auto* settings = window_->findChild<QPushButton*>(QStringLiteral("按钮_设置"));
    QTest::mouseClick(settings, Qt::LeftButton);
    auto* check = window_->settingsWindow()->findChild<QCheckBox*>(
        QStringLiteral("选择框_保存歌词_写入歌曲"));
    QVERIFY(check && !check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(lirotag::ReadConfigValue(f_.fs, f_.IniPath().toStdString(), "Lirotag",
                                      "EmbedLyricsOnSave", ""),
             std::string("1"));
    window_->settings().Automatic = true;
    window_->settings().Path = lirotag::kDefaultSavePattern;
    Type(QStringLiteral("[00:02.00]保存时写入"));
    // Playing on while the song is replaced under the player.
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("按钮_播放暂停")),
                      Qt::LeftButton);
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("按钮_保存歌词")),
                      Qt::LeftButton);
    QTRY_COMPARE(SongLyrics(), std::string("[00:02.00]保存时写入"));
    QVERIFY(!ReadAll(f_.dir.filePath(QStringLiteral("歌曲.Lrc"))).empty());
    const double at = f_.player.PositionSeconds();
    QTRY_VERIFY(f_.player.PositionSeconds() > at + 0.2);
  }

  void ReadOnlySongIsLeftAlone() {
    Type(QStringLiteral("[00:03.00]只读"));
    QFile::setPermissions(QString::fromStdString(song_), QFile::ReadOwner | QFile::ReadGroup);
    const std::string before = ReadAll(song_);
    Answering(QMessageBox::Ok, [&] { Key(Qt::Key_W); });
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("只读")));
    QCOMPARE(ReadAll(song_), before);
  }
};

QTEST_MAIN(SongLyricsTest)
#include "song_lyrics_test.moc"
