#include "shell/load_save_lyrics.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "files/encoding.h"
#include "files/lyric_file.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::testing::ReadAll;
using lirotag::testing::WriteAll;
using lirotag::ui::MessageBox;

namespace {

// A real MP3 with the given title and artist, made by ffmpeg.
bool MakeTaggedMp3(const QString& path, const QString& title, const QString& artist) {
  return QProcess::execute(QStringLiteral("ffmpeg"),
                           {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-metadata",
                            "title=" + title, "-metadata", "artist=" + artist, path}) == 0;
}

}  // namespace

class LyricFilesTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  std::unique_ptr<MainWindow> window_;

  std::string Path(const char* name) {
    return f_.dir.filePath(QString::fromUtf8(name)).toStdString();
  }
  QString Text() { return window_->lyricEdit()->toPlainText(); }
  void Click(const char* name) {
    QTest::mouseClick(window_->findChild<QPushButton*>(QString::fromUtf8(name)), Qt::LeftButton);
  }
  // Clicks "设置附加信息" and lets `inWindow` act in "附加信息" while it is open.
  void WithInfoWindow(std::function<void(QDialog*)> inWindow) {
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      QCOMPARE(dialog->objectName(), QStringLiteral("窗口_附加信息"));
      seen = true;
      inWindow(dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    Click("按钮_设置附加信息");
    QVERIFY(seen);
  }
  static void SetField(QDialog* dialog, const char* name, const QString& text) {
    dialog->findChild<QLineEdit*>(QString::fromUtf8(name))->setText(text);
  }
  static void Press(QDialog* dialog, const char* name) {
    QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromUtf8(name)), Qt::LeftButton);
  }

 private slots:
  void init() {
    QFile::remove(f_.IniPath());
    window_ = f_.MakeActiveWindow();
    QVERIFY(window_);
  }
  void cleanup() {
    window_.reset();
    f_.player.Free();
    MessageBox::ClearNextAnswer();
  }

  void loadsEveryEncodingAndDrops() {
    const struct {
      std::string bytes;
      QString text;
    } cases[] = {
        {"\xEF\xBB\xBF[ti:x]\r\nabc", "[ti:x]\nabc"},
        {std::string("\xFF\xFE\x41\x00\x0A\x00\x42\x00", 8), "A\nB"},
        {std::string("\xFE\xFF\x00\x41\x00\x0D\x00\x0A\x00\x42", 10), "A\nB"},
        {"\xB4\xB2\xC7\xB0\xC3\xF7\xD4\xC2\xB9\xE2\n", QStringLiteral("床前明月光\n")},  // GBK
        {"a\rb", "a\nb"},  // a text with CR alone as its line break
    };
    for (const auto& c : cases) {
      WriteAll(Path("in.lrc"), c.bytes);
      lirotag::ui::SetNextFileDialogResult(Path("in.lrc"));
      lirotag::testing::GiveUpUnsavedText(*window_);
      Click("按钮_载入文本");
      QCOMPARE(Text(), c.text);
      QCOMPARE(window_->lyricEdit()->HighlightFirst(), 0);
    }
    const auto& asked = lirotag::ui::LastFileDialogOptions();
    QCOMPARE(asked.filter,
             std::string("歌词或文本文件（LRC/TXT）|*.lrc;*.txt|字幕文件（SRT/VTT/ASS/"
                         "TTML）|*.srt;*.vtt;*.ass;*.ssa;*.ttml|所有文件|*.*"));
    QCOMPARE(asked.title, std::string("载入歌词文本"));
    // A file that cannot be read: said so, the text stays.
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QVERIFY(!window_->lyricFiles()->LoadLyricFile(Path("gone.lrc")));
    QCOMPARE(MessageBox::LastText(),
             "打开文件\n" + QString::fromStdString(Path("gone.lrc")) + "\n时发生错误。");
    QCOMPARE(Text(), QStringLiteral("a\nb"));

    // A drop: the first song and the first lyric file; the song is opened first.
    QVERIFY(lirotag::testing::WriteWav(Path("x.mp3"), 8000, 8000));
    WriteAll(Path("a.TXT"), "from a");
    WriteAll(Path("b.lrc"), "from b");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Path("x.mp3"))),
                  QUrl::fromLocalFile(QString::fromStdString(Path("a.TXT"))),
                  QUrl::fromLocalFile(QString::fromStdString(Path("b.lrc")))});
    QWidget* box = window_->lyricEdit()->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    lirotag::testing::GiveUpUnsavedText(*window_);
    QApplication::sendEvent(box, &drop);
    QCOMPARE(QString::fromStdString(window_->SongPath()), QString::fromStdString(Path("x.mp3")));
    QCOMPARE(Text(), QStringLiteral("from a"));
  }

  // "重新载入为" reads the last loaded file again, from disk, in the encoding chosen.
  void reloadsTheFileFromDiskInAnotherEncoding() {
    QMenu* menu = window_->lyricEdit()->ReloadAsMenu();
    QVERIFY(window_->lyricEdit()->ContextMenu()->actions().contains(menu->menuAction()));
    QCOMPARE(menu->title(), QStringLiteral("重新载入为"));
    QVERIFY(!menu->isEnabled());  // nothing loaded yet
    const auto choose = [&](const char* name) {
      for (QAction* action : menu->actions()) {
        if (action->data().toString() == QString::fromUtf8(name)) return action->trigger();
      }
      QFAIL(name);
    };
    const auto checked = [&] {
      for (QAction* action : menu->actions()) {
        if (action->isChecked()) return action->data().toString();
      }
      return QString();
    };
    // Big5, detected.
    WriteAll(Path("in.lrc"),
             "\xA7"
             "A\xC1\xD9\xB0O\xB1o\xA8\xBA\xA4\xD1\xB6\xDC\n\xA7\xDA\xAD\xCC\xA6"
             "b\xAB"
             "B\xA4\xA4\xB5\xA5\xAB\xDD\xB5\xDB\xBE\xA4\xA9\xFA\n\xAB\xB0\xA5\xAB\xAA"
             "\xBA\xBFO\xA5\xFA\xBA"
             "C\xBA"
             "C\xBA\xB6\xB7\xC0\n");
    QVERIFY(window_->lyricFiles()->LoadLyricFile(Path("in.lrc")));
    QCOMPARE(Text(), QStringLiteral("你還記得那天嗎\n我們在雨中等待著黎明\n城市的燈光慢慢熄滅\n"));
    QVERIFY(menu->isEnabled());
    QCOMPARE(checked(), QStringLiteral("Big5"));
    int choices = 0;
    for (QAction* action : menu->actions()) choices += !action->isSeparator();
    QCOMPARE(choices, static_cast<int>(lirotag::LyricEncodings().size()));

    // The file changes on disk: read again, in the encoding chosen.
    WriteAll(Path("in.lrc"),
             "\x97[\x8F\xC4\x82\xAF\x82\xCC\x90"
             "F");
    choose("Shift_JIS");
    QCOMPARE(Text(), QStringLiteral("夕焼けの色"));
    QCOMPARE(checked(), QStringLiteral("Shift_JIS"));
    QCOMPARE(window_->lyricEdit()->HighlightFirst(), 0);

    // Bytes the encoding cannot read show as replacement characters.
    WriteAll(Path("in.lrc"), "\x82\xA0\x82");
    choose("Shift_JIS");
    QCOMPARE(Text(), QStringLiteral("あ\uFFFD"));

    // The file is gone: said as for loading it, the text stays.
    QFile::remove(QString::fromStdString(Path("in.lrc")));
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    choose("Big5");
    QCOMPARE(MessageBox::LastText(),
             "打开文件\n" + QString::fromStdString(Path("in.lrc")) + "\n时发生错误。");
    QCOMPARE(Text(), QStringLiteral("あ\uFFFD"));
    QCOMPARE(checked(), QStringLiteral("Shift_JIS"));
  }

  void additionalInformationByHandAndFromTheSong() {
    window_->lyricEdit()->setPlainText(
        QStringLiteral("[00:01.00]a\n[Ti:Song]\n[offset:500]\n[ar:x]\n[ar:y]\n[al:a]b]"));
    // Cancel leaves the text as it was.
    WithInfoWindow([](QDialog*) {});
    QCOMPARE(Text().count('\n'), 5);
    // OK: the values found are offered; the header goes to the top in its order.
    WithInfoWindow([](QDialog* d) {
      QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("编辑框_AR"))->text(), QStringLiteral("y"));
      SetField(d, "编辑框_BY", QStringLiteral("我"));
      SetField(d, "编辑框_AL", QString());
      Press(d, "按钮_确定");
    });
    QCOMPARE(Text(), QStringLiteral("[ti:Song]\n[ar:y]\n[by:我]\n[00:01.00]a\n[offset:500]"));
    // The highlighted line stays highlighted where the header pushed it.
    QCOMPARE(window_->lyricEdit()->HighlightFirst(), 3);
    QCOMPARE(window_->lyricEdit()->HighlightLast(), 3);

    // The read button: no song, an unsupported type, a song that is gone, a tagged song.
    WithInfoWindow([](QDialog* d) {
      MessageBox::SetNextAnswer(QMessageBox::Ok);
      Press(d, "按钮_读取");
      QCOMPARE(MessageBox::LastText(), QStringLiteral("你没有打开音乐文件"));
    });
    QVERIFY(lirotag::testing::WriteWav(Path("song.aif"), 8000, 800));
    QVERIFY(window_->transport()->OpenSong(Path("song.aif")));
    WithInfoWindow([](QDialog* d) {
      MessageBox::SetNextAnswer(QMessageBox::Ok);
      Press(d, "按钮_读取");
      QCOMPARE(MessageBox::LastText(), QStringLiteral("还不支持读取(.aif)类型文件的标签"));
      QCOMPARE(MessageBox::LastCaption(), QStringLiteral("读取失败"));
    });
    const QString mp3 = QString::fromStdString(Path("tagged.mp3"));
    QVERIFY(MakeTaggedMp3(mp3, QStringLiteral("静夜思"), QStringLiteral("李白")));
    QVERIFY(window_->transport()->OpenSong(mp3.toStdString()));
    WithInfoWindow([](QDialog* d) {
      Press(d, "按钮_读取");
      QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("编辑框_TI"))->text(),
               QStringLiteral("静夜思"));
    });  // cancelled, yet the values read are kept
    QCOMPARE(window_->lyricFiles()->Info().InfoTi, std::string("静夜思"));

    // Fast mode fills the header from the song's tags and the lyric maker's name.
    window_->settings().FastMode = true;
    window_->settings().EditBy = "小明";
    Click("按钮_设置附加信息");
    QCOMPARE(Text(),
             QStringLiteral("[ti:静夜思]\n[ar:李白]\n[by:小明]\n[00:01.00]a\n[offset:500]"));
    QVERIFY(QFile::remove(mp3));
    QVERIFY(window_->transport()->OpenSong(Path("song.aif")));
    Click("按钮_设置附加信息");  // no reader for the type: the text stays
    QCOMPARE(Text().left(8), QStringLiteral("[ti:静夜思]"));
    // A song with only some tags replaces only those values, in fast mode and by the button.
    QVERIFY(MakeTaggedMp3(mp3, QString(), QStringLiteral("杜甫")));
    QVERIFY(window_->transport()->OpenSong(mp3.toStdString()));
    Click("按钮_设置附加信息");
    QCOMPARE(Text(),
             QStringLiteral("[ti:静夜思]\n[ar:杜甫]\n[by:小明]\n[00:01.00]a\n[offset:500]"));
    window_->settings().FastMode = false;
    WithInfoWindow([](QDialog* d) {
      SetField(d, "编辑框_AL", QStringLiteral("唐诗"));
      Press(d, "按钮_读取");
      QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("编辑框_TI"))->text(),
               QStringLiteral("静夜思"));
      QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("编辑框_AL"))->text(),
               QStringLiteral("唐诗"));
    });
  }

  void savesInEveryEncodingAndNeverDamagesAFile() {
    const struct {
      int encoding;
      std::string bytes;
    } cases[] = {
        {0, "ab"},
        {1, std::string("\xFF\xFE\x61\x00\x62\x00", 6)},
        {2,
         "\xEF\xBB\xBF"
         "ab"},
        {5, std::string("\xFF\xFE\x61\x00\x62\x00", 6)},
    };
    window_->lyricEdit()->setPlainText(QStringLiteral("ab"));
    for (const auto& c : cases) {
      window_->settings().Encoding = c.encoding;
      lirotag::ui::SetNextFileDialogResult(Path("out.lrc"));
      Click("按钮_保存歌词");
      QCOMPARE(ReadAll(Path("out.lrc")), c.bytes);
    }
    const auto& asked = lirotag::ui::LastFileDialogOptions();
    QVERIFY(asked.save);
    QCOMPARE(asked.filter, std::string("LRC歌词|*.LRC|SRT 字幕|*.srt|WebVTT 字幕|*.vtt|ASS "
                                       "卡拉OK字幕|*.ass|TTML 歌词|*.ttml|所有文件|*.*"));
    QCOMPARE(asked.defaultExtension, std::string("lrc"));
    lirotag::ui::SetNextFileDialogResult(std::nullopt);  // cancelled: nothing written
    QVERIFY(QFile::remove(QString::fromStdString(Path("out.lrc"))));
    Click("按钮_保存歌词");
    QVERIFY(!QFile::exists(QString::fromStdString(Path("out.lrc"))));

    // Every character survives load and save byte for byte in both Unicode encodings.
    const std::string text = "[ti:静夜思]\r\n[00:01.00]夜空の星 별빛 🎵\r\n\r\n";
    for (int encoding : {1, 2}) {
      const std::string bytes = lirotag::EncodeLyricText(text, encoding);
      WriteAll(Path("round.lrc"), bytes);
      lirotag::testing::GiveUpUnsavedText(*window_);
      QVERIFY(window_->lyricFiles()->LoadLyricFile(Path("round.lrc")));
      window_->settings().Encoding = encoding;
      lirotag::ui::SetNextFileDialogResult(Path("again.lrc"));
      Click("按钮_保存歌词");
      QCOMPARE(ReadAll(Path("again.lrc")), bytes);
    }

    // A folder as the target, or a file in a folder nobody may write: the message, and
    // what was there stays.
    for (const std::string& target : {f_.dir.path().toStdString(), std::string("/proc/version")}) {
      const std::string before = ReadAll(target);
      lirotag::ui::SetNextFileDialogResult(target);
      MessageBox::SetNextAnswer(QMessageBox::Ok);
      Click("按钮_保存歌词");
      QCOMPARE(MessageBox::LastText(),
               "写出文件\n" + QString::fromStdString(target) + "\n时发生错误。");
      QCOMPARE(MessageBox::LastCaption(), QStringLiteral("错误"));
      QCOMPARE(ReadAll(target), before);
    }
  }

  // Saving GBK asks first when the text holds characters GBK lacks, naming them; the
  // answer decides this save's encoding, or cancels it.
  void asksBeforeGbkCannotHoldTheText() {
    const std::string text = "[ti:사랑]\r\n[00:01.00]å ♪ 你好";
    window_->lyricEdit()->setPlainText(QString::fromStdString(text));
    window_->settings().Encoding = 0;
    const struct {
      QMessageBox::StandardButton answer;
      std::string bytes;
    } cases[] = {
        {QMessageBox::Yes, lirotag::EncodeLyricText(text, 2)},
        {QMessageBox::No, lirotag::EncodeLyricText(text, 1)},
        {QMessageBox::Save, lirotag::EncodeLyricText(text, 0)},
        {QMessageBox::Cancel, ""},
    };
    for (const auto& c : cases) {
      QFile::remove(QString::fromStdString(Path("gbk.lrc")));
      const int shown = MessageBox::ShownCount();
      MessageBox::SetNextAnswer(c.answer);
      lirotag::ui::SetNextFileDialogResult(Path("gbk.lrc"));
      Click("按钮_保存歌词");
      QCOMPARE(MessageBox::ShownCount(), shown + 1);
      QCOMPARE(MessageBox::LastCaption(), QStringLiteral("保存歌词"));
      QVERIFY2(MessageBox::LastText().contains(QStringLiteral("사 랑 å ♪")),
               qPrintable(MessageBox::LastText()));
      QCOMPARE(ReadAll(Path("gbk.lrc")), c.bytes);
      QCOMPARE(window_->settings().Encoding, 0);
    }
    // Text GBK holds whole is saved without a question.
    window_->lyricEdit()->setPlainText(QStringLiteral("[ti:夜曲]\n[00:01.00]“你好”…"));
    const int shown = MessageBox::ShownCount();
    lirotag::ui::SetNextFileDialogResult(Path("gbk.lrc"));
    Click("按钮_保存歌词");
    QCOMPARE(MessageBox::ShownCount(), shown);
    QCOMPARE(ReadAll(Path("gbk.lrc")), lirotag::Utf8ToGbk("[ti:夜曲]\r\n[00:01.00]“你好”…"));
  }

  void savesAutomaticallyBesideTheSong() {
    const QString mp3 = QString::fromStdString(Path("my song.mp3"));
    QVERIFY(MakeTaggedMp3(mp3, QStringLiteral("../AC/DC"), QStringLiteral("李白")));
    QVERIFY(window_->transport()->OpenSong(mp3.toStdString()));
    window_->settings().Automatic = true;
    window_->settings().Encoding = 2;
    window_->settings().Path = "%localdir%\\%FILENAME%-%title%-%Artist%.%EXT%.lrc";
    window_->lyricEdit()->setPlainText(QStringLiteral("[00:01.00]x"));
    Click("按钮_保存歌词");
    QCOMPARE(ReadAll(Path("my song-.._AC_DC-李白.mp3.lrc")),
             std::string("\xEF\xBB\xBF[00:01.00]x"));
    // Fast mode with automatic header: written into the text before it is saved.
    window_->settings().FastMode = window_->settings().AutoAdd = true;
    window_->settings().Path = "%LocalDir%/%FileName%.Lrc";
    Click("按钮_保存歌词");
    QCOMPARE(QString::fromStdString(ReadAll(Path("my song.Lrc"))),
             QString::fromStdString("\xEF\xBB\xBF[ti:../AC/DC]\r\n[ar:李白]\r\n[00:01.00]x"));
  }
};

QTEST_MAIN(LyricFilesTest)
#include "load_save_lyrics_test.moc"
