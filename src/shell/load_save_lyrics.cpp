#include "shell/load_save_lyrics.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/confirm_sound.h"
#include "audio/player.h"
#include "files/encoding.h"
#include "files/lyric_file.h"
#include "lyrics/edit_commands.h"
#include "lyrics/lyric_box.h"
#include "lyrics/time_tags.h"
#include "shell/info_window.h"
#include "shell/subtitle_files.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "ui/translation.h"

namespace lirotag {

namespace {

// Far beyond any lyric; a larger file is not one, and would only stall the window.
constexpr std::uint64_t kMaxLyricFileBytes = 64ull << 20;

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace

LyricFiles::LyricFiles(const Settings& settings, Transport& transport, ui::LyricEdit& box,
                       LyricEditor& editor, Services services, Controls controls, QObject* parent)
    : QObject(parent),
      settings_(settings),
      transport_(transport),
      box_(box),
      editor_(editor),
      s_(services),
      c_(controls) {
  if (!s_.fs) s_.fs = &own_fs_;
  connect(&transport_, &Transport::SongOpened, this, [this] { song_tags_.read = false; });
  connect(c_.load, &QPushButton::clicked, this, &LyricFiles::ChooseLyricFile);
  connect(c_.setInfo, &QPushButton::clicked, this, &LyricFiles::SetAdditionalInfo);
  connect(c_.save, &QPushButton::clicked, this, &LyricFiles::SaveLyrics);
  // Filled when first needed: listing the encodings asks ICU for each converter, which
  // the window's start can do without.
  connect(box_.ReloadAsMenu(), &QMenu::aboutToShow, this, &LyricFiles::BuildReloadMenu);
  box_.ReloadAsMenu()->setEnabled(false);
  // The save dialog offers the subtitle types too, but automatic saving shows no dialog:
  // this command always does.
  export_ = new QAction(tr("导出字幕(&E)…"), this);
  export_->setObjectName(QStringLiteral("动作_导出字幕"));
  export_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  export_->setShortcutContext(Qt::WindowShortcut);
  export_->setToolTip(
      tr("把带时间标签的歌词存为字幕文件（SRT、WebVTT、ASS、TTML），歌词本身不变 "
         "(Ctrl+Shift+E)"));
  c_.window->addAction(export_);
  box_.ContextMenu()->addSeparator();
  box_.ContextMenu()->addAction(export_);
  connect(export_, &QAction::triggered, this, &LyricFiles::ExportSubtitlesAs);
}

void LyricFiles::BuildReloadMenu() {
  QMenu* menu = box_.ReloadAsMenu();
  if (!menu->isEmpty()) return;
  auto* group = new QActionGroup(menu);
  const LyricEncoding* previous = nullptr;
  for (const LyricEncoding& e : LyricEncodings()) {
    if (previous && previous->kind != e.kind) menu->addSeparator();
    previous = &e;
    QAction* action = menu->addAction(ui::CoreText(e.menuText));
    action->setData(QString::fromUtf8(e.name));
    action->setCheckable(true);
    group->addAction(action);
    const std::string name = e.name;
    connect(action, &QAction::triggered, this, [this, name] { ReloadLyricFileAs(name); });
  }
}

LyricFiles::~LyricFiles() {
  if (chime_ && s_.engine) s_.engine->StreamFree(chime_);
}

void LyricFiles::ChooseLyricFile() {
  ui::FileDialogOptions options;
  options.owner = c_.window;
  options.filter = kLoadFilterWithSubtitles;
  options.title = tr("载入歌词文本").toStdString();
  options.showHidden = true;
  std::string path;
  if (ui::FileDialog(options, &path)) LoadLyricFile(path);
}

bool LyricFiles::LoadLyricFile(const std::string& path) {
  return ReadLyricFile(path, nullptr);
}

bool LyricFiles::ReloadLyricFileAs(const std::string& encoding) {
  const LyricEncoding* chosen = FindLyricEncoding(encoding);
  if (last_loaded_path_.empty() || !chosen) return false;
  return ReadLyricFile(last_loaded_path_, chosen);
}

bool LyricFiles::ReadLyricFile(const std::string& path, const LyricEncoding* chosen) {
  std::string bytes, err;
  if (!s_.fs->ReadFile(path, &bytes, &err, kMaxLyricFileBytes)) {
    ui::MessageBox::Show(c_.window, QMessageBox::Warning, tr("错误"),
                         tr("打开文件\n%1\n时发生错误。").arg(Q(path)), QMessageBox::Ok);
    ShowLoadedEncoding();  // a choice that failed is not the text's encoding
    return false;
  }
  const LyricEncoding& encoding = chosen ? *chosen : *DetectLyricEncoding(bytes).encoding;
  std::string text = LyricTextFromBytes(bytes, &encoding);
  if (const auto format = SubtitleFormatOfPath(path)) {
    auto lyric = ImportSubtitles(c_.window, path, text, *format, settings_.ThreePointTime);
    if (!lyric) {
      ShowLoadedEncoding();
      return false;
    }
    text = std::move(*lyric);
  }
  // Asked once the file is known to give a text. Reading the same file again in
  // another encoding does not ask: its text replaces its own, and undo brings edits back.
  if (!chosen && before_load_ && !before_load_()) return false;
  box_.SetWholeText(text);
  editor_.ResetHighlight();
  last_loaded_path_ = path;
  last_loaded_encoding_ = encoding.name;
  ShowLoadedEncoding();
  emit Loaded();
  return true;
}

void LyricFiles::ShowLoadedEncoding() {
  // The menu shows which encoding the text is in, so that a wrong guess is seen.
  BuildReloadMenu();
  QMenu* menu = box_.ReloadAsMenu();
  menu->setEnabled(!last_loaded_path_.empty());
  for (QAction* action : menu->actions()) {
    if (action->isCheckable())
      action->setChecked(action->data().toString() == Q(last_loaded_encoding_));
  }
}

bool LyricFiles::ReadOpenSongTags() {
  if (song_tags_.read) return true;
  const std::string& song = transport_.SongPath();
  if (!s_.fs->FileExists(song)) return false;
  song_tags_ = {};
  std::string picture;
  if (!ReadSongTags(song, &song_tags_.tags, &picture, false)) return false;
  song_tags_.read = true;
  return true;
}

bool LyricFiles::ChooseInfoValues(AdditionalInfo* info) {
  if (settings_.FastMode && !transport_.SongPath().empty()) {
    if (!ReadOpenSongTags()) return false;
    const SongTags& tags = song_tags_.tags;
    TakeSongTagValues(info, tags.Title, tags.Artist, tags.Album);
    info->InfoBy = settings_.EditBy;
    return true;
  }
  InfoWindow window(c_.window, info, transport_.SongPath());
  return window.exec() == QDialog::Accepted;
}

void LyricFiles::SetAdditionalInfo() {
  std::vector<std::string> lines = SplitText(GetLyricText(box_), "\r\n");
  const int before = box_.LineCount();
  const int first = editor_.RangeFirst();
  const int size = editor_.RangeLast() - first;
  const std::string firstLine = box_.Line(first);
  if (!UpdateInfoTags(&lines, &info_,
                      [this](AdditionalInfo* info) { return ChooseInfoValues(info); }))
    return;
  box_.SetWholeText(JoinTexts(lines, "\n", false));
  // The highlighted lines stay highlighted: the information lines gather at the top, so
  // the first of them is the same text nearest to where the added lines pushed it.
  int at = std::max(0, first + box_.LineCount() - before);
  int found = -1;
  for (int n = 0; n < box_.LineCount(); ++n) {
    if (box_.Line(n) == firstLine && (found < 0 || std::abs(n - at) < std::abs(found - at)))
      found = n;
  }
  if (found >= 0) at = found;
  box_.SelectLines(at, at + size);
  editor_.RangeFromSelection();
}

std::string LyricFiles::ProposedSavePath() const {
  const std::string& song = transport_.SongPath();
  if (!song.empty()) {
    const QFileInfo info(Q(song));
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".lrc")).toStdString();
  }
  const std::string& last = last_saved_path_.empty() ? last_loaded_path_ : last_saved_path_;
  if (last.empty()) return {};
  const QFileInfo info(Q(last));
  return info.dir().filePath(info.completeBaseName() + QStringLiteral(".lrc")).toStdString();
}

