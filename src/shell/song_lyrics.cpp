#include "shell/song_lyrics.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include "lyrics/edit_commands.h"
#include "lyrics/lyric_box.h"
#include "shell/load_save_lyrics.h"
#include "shell/settings.h"
#include "shell/transport.h"
#include "tags/embedded_lyrics.h"
#include "tags/lyrics_writer.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

QString WriteFailure(EmbedError error, const std::string& song) {
  switch (error) {
    case EmbedError::kNone:
      break;
    case EmbedError::kEmpty:
      return QCoreApplication::translate("lirotag::SongLyrics", "歌词为空，没有写入歌曲。");
    case EmbedError::kUnsupported:
      return QCoreApplication::translate("lirotag::SongLyrics",
                                         "不支持向这种类型的歌曲写入歌词：\n%1")
          .arg(Q(song));
    case EmbedError::kNotFound:
      return QCoreApplication::translate("lirotag::SongLyrics", "找不到歌曲文件：\n%1")
          .arg(Q(song));
    case EmbedError::kReadOnly:
      return QCoreApplication::translate("lirotag::SongLyrics", "歌曲文件是只读的，没有写入：\n%1")
          .arg(Q(song));
    case EmbedError::kNoSpace:
      return QCoreApplication::translate("lirotag::SongLyrics",
                                         "磁盘空间不足，没有写入歌曲。歌曲没有改变。");
    case EmbedError::kWriteFailed:
      return QCoreApplication::translate("lirotag::SongLyrics",
                                         "写入歌曲时发生错误，歌曲没有改变：\n%1")
          .arg(Q(song));
    case EmbedError::kCheckFailed:
      return QCoreApplication::translate(
                 "lirotag::SongLyrics",
                 "写入后检查未通过（歌词读不回来或音频有变），歌曲没有改变：\n%1")
          .arg(Q(song));
    case EmbedError::kNoWriter:
      return QCoreApplication::translate(
          "lirotag::SongLyrics",
          "写入歌词所需的组件（liblirotag_tag_writer.so）无法载入，歌曲没有改变。");
  }
  return {};
}

}  // namespace

SongLyrics::SongLyrics(Context context, QObject* parent) : QObject(parent), c_(std::move(context)) {
  embed_on_save_ = ReadConfigValue(*c_.fs, c_.configPath, "Lirotag", kEmbedOnSaveKey, "0") == "1";
  const auto action = [this](const QString& text, const char* name, QKeySequence key) {
    auto* a = new QAction(text, this);
    a->setObjectName(QString::fromUtf8(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    c_.window->addAction(a);
    return a;
  };
  load_ = action(tr("载入歌曲内嵌歌词(&I)"), "动作_载入内嵌歌词",
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
  write_ =
      action(tr("写入歌曲(&G)"), "动作_写入歌曲", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
  connect(load_, &QAction::triggered, this, [this] { LoadFromSong(); });
  connect(write_, &QAction::triggered, this, &SongLyrics::WriteToSong);
  c_.box->ContextMenu()->addSeparator();
  c_.box->ContextMenu()->addAction(load_);
  c_.box->ContextMenu()->addAction(write_);
  connect(c_.files, &LyricFiles::Saved, this, [this] {
    // What was saved need not be asked about before a load replaces it.
    c_.box->document()->setModified(false);
    if (embed_on_save_ && !c_.transport->SongPath().empty()) StartWrite(true);
  });
}

SongLyrics::~SongLyrics() {
  if (worker_.joinable()) worker_.join();
}

void SongLyrics::AttachSettingsWindow(QWidget* settingsWindow) {
  auto* box = settingsWindow->findChild<QCheckBox*>(QStringLiteral("选择框_保存歌词_写入歌曲"));
  if (!box) return;
  box->setChecked(embed_on_save_);
  connect(box, &QCheckBox::clicked, this, &SongLyrics::SetEmbedOnSave);
}

void SongLyrics::SetEmbedOnSave(bool on) {
  embed_on_save_ = on;
  WriteConfigValue(*c_.fs, c_.configPath, "Lirotag", kEmbedOnSaveKey, on ? "1" : "0");
}

bool SongLyrics::MayReplaceText() {
  const bool blank = c_.box->toPlainText().trimmed().isEmpty();
  if (blank || !c_.box->document()->isModified()) return true;
  return ui::MessageBox::Show(c_.window, QMessageBox::Question, tr("载入歌曲内嵌歌词"),
                              tr("歌词框中的文本还没有保存，载入歌曲内嵌歌词将替换它"
                                 "（可以撤销）。\n是否继续？"),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void SongLyrics::Say(const QString& text, bool problem) {
  ui::MessageBox::Show(c_.window, problem ? QMessageBox::Warning : QMessageBox::Information,
                       problem ? tr("错误") : tr("提示"), text, QMessageBox::Ok);
}

bool SongLyrics::LoadFromSong() {
  const std::string song = c_.transport->SongPath();
  if (song.empty()) {
    Say(tr("请先打开一首歌曲。"), false);
    return false;
  }
  std::string lyrics;
  switch (ReadEmbeddedLyrics(song, &lyrics)) {
    case LyricsReadError::kNone:
      break;
    case LyricsReadError::kNoLyrics:
      Say(tr("这首歌曲没有内嵌歌词。"), false);
      return false;
    case LyricsReadError::kUnsupported:
      Say(tr("不支持从这种类型的歌曲读取歌词：\n%1").arg(Q(song)), true);
      return false;
    case LyricsReadError::kCannotOpen:
      Say(tr("打开歌曲文件\n%1\n时发生错误。").arg(Q(song)), true);
      return false;
  }
  if (!MayReplaceText()) return false;
  c_.box->SetWholeText(lyrics);
  c_.editor->ResetHighlight();
  // The text is safe in the song: loading another lyric need not ask about it.
  c_.box->document()->setModified(false);
  return true;
}

void SongLyrics::WriteToSong() {
  if (c_.transport->SongPath().empty()) {
    Say(tr("请先打开一首歌曲。"), false);
    return;
  }
  StartWrite(false);
}

void SongLyrics::StartWrite(bool quiet) {
  if (writing_) return;  // one write at a time; the next save writes again
  writing_ = true;
  write_->setEnabled(false);
  const std::string song = c_.transport->SongPath();
  const std::string text = GetLyricText(*c_.box);
  // The song is copied and checked: a long one takes a moment the window need not wait.
  QPointer<SongLyrics> self(this);
  if (worker_.joinable()) worker_.join();  // finished: its result has come in
  worker_ = std::thread([self, song, text, quiet] {
    const EmbedError error = WriteEmbeddedLyrics(song, text);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, song, error, quiet] {
          if (self) self->OnWritten(song, static_cast<int>(error), quiet);
        },
        Qt::QueuedConnection);
  });
}

void SongLyrics::OnWritten(const std::string& song, int error, bool quiet) {
  writing_ = false;
  write_->setEnabled(true);
  const auto e = static_cast<EmbedError>(error);
  // The song's tags changed: they are read anew when next needed. Playback goes on: the
  // player holds the song it opened, which the rename leaves in place until it closes it.
  if (e == EmbedError::kNone) c_.files->ForgetSongTags();
  if (e != EmbedError::kNone) {
    Say(WriteFailure(e, song), true);
  } else if (!quiet) {
    Say(tr("歌词已写入歌曲。"), false);
  }
  emit Written(e == EmbedError::kNone);
}

}  // namespace lirotag
