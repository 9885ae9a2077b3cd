// The window's subtitle export (save dialog types) and import (load button, drops).

#include "shell/subtitle_files.h"

#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "lyrics/subtitles.h"
#include "shell/load_save_lyrics.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::SubtitleFormat;
using lirotag::testing::ReadAll;
using lirotag::testing::WriteAll;
using lirotag::ui::MessageBox;

namespace {

const QString kLyric = QStringLiteral(
    "[ti:静夜思]\n[00:01.00]<00:01.00>床<00:01.48>前<00:02.00>明月光\nuntimed\n"
    "[00:04.00][00:20.00]疑是地上霜\n[00:06.50]\n[00:30.00]举头望明月");

}  // namespace

class SubtitleFilesTest : public QObject {
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

  // Each subtitle type writes its file, the open song's length ending the last cue; the
  // lyric, its saving settings and its unsaved state stay as they were.
  void savingAsSubtitlesExports() {
    const std::string song = f_.MakeSong(80);
    QVERIFY(window_->transport()->OpenSong(song));
    window_->lyricEdit()->setPlainText(kLyric);
    window_->settings().Encoding = 1;
    window_->settings().FastMode = window_->settings().AutoAdd = true;
    QSignalSpy saved(window_->lyricFiles(), &lirotag::LyricFiles::Saved);
    const lirotag::SubtitleTrack track = lirotag::CuesFromLyrics(kLyric.toStdString(), 80000);
    const struct {
      const char* type;
      const char* file;
      SubtitleFormat format;
    } cases[] = {
        {"SRT 字幕", "out.srt", SubtitleFormat::kSrt},
        {"WebVTT 字幕", "out.vtt", SubtitleFormat::kWebVtt},
        {"ASS 卡拉OK字幕", "out.ass", SubtitleFormat::kAss},
        {"TTML 歌词", "out.ttml", SubtitleFormat::kTtml},
        {"所有文件", "named.vtt", SubtitleFormat::kWebVtt},  // the name says which
    };
    for (const auto& c : cases) {
      lirotag::ui::SetNextFileDialogResult(Path(c.file), c.type);
      Click("按钮_保存歌词");
      const std::string bom = lirotag::SubtitleNeedsBom(c.format) ? "\xEF\xBB\xBF" : "";
      QCOMPARE(ReadAll(Path(c.file)), bom + lirotag::WriteSubtitles(track, c.format));
    }
    QCOMPARE(Text(), kLyric);
    QCOMPARE(window_->settings().Encoding, 1);
    QCOMPARE(saved.count(), 0);
    // The LRC type saves the lyric whatever the name.
    lirotag::ui::SetNextFileDialogResult(Path("lyric.srt"), "LRC歌词");
    Click("按钮_保存歌词");
    QVERIFY(ReadAll(Path("lyric.srt")).starts_with("\xFF\xFE"));
    QCOMPARE(saved.count(), 1);

    // Nothing timed: said so, nothing written.
    window_->lyricEdit()->setPlainText(QStringLiteral("[ti:x]\nno time"));
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    lirotag::ui::SetNextFileDialogResult(Path("none.srt"), "SRT 字幕");
    Click("按钮_保存歌词");
    QCOMPARE(MessageBox::LastText(), QStringLiteral("歌词中没有带时间标签的行，无法导出字幕。"));
    QVERIFY(!QFile::exists(QString::fromStdString(Path("none.srt"))));
  }

  // With automatic saving the save button shows no dialog; Ctrl+Shift+E ("导出字幕")
  // always asks where and in which format, and leaves the lyric unsaved.
  void exportCommandWorksWithAutomaticSaving() {
    const std::string song = f_.MakeSong(80);
    QVERIFY(window_->transport()->OpenSong(song));
    window_->settings().Automatic = true;
    window_->lyricEdit()->setPlainText(kLyric);
    QSignalSpy saved(window_->lyricFiles(), &lirotag::LyricFiles::Saved);
    lirotag::ui::SetNextFileDialogResult(Path("auto.ass"), "ASS 卡拉OK字幕");
    QTest::keyClick(window_->lyricEdit(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    const auto& asked = lirotag::ui::LastFileDialogOptions();
    QVERIFY(asked.save);
    QCOMPARE(asked.filter, std::string(lirotag::kSubtitleExportFilter));
    QVERIFY(QString::fromStdString(asked.initialFile).endsWith(QStringLiteral(".srt")));
    const lirotag::SubtitleTrack track = lirotag::CuesFromLyrics(kLyric.toStdString(), 80000);
    QCOMPARE(ReadAll(Path("auto.ass")),
             "\xEF\xBB\xBF" + lirotag::WriteSubtitles(track, SubtitleFormat::kAss));
    QCOMPARE(saved.count(), 0);
    QCOMPARE(Text(), kLyric);
    // Cancelled: nothing written.
    lirotag::ui::SetNextFileDialogResult(std::nullopt);
    QVERIFY(!window_->lyricFiles()->ExportSubtitlesAs());
    QVERIFY(window_->lyricEdit()->ContextMenu()->actions().contains(
        window_->lyricFiles()->ExportAction()));
  }

  // "从文件载入" and drops read subtitles into timed lines; a file without cues is
  // reported and the text kept.
  void loadingSubtitlesImports() {
    WriteAll(Path("in.srt"),
             "\xEF\xBB\xBF"
             "1\r\n00:00:01,005 --> 00:00:03,000\r\n<i>床前</i>明月光\r\n第二行\r\n");
    lirotag::ui::SetNextFileDialogResult(Path("in.srt"));
    MessageBox::SetNextAnswer(QMessageBox::Discard);  // the typed text is not kept
    Click("按钮_载入文本");
    QCOMPARE(Text(), QStringLiteral("[00:01.00]床前明月光\n[00:01.00]第二行\n[00:03.00]"));
    window_->settings().ThreePointTime = true;
    MessageBox::SetNextAnswer(QMessageBox::Discard);
    QVERIFY(window_->lyricFiles()->LoadLyricFile(Path("in.srt")));
    QCOMPARE(Text(), QStringLiteral("[00:01.005]床前明月光\n[00:01.005]第二行\n[00:03.000]"));

    WriteAll(
        Path("k.ASS"),
        "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
        "Effect, Text\nDialogue: 0,0:00:02.00,0:00:03.00,Default,,0,0,0,,{\\k40}举{\\k60}头\n");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Path("k.ASS")))});
    QWidget* box = window_->lyricEdit()->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    MessageBox::SetNextAnswer(QMessageBox::Discard);
    QApplication::sendEvent(box, &drop);
    QCOMPARE(Text(), QStringLiteral("[00:02.000]<00:02.000>举<00:02.400>头\n[00:03.000]"));
    QVERIFY(window_->SongPath().empty());

    WriteAll(Path("junk.vtt"), "WEBVTT\n\nnothing timed here\n");
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QVERIFY(!window_->lyricFiles()->LoadLyricFile(Path("junk.vtt")));
    QCOMPARE(MessageBox::LastText(), "文件\n" + QString::fromStdString(Path("junk.vtt")) +
                                         "\n中没有可以读取的字幕（SRT、WebVTT、ASS、TTML）。");
    QCOMPARE(Text(), QStringLiteral("[00:02.000]<00:02.000>举<00:02.400>头\n[00:03.000]"));
  }
};

QTEST_MAIN(SubtitleFilesTest)
#include "subtitle_files_test.moc"