bool LyricFiles::ExportTo(SubtitleFormat format, const std::string& path) {
  std::optional<int64_t> length;
  if (s_.player && s_.player->Handle() && !transport_.SongPath().empty())
    length = std::llround(s_.player->LengthSeconds() * 1000.0);
  if (!ExportSubtitles(c_.window, *s_.fs, GetLyricText(box_), format, length, path)) return false;
  PlayConfirmation();
  return true;
}

bool LyricFiles::ExportSubtitlesAs() {
  ui::FileDialogOptions options;
  options.save = true;
  options.owner = c_.window;
  options.filter = kSubtitleExportFilter;
  options.title = tr("导出字幕").toStdString();
  options.defaultExtension = "srt";
  options.showHidden = true;
  const std::string lrc = ProposedSavePath();
  if (!lrc.empty()) options.initialFile = lrc.substr(0, lrc.size() - 4) + ".srt";
  std::string path, type;
  if (!ui::FileDialog(options, &path, &type)) return false;
  return ExportTo(SubtitleFormatToSave(type, path).value_or(SubtitleFormat::kSrt), path);
}

bool LyricFiles::SaveLyrics() {
  std::string path;
  const std::string& song = transport_.SongPath();
  if (settings_.Automatic && !song.empty()) {
    // A song whose tags cannot be read fills the tag placeholders with nothing.
    if (!ReadOpenSongTags()) {
      song_tags_ = {};
      song_tags_.read = true;
    }
    const SongTags& tags = song_tags_.tags;
    path = ExpandSavePath(settings_.Path, song, {tags.Title, tags.Artist, tags.Album});
  } else {
    ui::FileDialogOptions options;
    options.save = true;
    options.owner = c_.window;
    options.filter = kSaveFilterWithSubtitles;
    options.defaultExtension = "lrc";
    options.showHidden = true;
    options.initialFile = ProposedSavePath();
    std::string type;
    if (!ui::FileDialog(options, &path, &type)) return false;
    if (const auto format = SubtitleFormatToSave(type, path)) {
      ExportTo(*format, path);  // an export: the lyric stays as it is and unsaved
      return false;
    }
  }
  if (settings_.FastMode && settings_.AutoAdd) SetAdditionalInfo();
  const std::string text = GetLyricText(box_);
  int encoding = settings_.Encoding;
  if (encoding == 0 && !ConfirmGbk(text, &encoding)) return false;
  const std::string body = EncodeLyricText(text, encoding);
  std::string err;
  if (!s_.fs->WriteFileAtomic(path, body, &err)) {
    ui::MessageBox::Show(c_.window, QMessageBox::Warning, tr("错误"),
                         tr("写出文件\n%1\n时发生错误。").arg(Q(path)), QMessageBox::Ok);
    return false;
  }
  PlayConfirmation();
  last_saved_path_ = path;
  emit Saved();
  return true;
}

