#include "shell/online_lyrics.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "lyrics/edit_commands.h"
#include "lyrics/info_tags.h"
#include "lyrics/time_tags.h"
#include "shell/settings.h"
#include "shell/transport.h"
#include "tags/read_song_tags.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

QString MinutesSeconds(double seconds) {
  const long long s = std::llround(std::max(0.0, seconds));
  return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QLabel* StatusLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("标签_状态"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

void ShowError(QLabel* status, const QString& text) {
  status->setStyleSheet(QStringLiteral("color: #c0392b;"));
  status->setText(text);
}

void ShowInfo(QLabel* status, const QString& text) {
  status->setStyleSheet(QString());
  status->setText(text);
}

}  // namespace

// ---- 在线查找歌词 ----

LyricSearchDialog::LyricSearchDialog(std::unique_ptr<LrclibService> service, const OnlineSong& song,
                                     QWidget* parent)
    : QDialog(parent), service_(std::move(service)), song_(song) {
  setObjectName(QStringLiteral("对话框_在线查找歌词"));
  setWindowTitle(tr("在线查找歌词"));
  auto* layout = new QVBoxLayout(this);
  auto* words = new QHBoxLayout;
  title_ = new QLineEdit(song.title, this);
  title_->setObjectName(QStringLiteral("编辑框_歌名"));
  title_->setPlaceholderText(tr("歌名"));
  artist_ = new QLineEdit(song.artist, this);
  artist_->setObjectName(QStringLiteral("编辑框_歌手"));
  artist_->setPlaceholderText(tr("歌手"));
  search_ = new QPushButton(tr("搜索(&S)"), this);
  search_->setObjectName(QStringLiteral("按钮_搜索"));
  words->addWidget(new QLabel(tr("歌名"), this));
  words->addWidget(title_, 3);
  words->addWidget(new QLabel(tr("歌手"), this));
  words->addWidget(artist_, 2);
  words->addWidget(search_);
  layout->addLayout(words);

  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("列表_搜索结果"));
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({tr("歌名"), tr("歌手"), tr("专辑"), tr("时长"), tr("歌词")});
  list_->header()->setSectionResizeMode(QHeaderView::Interactive);
  list_->setColumnWidth(0, 170);
  list_->setColumnWidth(1, 110);
  list_->setColumnWidth(2, 130);
  list_->setColumnWidth(3, 50);
  layout->addWidget(list_, 2);
  preview_ = new QPlainTextEdit(this);
  preview_->setObjectName(QStringLiteral("编辑框_预览"));
  preview_->setReadOnly(true);
  preview_->setPlaceholderText(tr("选中一项，在这里预览歌词"));
  layout->addWidget(preview_, 3);
  status_ = StatusLabel(this);
  layout->addWidget(status_);
  auto* buttons = new QDialogButtonBox(this);
  load_ = buttons->addButton(tr("载入到歌词框(&L)"), QDialogButtonBox::AcceptRole);
  load_->setObjectName(QStringLiteral("按钮_载入"));
  load_->setEnabled(false);
  QPushButton* close = buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("按钮_关闭"));
  // No default button: Enter in the search words searches, Enter on a match loads it,
  // and neither may also press a button the user did not mean.
  for (QPushButton* b : {search_, load_, close}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  layout->addWidget(buttons);
  resize(620, 520);

  connect(search_, &QPushButton::clicked, this, &LyricSearchDialog::Search);
  connect(title_, &QLineEdit::returnPressed, this, &LyricSearchDialog::Search);
  connect(artist_, &QLineEdit::returnPressed, this, &LyricSearchDialog::Search);
  connect(list_, &QTreeWidget::currentItemChanged, this, &LyricSearchDialog::ShowPreview);
  connect(list_, &QTreeWidget::itemActivated, this, &LyricSearchDialog::Choose);
  connect(load_, &QPushButton::clicked, this, &LyricSearchDialog::Choose);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void LyricSearchDialog::Search() {
  const QString title = title_->text().trimmed(), artist = artist_->text().trimmed();
  if (title.isEmpty()) {
    ShowError(status_, tr("请填写歌名再搜索。"));
    return;
  }
  service_->AbortAll();  // an earlier search's answer no longer matters
  list_->clear();
  records_.clear();
  preview_->clear();
  load_->setEnabled(false);
  ShowInfo(status_, tr("正在搜索……"));
  search_outcome_ = {};
  exact_.clear();
  // The exact lookup (names, album and length) finds the song's own record even when
  // the search lists twenty others first; it needs the song's length.
  pending_ = 1;
  if (song_.length > 0 && !artist.isEmpty()) {
    ++pending_;
    service_->Get({title, artist, song_.album, song_.length, {}, {}},
                  [this](const LrclibOutcome& out) {
                    exact_ = out.records;
                    if (--pending_ == 0) ShowOutcome();
                  });
  }
  service_->SearchFields(title, artist, QString(), [this](const LrclibOutcome& out) {
    search_outcome_ = out;
    if (--pending_ == 0) ShowOutcome();
  });
}

void LyricSearchDialog::ShowOutcome() {
  const LrclibOutcome& outcome = search_outcome_;
  if (!outcome.ok() && exact_.isEmpty()) {
    ShowError(status_, outcome.Message());
    return;
  }
  records_ = exact_;
  for (const LrclibRecord& r : outcome.records) {
    if (std::none_of(exact_.begin(), exact_.end(),
                     [&](const LrclibRecord& e) { return e.id == r.id; }))
      records_.append(r);
  }
  // The exact match first, then those of the song's length (the service allows ±2 s), synced before
  // plain, the song's album before others.
  const auto rank = [this](const LrclibRecord& r) {
    int score = exact_.size() == 1 && exact_[0].id == r.id ? 8 : 0;
    if (song_.length > 0 && std::abs(r.duration - song_.length) <= 2) score += 4;
    if (r.HasSynced()) score += 2;
    if (!song_.album.isEmpty() && r.albumName.compare(song_.album, Qt::CaseInsensitive) == 0)
      score += 1;
    return score;
  };
  std::stable_sort(records_.begin(), records_.end(),
                   [&](const LrclibRecord& a, const LrclibRecord& b) { return rank(a) > rank(b); });
  for (const LrclibRecord& r : records_) {
    const QString kind = r.HasSynced()              ? tr("同步")
                         : !r.plainLyrics.isEmpty() ? tr("纯文本")
                         : r.instrumental           ? tr("纯音乐")
                                                    : tr("无");
    auto* item = new QTreeWidgetItem(
        list_, {r.trackName, r.artistName, r.albumName, MinutesSeconds(r.duration), kind});
    if (song_.length > 0 && std::abs(r.duration - song_.length) > 2) {
      item->setForeground(3, QColor(0xc0, 0x39, 0x2b));
      item->setToolTip(3, tr("与打开的歌曲长度（%1）不同").arg(MinutesSeconds(song_.length)));
    }
  }
  if (records_.isEmpty()) {
    ShowInfo(status_, tr("没有找到歌词。可以改一改歌名或歌手再搜索。"));
  } else {
    ShowInfo(status_,
             tr("找到 %1 项。选中一项预览，双击或按“载入到歌词框”载入。").arg(records_.size()));
    list_->setCurrentItem(list_->topLevelItem(0));
  }
}

void LyricSearchDialog::ShowPreview() {
  const int row = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
  if (row < 0 || row >= records_.size()) {
    preview_->clear();
    load_->setEnabled(false);
    return;
  }
  const LrclibRecord& r = records_[row];
  preview_->setPlainText(r.BestLyrics());
  load_->setEnabled(!r.BestLyrics().isEmpty());
}

void LyricSearchDialog::Choose() {
  const int row = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
  if (row < 0 || row >= records_.size() || records_[row].BestLyrics().isEmpty()) return;
  emit chosen(records_[row]);
}

// ---- 发布歌词 ----

PublishDialog::PublishDialog(std::unique_ptr<LrclibService> service, LrclibTrack track,
                             int lineCount, QWidget* parent)
    : QDialog(parent), service_(std::move(service)), track_(std::move(track)) {
  setObjectName(QStringLiteral("对话框_发布歌词"));
  setWindowTitle(tr("发布歌词"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("将把以下内容发布到歌词库 %1，所有人都可以查到：")
                                   .arg(service_->Server().toDisplayString()),
                               this));
  auto* form = new QFormLayout;
  const auto row = [&](const char* name, const char* label, const QString& value) {
    auto* field = new QLabel(value.isEmpty() ? tr("（无）") : value, this);
    field->setObjectName(QString::fromUtf8(name));
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(tr(label), field);
  };
  row("标签_歌名", QT_TR_NOOP("歌名："), track_.trackName);
  row("标签_歌手", QT_TR_NOOP("歌手："), track_.artistName);
  row("标签_专辑", QT_TR_NOOP("专辑："), track_.albumName);
  row("标签_长度", QT_TR_NOOP("长度："),
      tr("%1 秒（%2）").arg(track_.duration, 0, 'f', 2).arg(MinutesSeconds(track_.duration)));
  row("标签_行数", QT_TR_NOOP("行数："), tr("%1 行").arg(lineCount));
  row("标签_类型", QT_TR_NOOP("类型："),
      track_.syncedLyrics.isEmpty() ? tr("纯文本歌词（没有时间标签）")
                                    : tr("同步歌词（带时间标签），另附去掉标签的纯文本"));
  layout->addLayout(form);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("进度条_发布"));
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->hide();
  layout->addWidget(progress_);
  status_ = StatusLabel(this);
  ShowInfo(status_, tr("发布前需要完成服务器的防滥用验证，要用上所有处理器核心计算几秒到几十秒。"));
  layout->addWidget(status_);
  auto* buttons = new QDialogButtonBox(this);
  publish_ = buttons->addButton(tr("发布(&P)"), QDialogButtonBox::AcceptRole);
  publish_->setObjectName(QStringLiteral("按钮_发布"));
  cancel_ = buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
  cancel_->setObjectName(QStringLiteral("按钮_取消"));
  layout->addWidget(buttons);
  connect(publish_, &QPushButton::clicked, this, &PublishDialog::Start);
  connect(cancel_, &QPushButton::clicked, this, &PublishDialog::reject);
  setMinimumWidth(460);
}