bool LyricFiles::ConfirmGbk(const std::string& text, int* encoding) {
  const std::vector<std::string> lacking = CharactersGbkLacks(text);
  if (lacking.empty()) return true;
  constexpr size_t kShown = 30;
  QString list;
  for (size_t i = 0; i < lacking.size() && i < kShown; ++i)
    list += (i ? QStringLiteral(" ") : QString()) + Q(lacking[i]);
  if (lacking.size() > kShown)
    list += tr(" 等 %1 个字符").arg(static_cast<qulonglong>(lacking.size()));
  const QString question = tr("歌词中有 GBK 编码容纳不下的字符：\n\n%1\n\n"
                              "按 GBK 保存，它们会写成 GB18030 的四字节编码，只认 GBK "
                              "的播放器读不出来。\n改用 UTF-8 或 UTF-16 保存吗？")
                               .arg(list);
  ui::MessageOptions options;
  options.escapeButton = QMessageBox::Cancel;
  options.buttonTexts = {{QMessageBox::Yes, tr("改存 UTF-8")},
                         {QMessageBox::No, tr("改存 UTF-16")},
                         {QMessageBox::Save, tr("仍存 GBK")},
                         {QMessageBox::Cancel, tr("取消")}};
  switch (ui::MessageBox::Show(
      c_.window, QMessageBox::Question, tr("保存歌词"), question,
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Save | QMessageBox::Cancel, options)) {
    case QMessageBox::Yes:
      *encoding = 2;
      return true;
    case QMessageBox::No:
      *encoding = 1;
      return true;
    case QMessageBox::Save:
      return true;
    default:
      return false;
  }
}

void LyricFiles::PlayConfirmation() {
  // Not worth waiting for the engine to arrive.
  if (!s_.engine || !transport_.EngineReady()) return;
  // One chime at a time; the engine mixes it over the song without waiting for it.
  if (chime_) s_.engine->StreamFree(chime_);
  static const std::string wav = ConfirmationSoundWav();
  chime_ = s_.engine->StreamCreateMemory(wav.data(), wav.size(), 0);
  if (chime_) s_.engine->ChannelPlay(chime_, true);
}

}  // namespace lirotag