void PublishDialog::Start() {
  if (publishing_) return;
  publishing_ = true;
  publish_->setEnabled(false);
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  progress_->show();
  service_->Publish(track_,
                    {[this](LrclibStage stage) { OnStage(stage); },
                     [this](quint64 tried, double expected) { OnProgress(tried, expected); },
                     [this](const LrclibOutcome& outcome) { OnFinished(outcome); }});
  OnStage(LrclibStage::kChallenge);
}

void PublishDialog::OnStage(LrclibStage stage) {
  switch (stage) {
    case LrclibStage::kChallenge:
      progress_->setRange(0, 0);  // busy until the challenge comes
      ShowInfo(status_, tr("正在向服务器领取验证题……"));
      break;
    case LrclibStage::kSolving:
      progress_->setRange(0, 1000);
      ShowInfo(status_, tr("正在计算验证……"));
      break;
    case LrclibStage::kSending:
      progress_->setRange(0, 0);
      ShowInfo(status_, tr("验证完成，正在发送歌词……"));
      break;
    case LrclibStage::kDone:
      break;
  }
}

void PublishDialog::OnProgress(quint64 tried, double expected) {
  // The search ends at a random point: the bar shows the share of the average work
  // done, slowing down as it nears the end rather than stopping at full.
  const double share = expected > 0 ? 1.0 - std::exp(-static_cast<double>(tried) / expected) : 0;
  progress_->setValue(static_cast<int>(share * 1000));
  ShowInfo(status_, tr("正在计算验证：已尝试 %1 万次，平均需要约 %2 万次……")
                        .arg(static_cast<double>(tried) / 1e4, 0, 'f', 0)
                        .arg(expected / 1e4, 0, 'f', 0));
}

void PublishDialog::OnFinished(const LrclibOutcome& outcome) {
  publishing_ = false;
  progress_->setRange(0, 1000);
  if (outcome.fault == LrclibFault::kCancelled) return;
  if (outcome.ok()) {
    progress_->setValue(1000);
    ShowInfo(status_, tr("发布成功，谢谢！歌词库已收下这首歌的歌词。"));
    publish_->hide();
    cancel_->setText(tr("关闭"));
    return;
  }
  progress_->hide();
  ShowError(status_, tr("发布失败：") + outcome.Message());
  // A challenge is good once: a retry starts again with a new one.
  publish_->setText(tr("重试(&P)"));
  publish_->setEnabled(true);
}

void PublishDialog::reject() {
  if (publishing_) service_->CancelPublish();  // the work on every core stops first
  QDialog::reject();
}

// ---- the commands ----

OnlineLyrics::OnlineLyrics(Services services, Controls controls, QObject* parent)
    : QObject(parent), s_(std::move(services)), c_(controls) {
  find_ = new QAction(tr("在线查找歌词(&O)"), this);
  find_->setObjectName(QStringLiteral("动作_在线查找歌词"));
  find_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_O));
  find_->setToolTip(
      tr("按歌曲的歌名、歌手和长度在网上歌词库（LRCLIB）里查找已有的歌词，预览后载入 (Alt+O)"));
  publish_ = new QAction(tr("发布歌词(&U)"), this);
  publish_->setObjectName(QStringLiteral("动作_发布歌词"));
  publish_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
  publish_->setToolTip(
      tr("把歌词框里的歌词发布到网上歌词库（LRCLIB），让大家都能用上；需要打开这首歌 (Alt+U)"));
  for (QAction* a : {find_, publish_}) {
    a->setShortcutContext(Qt::WindowShortcut);
    c_.window->addAction(a);
  }
  connect(find_, &QAction::triggered, this, &OnlineLyrics::Find);
  connect(publish_, &QAction::triggered, this, &OnlineLyrics::Publish);
  QMenu* menu = c_.box->ContextMenu();
  menu->setToolTipsVisible(true);
  menu->addSeparator();
  menu->addAction(find_);
  menu->addAction(publish_);
}

std::unique_ptr<LrclibService> OnlineLyrics::NewService() const {
  std::string why;
  std::unique_ptr<LrclibService> service =
      ConnectLrclib(QString::fromStdString(ConfiguredLrclibServer(*s_.fs, s_.configPath)), &why);
  if (!service) {
    ui::MessageBox::Show(c_.window, QMessageBox::Warning, tr("在线歌词"),
                         tr("在线歌词所需的组件无法载入：\n%1").arg(QString::fromStdString(why)),
                         QMessageBox::Ok);
    return nullptr;
  }
  service->SetTimeoutMs(timeout_ms_);
  return service;
}

OnlineSong OnlineLyrics::CurrentSong() const {
  OnlineSong song;
  SongTags tags;
  const std::string& path = c_.transport->SongPath();
  if (!path.empty()) ReadSongTags(path, &tags, nullptr, false);
  std::vector<std::string> lines;
  for (int i = 0; i < c_.box->LineCount(); ++i) lines.push_back(c_.box->Line(i));
  AdditionalInfo info;
  ScanInfoTags(&lines, &info);
  const auto pick = [](const std::string& tag, const std::string& lyric) {
    const std::string t = TrimSpaces(tag);
    return QString::fromStdString(t.empty() ? TrimSpaces(lyric) : t);
  };
  song.title = pick(tags.Title, info.InfoTi);
  song.artist = pick(tags.Artist, info.InfoAr);
  song.album = pick(tags.Album, info.InfoAl);
  if (!path.empty() && s_.player->Handle()) {
    song.length = s_.player->LengthSeconds();
    song.lengthExact = s_.engine->ChannelLengthIsExact(s_.player->Handle(), 0);
  }
  return song;
}

bool OnlineLyrics::BoxHoldsUnsavedText() const {
  return !c_.box->toPlainText().trimmed().isEmpty() && c_.box->document()->isModified();
}

void OnlineLyrics::Find() {
  if (QDialog* open = c_.window->findChild<QDialog*>(QStringLiteral("对话框_在线查找歌词"))) {
    open->raise();
    open->activateWindow();
    return;
  }
  std::unique_ptr<LrclibService> service = NewService();
  if (!service) return;
  auto* dialog = new LyricSearchDialog(std::move(service), CurrentSong(), c_.window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &LyricSearchDialog::chosen, this,
          [this, dialog](const LrclibRecord& record) { Load(record, dialog); });
  dialog->show();
  dialog->Search();
}

void OnlineLyrics::Load(const LrclibRecord& record, QDialog* dialog) {
  if (BoxHoldsUnsavedText()) {
    const auto answer = ui::MessageBox::Show(dialog, QMessageBox::Question, tr("载入歌词"),
                                             tr("歌词框里的文字还没有保存，载入找到的歌词会替换它们"
                                                "（之后可以用“撤销”找回）。\n要载入吗？"),
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  QString text = record.BestLyrics();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  c_.box->SetWholeText(text.toStdString());  // one step of the undo history
  c_.editor->ResetHighlight();
  dialog->close();
}

void OnlineLyrics::Publish() {
  const auto refuse = [this](const QString& text) {
    ui::MessageBox::Show(c_.window, QMessageBox::Warning, tr("发布歌词"), text, QMessageBox::Ok);
  };
  if (c_.transport->SongPath().empty() || !s_.player->Handle()) {
    refuse(tr("请先打开这首歌再发布：歌词库按歌曲的准确长度收录歌词。"));
    return;
  }
  const OnlineSong song = CurrentSong();
  if (song.title.isEmpty() || song.artist.isEmpty()) {
    refuse(
        tr("不知道这首歌的歌名和歌手：歌曲的标签里没有，歌词的 [ti:] [ar:] 里也没有。\n"
           "请先用“设置附加信息”填上歌名和歌手。"));
    return;
  }
  if (!song.lengthExact || song.length <= 0) {
    refuse(tr("还在计算这首歌的准确长度，请过几秒再发布。"));
    return;
  }
  std::string text;
  for (int i = 0; i < c_.box->LineCount(); ++i) text += c_.box->Line(i) + "\r\n";
  const LrclibLyric lyric = LrclibLyricFromText(text);
  if (lyric.lines == 0) {
    refuse(tr("歌词框里没有可以发布的歌词。"));
    return;
  }
  const LrclibTrack track{song.title,  song.artist, song.album,
                          song.length, lyric.plain, lyric.synced};
  std::unique_ptr<LrclibService> service = NewService();
  if (!service) return;
  auto* dialog = new PublishDialog(std::move(service), track, lyric.lines, c_.window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

}  // namespace lirotag
