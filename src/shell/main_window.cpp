#include "shell/main_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "files/dropped_files.h"
#include "shell/edit_buttons.h"
#include "shell/line_replay.h"
#include "shell/load_save_lyrics.h"
#include "shell/nudge_keys.h"
#include "shell/online_lyrics.h"
#include "shell/recovery.h"
#include "shell/settings_window.h"
#include "shell/shortcuts.h"
#include "shell/skins.h"
#include "shell/song_lyrics.h"
#include "shell/timing_aids.h"
#include "shell/transport.h"
#include "shell/unsaved_changes.h"
#include "ui/dialogs.h"
#include "ui/group_box_style.h"
#include "ui/lyric_edit.h"
#include "ui/program_icon.h"
#include "ui/time_label.h"
#include "ui/waveform_strip.h"

namespace lirotag {

namespace {

constexpr const char* kTitle = kProgramTitle;
constexpr int kEngineDelayMs = 300;
// The clock's beat while anything moves (the time, the progress, the sung line); it
// stops while nothing does, and whatever the user does wakes it.
constexpr int kRefreshMs = 100;

constexpr char kShortcutHelp[] = QT_TRANSLATE_NOOP(
    "lirotag::MainWindow",
    "Alt +Ｄ　　　　　删除标签\r\nAlt +Ａ　　　　　加入标签\r\nAlt +Ｒ　　　　　替换标签\r\n"
    "Alt +↑　　　　　高亮行上移(*)\r\nAlt +↓　　　　　高亮行下移(*)\r\n"
    "Alt +←　　　　　快退5秒\r\nAlt +→　　　　　快进5秒\r\n"
    "Ctrl+↑　　　　　文本向上滚动\r\nCtrl+↓　　　　　文本向下滚动\r\n"
    "Alt +Ｅ　　　　　在文本框和按钮间切换焦点\r\nAlt +Ｐ　　　　　播放/暂停\r\n\r\n"
    "带(*)标志的仅在文本框失去焦点时生效"
    // Keys and mouse actions of our own, after the established list.
    "\r\n\r\nAlt +－　　　　　减慢播放（音调不变）\r\nAlt +＝　　　　　加快播放\r\n"
    "Alt +０　　　　　恢复原速\r\nAlt +Ｖ　　　　　显示/隐藏波形\r\n"
    "在当前时间上滚动鼠标滚轮可调节播放速度；\r\n在波形上单击跳转，滚动滚轮缩放\r\n"
    "Alt +Ｗ　　　　　逐字模式：Alt+A 为下一个字加时间，\r\n"
    "　　　　　　　　　Alt+D 撤回最后一个字，Alt+R 本行重来\r\n"
    "Ctrl+Ｚ　　　　　撤销（焦点在窗口内任何位置）\r\n"
    "Ctrl+Ｙ　　　　　重做（也可用 Ctrl+Shift+Z）\r\n"
    "Ctrl+Ｓ　　　　　保存歌词\r\n"
    "Alt +Ｏ　　　　　在线查找歌词\r\nAlt +Ｕ　　　　　发布歌词\r\n"
    "Ctrl+Shift+Ｌ　　载入歌曲内嵌歌词\r\nCtrl+Shift+Ｗ　　写入歌曲\r\n"
    "Ctrl+Shift+Ｅ　　导出字幕\r\n"
    "Alt +［　　　　　高亮行的时间标签提前0.1秒(含逐字标签)\r\n"
    "Alt +］　　　　　高亮行的时间标签推后0.1秒\r\n"
    "Ctrl+Alt+［　　　提前0.01秒\r\nCtrl+Alt+］　　　推后0.01秒\r\n"
    "Alt +Ｌ　　　　　重听高亮行（播放到下一行的时间后暂停）\r\n"
    "在波形上悬停标记显示该行歌词，拖动标记可移动该行的时间");

// The About box's credit line: who wrote the program and where to reach them.
constexpr char kCredit[] =
    "\n\nLirotag contributors <maintainers@users.noreply.c-seed-633bd8bf.example>";

constexpr char kExitQuestion[] = QT_TRANSLATE_NOOP(
    "lirotag::MainWindow",
    "是否要退出？\r\n请确认单击过“保存歌词”按钮，并成功保存了文件。\r\n（可以在设置中关闭此提示）");

struct Tooltip {
  const char* control;
  const char* text;
};

// In the order the window hands them out at start-up.
constexpr Tooltip kTooltips[] = {
    {"按钮_打开歌曲", QT_TRANSLATE_NOOP("lirotag::MainWindow", "选择一个音乐文件")},
    {"按钮_关闭歌曲", QT_TRANSLATE_NOOP("lirotag::MainWindow", "关闭打开的文件")},
    {"滑块条_进度", QT_TRANSLATE_NOOP("lirotag::MainWindow", "控制播放进度")},
    {"按钮_载入文本", QT_TRANSLATE_NOOP("lirotag::MainWindow", "从TXT文本或LRC歌词文件读入")},
    {"按钮_设置附加信息",
     QT_TRANSLATE_NOOP("lirotag::MainWindow", "设置LRC歌词的附加信息\r\n[ti:] [ar:] [al:] [by:]")},
    {"按钮_保存歌词", QT_TRANSLATE_NOOP("lirotag::MainWindow", "保存到.LRC文件")},
    {"按钮_删除时间标签",
     QT_TRANSLATE_NOOP("lirotag::MainWindow",
                       "去除选中文本前，最左边的时间标签\r\n例如：\r\n“[33:44.55][00:11.22]"
                       "Content”\r\n处理后变成\r\n“["
                       "00:11.22]Content”")},
    {"按钮_替换标签", QT_TRANSLATE_NOOP("lirotag::MainWindow",
                                        "用当前时间替换选中文本前的所有时间标签\r\n例如，当前播放到"
                                        "第1分05秒，那么\r\n“[33:44.55][00:"
                                        "11.22]Content”\r\n处理后变成\r\n“[01:05.00]Content”")},
    {"按钮_加入标签",
     QT_TRANSLATE_NOOP("lirotag::MainWindow",
                       "把当前时间标签插入到选中文本前\r\n例如，当前播放到第1分05秒，那么\r\n“[33:"
                       "44.55][00:11.22]"
                       "Content”\r\n处理后变成\r\n“[01:05.00][33:44.55][00:11.22]Content”")},
    {"按钮_拆分标签",
     QT_TRANSLATE_NOOP("lirotag::MainWindow",
                       "若选中的文本含有多个时间标签，则把它们拆分开\r\n例如：\r\n“[33:44.55][00:"
                       "11.22]Content”\r\n"
                       "处理后变成：\r\n“[33:44.55]Content\r\n[00:11.22]Content”")},
    {"按钮_按时间排序",
     QT_TRANSLATE_NOOP("lirotag::MainWindow",
                       "对选中的文本中，带有时间标签的部分进行排序（不会自动拆分）")},
    {"按钮_跳到进度", QT_TRANSLATE_NOOP("lirotag::MainWindow",
                                        "如果选中的歌词带有时间标签，则令播放器跳转到此处\r\n若选中"
                                        "多行，只考虑第一行\r\n若此行有多个"
                                        "时间标签，则轮流在多处循环跳转\r\n例如，选中\r\n“[33:44."
                                        "55][00:11.22]Content”\r\n第一次按下时"
                                        "，跳转到33分44秒处，第二次按下时，跳转到11秒处")},
    {"按钮_整合偏移",
     QT_TRANSLATE_NOOP(
         "lirotag::MainWindow",
         "处理歌词中的“[offset:]”标记，把它的值累加到每个时间标签\r\n例如：\r\n“[offset:1000]\r\n["
         "33:44.55][00:11.22]Content”\r\n处理后变成\r\n“[33:45.55][00:12.22]Content”")},
    {"按钮_删除空行", QT_TRANSLATE_NOOP("lirotag::MainWindow", "删除全部空行")},
    {"按钮_折叠相同文本",
     QT_TRANSLATE_NOOP("lirotag::MainWindow",
                       "与“拆分标签”相反，折叠相同文本可以减小导出歌词的文件尺寸\r\n例如：\r\n“[33:"
                       "44.55]Content\r\n["
                       "00:11.22]Content”\r\n处理后变成\r\n“[33:44.55][00:11.22]Content”")},
};

QString Q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(Q(name));
  button->setGeometry(geometry);
  return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(Q(name));
  group->setGeometry(geometry);
  ui::PutTitleOnFrame(group);
  return group;
}

QSlider* MakeSlider(QWidget* parent, const char* name, const QString& accessibleName,
                    QRect geometry) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setObjectName(Q(name));
  slider->setAccessibleName(accessibleName);
  slider->setGeometry(geometry);
  return slider;
}

// A label's text is what a screen reader should say; the description says what it is.
template <typename Label = QLabel>
Label* MakeLabel(QWidget* parent, const char* name, const QString& description, QRect geometry) {
  auto* label = new Label(parent);
  label->setObjectName(Q(name));
  label->setAccessibleDescription(description);
  label->setGeometry(geometry);
  return label;
}

// The edit box's font: SimSun where the system has it, otherwise a CJK font that can
// show the same characters.
QString LyricFontFamily() {
  const QStringList families = QFontDatabase::families();
  for (const char* wanted : {"SimSun", "宋体", "Noto Serif CJK SC", "Noto Sans CJK SC",
                             "Source Han Serif SC", "WenQuanYi Zen Hei", "WenQuanYi Micro Hei"}) {
    if (families.contains(Q(wanted), Qt::CaseInsensitive)) return Q(wanted);
  }
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// Screen readers announce a top-level window by its role and name. A QWidget window
// is offered to them as a plain client area, which AT-SPI reads as a nameless filler;
// as a window, its accessible name is the caption (song path included, whenever that
// changes). The waveform is a chart, not a filler either.
QAccessibleInterface* AccessibleWindows(const QString& className, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return nullptr;
  if (className == QLatin1String(MainWindow::staticMetaObject.className()) ||
      className == QLatin1String(SettingsWindow::staticMetaObject.className()))
    return new QAccessibleWidget(widget, QAccessible::Window);
  if (className == QLatin1String(ui::WaveformStrip::staticMetaObject.className()))
    return new QAccessibleWidget(widget, QAccessible::Chart);
  return nullptr;
}

}  // namespace

MainWindow::MainWindow(MainWindowEnv env, QWidget* parent) : QWidget(parent), env_(std::move(env)) {
  setObjectName(QStringLiteral("窗口_启动窗口"));
  static const bool accessible_as_window = [] {
    QAccessible::installFactory(AccessibleWindows);
    return true;
  }();
  (void)accessible_as_window;
  // No fixed accessible name: the window's is its caption, which names the open song.
  setWindowTitle(Q(kTitle));
  setWindowIcon(ui::ProgramIcon());
  if (!env_.fs) env_.fs = &own_fs_;
  if (env_.skinDir.empty()) env_.skinDir = JoinPath(env_.programDir, "Skin");
  if (env_.pluginDir.empty()) env_.pluginDir = JoinPath(env_.programDir, "Plugins");
  config_ = std::make_unique<ConfigFile>(*env_.fs, env_.configPath);
  skins_ = new Skins(*config_, env_.skinDir, this);
  skins_->ApplyConfigured();
  BuildControls();

  // Start-up, in the order the steps depend on each other.
  setMinimumSize(kDesignWidth, kDesignHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    // Integer division truncates toward zero, as the placement rule wants on narrow screens.
    move(area.x() + (area.width() - kDesignWidth) / 2,
         area.y() + (area.height() - kDesignHeight) / 2);
  }
  resize(kDesignWidth, kDesignHeight);

  // Set up off the GUI thread once the window is painted (see event()).
  transport_->SetEngine(env_.engine, env_.pluginDir);
  transport_->UpdatePlayButton();
  transport_->OnVolumeChanged();
  setAcceptDrops(true);
  connect(lyric_edit_, &ui::LyricEdit::FilesDropped, this, &MainWindow::OnFilesDropped);

  config_->Load(&settings_);
  lyric_edit_->SetColours(settings_.BackGroundColor, settings_.NormalTextColor,
                          settings_.HighLightTextColor);
  SetTooltips();
  refresh_timer_->start();
  editing_->editor().ResetHighlight();
  if (config_->Read("Lirotag", "WordMode", "0") == "1") {
    const QSignalBlocker quiet(editing_);  // remembered already: nothing to write
    editing_->SetWordMode(true);
    findChild<QLabel*>(Q("标签_逐字模式"))->show();
    timing_aids_->ShowWordMarks(true);
  }
  if (!env_.recoveryDir.empty()) {
    recovery_ = new Recovery(
        env_.recoveryDir, this, *lyric_edit_, [this] { return transport_->SongPath(); }, this);
    connect(lyric_files_, &LyricFiles::Saved, recovery_, &Recovery::Discard);
    recovery_->SetRangeSource([this] {
      return std::pair(editing_->editor().RangeFirst(), editing_->editor().RangeLast());
    });
  }
}

void MainWindow::StartUp(const QStringList& files) {
  if (recovery_) {
    recovery_->OfferLeftovers([this](const RecoveryRecord& record) {
      SetupFont();  // text is coming: it is laid out once, in its own font
      if (!record.songPath.empty() && env_.fs->FileExists(record.songPath))
        transport_->OpenSong(record.songPath);
      lyric_edit_->SetWholeText(record.text);
      // Where the user was; the selection becomes the range and comes into view.
      lyric_edit_->SelectLines(record.rangeFirst, record.rangeLast);
      editing_->editor().RangeFromSelection();
    });
  }
  if (!files.isEmpty()) {
    SetupFont();
    OnFilesDropped(files);
  }
}

MainWindow::~MainWindow() {
  env_.player->SetOnChange(nullptr);
  refresh_timer_->stop();
  // The recovery file goes only with text that is saved or that the user gave up; a
  // window that goes without its close question (the session ends) leaves it current.
  if (recovery_) {
    if (unsaved_->Any() && !gave_up_text_) {
      recovery_->Flush();
    } else {
      recovery_->Discard();
    }
  }
  transport_->FinishWork();
  env_.engine->Free();
  // A failed write is not reported: there is nobody left to tell.
  config_->Save(settings_);
}

const std::string& MainWindow::SongPath() const {
  return transport_->SongPath();
}

void MainWindow::BuildControls() {
  play_group_ = MakeGroup(this, "分组框_播放控制", tr("歌曲控制"), {8, 8, 536, 56});
  QPushButton* openSong = MakeButton(play_group_, "按钮_打开歌曲", tr("打开"), {12, 20, 64, 24});
  QPushButton* playPause =
      MakeButton(play_group_, "按钮_播放暂停", tr("( 播放暂停)"), {76, 20, 64, 24});
  QPushButton* closeSong = MakeButton(play_group_, "按钮_关闭歌曲", tr("关闭"), {140, 20, 64, 24});
  QSlider* volume = MakeSlider(play_group_, "滑块条_音量", tr("音量"), {204, 20, 96, 24});
  progress_ = MakeSlider(play_group_, "滑块条_进度", tr("进度"), {300, 20, 216, 24});
  volume->setRange(0, 100);
  volume->setValue(100);
  progress_->setRange(0, 0);

  QGroupBox* lyrics = MakeGroup(this, "分组框_歌词", tr("歌词"), {9, 64, 98, 104});
  QPushButton* loadText = MakeButton(lyrics, "按钮_载入文本", tr("从文件载入"), {8, 16, 80, 24});
  QPushButton* setInfo =
      MakeButton(lyrics, "按钮_设置附加信息", tr("设置附加信息"), {8, 44, 80, 24});
  QPushButton* save = MakeButton(lyrics, "按钮_保存歌词", tr("保存歌词"), {8, 72, 80, 24});

  QGroupBox* selection = MakeGroup(this, "分组框_对选中部分", tr("对选中部分"), {9, 171, 98, 187});
  QPushButton* deleteTag =
      MakeButton(selection, "按钮_删除时间标签", tr("删除标签(&D)"), {8, 16, 80, 24});
  QPushButton* replaceTag =
      MakeButton(selection, "按钮_替换标签", tr("替换标签(&R)"), {8, 44, 80, 24});
  QPushButton* addTag = MakeButton(selection, "按钮_加入标签", tr("加入标签(&A)"), {8, 72, 80, 24});
  QPushButton* splitTags = MakeButton(selection, "按钮_拆分标签", tr("拆分标签"), {8, 100, 80, 24});
  QPushButton* sortTags =
      MakeButton(selection, "按钮_按时间排序", tr("按时间排序"), {8, 128, 80, 24});
  QPushButton* jump = MakeButton(selection, "按钮_跳到进度", tr("跳到进度"), {8, 156, 80, 24});

  QGroupBox* whole = MakeGroup(this, "分组框_对全部", tr("对全部"), {9, 362, 98, 104});
  QPushButton* offset = MakeButton(whole, "按钮_整合偏移", tr("整合偏移值"), {8, 15, 80, 24});
  QPushButton* blank = MakeButton(whole, "按钮_删除空行", tr("删除空行"), {8, 43, 80, 24});
  QPushButton* fold = MakeButton(whole, "按钮_折叠相同文本", tr("折叠相同文本"), {8, 71, 80, 24});

  // "(无文件)" until a song is open. The labels were designed for a font whose digits
  // are half as wide as a Chinese character: each keeps its designed size, and a text
  // too wide for it (three decimals, the jump target) is drawn whole in a smaller font.
  QLabel* currentTime =
      MakeLabel<ui::TimeLabel>(this, "标签_当前时间", tr("当前时间"), {9, 469, 96, 16});
  QLabel* totalTime = MakeLabel<ui::TimeLabel>(this, "标签_总时间", tr("总时间"), {9, 485, 96, 16});
  const QString noFile = QCoreApplication::translate("lirotag::Transport", "(无文件)");
  for (QLabel* label : {currentTime, totalTime}) {
    label->setText(noFile);
    // Rewritten ten times a second while a song plays: a fixed size spares the window
    // a new layout at every change.
    label->setFixedSize(label->size());
  }

  QPushButton* settingsButton = MakeButton(this, "按钮_设置", tr("设置"), {17, 503, 80, 24});
  QPushButton* help = MakeButton(this, "按钮_快捷键", tr("快捷键"), {17, 531, 80, 24});
  QPushButton* about = MakeButton(this, "按钮_关于", tr("关于"), {17, 559, 80, 24});

  lyric_edit_ = new ui::LyricEdit(this);
  lyric_edit_->setGeometry(120, 70, 328, 176);

  // The designed Tab order, the lyric box last.
  const QList<QWidget*> tabOrder = {
      openSong, playPause, closeSong,  volume,         progress_, loadText, setInfo,
      save,     deleteTag, replaceTag, addTag,         splitTags, sortTags, jump,
      offset,   blank,     fold,       settingsButton, help,      about,    lyric_edit_};
  for (int i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  transport_ = new Transport(
      *env_.player, settings_,
      {this, openSong, playPause, closeSong, volume, progress_, currentTime, totalTime}, this);
  editing_ = new Editing(
      *env_.player, settings_, *lyric_edit_,
      {deleteTag, replaceTag, addTag, splitTags, sortTags, jump, offset, blank, fold}, this);
  // Shown while word mode is on; the choice is kept in our own section of the
  // configuration file.
  auto* wordMode = MakeLabel(this, "标签_逐字模式", tr("逐字模式"), {17, 606, 80, 16});
  wordMode->setText(tr("逐字模式：开"));
  wordMode->setStyleSheet(QStringLiteral("color: #1a8f3a; font-weight: bold;"));
  wordMode->hide();
  // The lyric file's name, with a mark while the text holds unsaved work.
  auto* fileLabel = MakeLabel(this, "标签_歌词文件", tr("歌词文件"), {9, 587, 98, 16});
  connect(editing_, &Editing::WordModeChanged, this, [this, wordMode](bool on) {
    wordMode->setVisible(on);
    config_->Write("Lirotag", "WordMode", on ? "1" : "0");
  });
  lyric_files_ =
      new LyricFiles(settings_, *transport_, *lyric_edit_, editing_->editor(),
                     {env_.fs, env_.engine, env_.player}, {this, loadText, setInfo, save}, this);
  song_lyrics_ = new SongLyrics(
      {this, lyric_edit_, &editing_->editor(), transport_, lyric_files_, env_.fs, env_.configPath},
      this);
  unsaved_ = new UnsavedChanges(
      lyric_edit_->document(), this, fileLabel, [this] { return lyric_files_->SaveLyrics(); },
      this);
  connect(lyric_files_, &LyricFiles::Saved, unsaved_,
          [this] { unsaved_->MarkSaved(lyric_files_->LastSavedPath()); });
  connect(lyric_files_, &LyricFiles::Loaded, unsaved_,
          [this] { unsaved_->MarkLoaded(lyric_files_->LastLoadedPath()); });
  lyric_files_->SetBeforeLoad(
      [this] { return unsaved_->AskBeforeGivingUp() != UnsavedChanges::Outcome::Cancelled; });
  // Wherever the focus is in the window, the lyric box included.
  auto* saveAction = new QAction(this);
  saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  saveAction->setShortcutContext(Qt::WindowShortcut);
  addAction(saveAction);
  connect(saveAction, &QAction::triggered, save, &QPushButton::click);
  shortcuts_ = new Shortcuts({this, lyric_edit_, addTag, &editing_->editor(), env_.player}, this);
  refresh_timer_ = new QTimer(this);
  refresh_timer_->setObjectName(QStringLiteral("时钟_刷新"));
  refresh_timer_->setInterval(kRefreshMs);
  connect(refresh_timer_, &QTimer::timeout, transport_, &Transport::Refresh);
  timing_aids_ = new TimingAids(
      *env_.player, *config_,
      {this, lyric_edit_, currentTime, transport_, &editing_->editor(), &settings_},
      [this] { LayOut(); }, this);
  online_lyrics_ = new OnlineLyrics({env_.fs, env_.configPath, env_.engine, env_.player},
                                    {this, lyric_edit_, transport_, &editing_->editor()}, this);
  // After the transport's refresh, so that the speed follows the time it shows.
  connect(refresh_timer_, &QTimer::timeout, timing_aids_, &TimingAids::Tick);
  // Nudged tags move the marks and the sung line at once, not at the next tick.
  nudge_keys_ = new NudgeKeys(this, *lyric_edit_, editing_->editor(), settings_, this);
  connect(nudge_keys_, &NudgeKeys::Nudged, timing_aids_, &TimingAids::Tick);
  line_replay_ =
      new LineReplay(*env_.player, {this, lyric_edit_, &editing_->editor(), transport_}, this);
  connect(editing_, &Editing::WordModeChanged, timing_aids_, &TimingAids::ShowWordMarks);
  // Last on the beat: whether the next one may wait.
  connect(refresh_timer_, &QTimer::timeout, this, &MainWindow::RestIfStill);
  // Direct on this thread; queued from any other.
  env_.player->SetOnChange([this] { QMetaObject::invokeMethod(this, &MainWindow::WakeRefresh); });
  connect(lyric_edit_->document(), &QTextDocument::contentsChanged, this, &MainWindow::WakeRefresh);
  connect(progress_, &QSlider::sliderPressed, this, &MainWindow::WakeRefresh);
  // Any key or click anywhere in the program (a setting changed, a drag begun) may
  // change what the clock shows.
  qApp->installEventFilter(this);

  connect(settingsButton, &QPushButton::clicked, this, &MainWindow::ShowSettings);
  connect(help, &QPushButton::clicked, this, &MainWindow::ShowShortcutHelp);
  connect(about, &QPushButton::clicked, this, &MainWindow::ShowAbout);
}

void MainWindow::RestIfStill() {
  const AudioHandle song = env_.player->Handle();
  // What changes by itself: a playing song, the length some formats know exactly only
  // once the engine has counted it, the waveform's peaks as they are read.
  const bool moving = (song != 0 && (env_.player->State() == kActivePlaying ||
                                     !env_.engine->ChannelLengthIsExact(song, 0))) ||
                      transport_->Dragging() || !timing_aids_->Settled();
  if (!moving) refresh_timer_->stop();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
      WakeRefresh();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::WakeRefresh() {
  // A running clock is left alone: restarting it would put the next beat off.
  if (!refresh_timer_->isActive()) refresh_timer_->start();
}

void MainWindow::SetTooltips() {
  for (const Tooltip& tip : kTooltips) {
    if (auto* control = findChild<QWidget*>(Q(tip.control)))
      control->setToolTip(ui::DisplayText(tr(tip.text)));
  }
}

void MainWindow::SetupFont() {
  if (font_set_up_) return;
  font_set_up_ = true;
  QFont font = lyric_edit_->font();
  font.setFamily(LyricFontFamily());
  font.setPointSize(12);
  lyric_edit_->setFont(font);
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::Paint && !engine_asked_) {
    // The engine, and the libraries behind it, are loaded once the window is there and
    // its first frames are drawn: loading takes the dynamic loader's lock, which the
    // window's own first steps (styles, fonts, input methods) need too. A song opened
    // sooner asks for the engine at once.
    engine_asked_ = true;
    QTimer::singleShot(kEngineDelayMs, transport_, &Transport::PrepareEngine);
    // The lyric box's CJK font (a font file of its own to open) waits until the first
    // frame is drawn, while the box is still empty; text that comes sooner sets it.
    QTimer::singleShot(0, this, [this] { SetupFont(); });
  }
  if (event->type() == QEvent::WindowTitleChange) {
    // Qt does not tell screen readers that a window's caption changed; they keep
    // announcing the name they read first unless told.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
  }
  return QWidget::event(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void MainWindow::LayOut() {
  const int w = width();
  const int h = height();
  play_group_->setGeometry(8, 4, w - 20, play_group_->height());
  progress_->setGeometry(progress_->x(), progress_->y(), w - 328, progress_->height());
  // The waveform, when shown, takes the top of the lyric box's place.
  const int strip = timing_aids_ ? timing_aids_->StripHeight() : 0;
  if (strip > 0) timing_aids_->Strip()->setGeometry(120, 70, w - 132, strip - 4);
  lyric_edit_->setGeometry(120, 70 + strip, w - 132, h - 80 - strip);
}

bool MainWindow::NeedsExitConfirmation() const {
  return settings_.AskOnExit && !SongPath().empty();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!ui::LocalFilesOf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QStringList paths = ui::LocalFilesOf(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  OnFilesDropped(paths);
}

void MainWindow::OnFilesDropped(const QStringList& paths) {
  std::vector<std::string> names;
  for (const QString& path : paths) names.push_back(path.toStdString());
  const DroppedFiles dropped = ClassifyDroppedFiles(names);
  // The song first: a song that fails to open does not keep its lyrics from loading.
  if (!dropped.song.empty()) transport_->OpenSong(dropped.song);
  if (!dropped.lyricFile.empty()) lyric_files_->LoadLyricFile(dropped.lyricFile);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  switch (unsaved_->AskBeforeGivingUp()) {
    case UnsavedChanges::Outcome::Cancelled:
      event->ignore();
      return;
    case UnsavedChanges::Outcome::GivenUp:
      gave_up_text_ = true;
      if (recovery_) recovery_->Discard();
      event->accept();
      return;
    case UnsavedChanges::Outcome::Saved:
      event->accept();
      return;
    case UnsavedChanges::Outcome::Nothing:
      break;
  }
  if (NeedsExitConfirmation()) {
    const auto answer = ui::MessageBox::Show(this, QMessageBox::Question, tr("确认退出"),
                                             ui::DisplayText(tr(kExitQuestion)),
                                             QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

void MainWindow::ShowSettings() {
  // Modeless and owned by the main window; a second click brings the open one to the
  // front.
  if (!settings_window_) {
    settings_window_ = new SettingsWindow(this, settings_, *lyric_edit_, editing_->editor());
    song_lyrics_->AttachSettingsWindow(settings_window_);
    settings_window_->SetAudio(env_.engine, env_.player,
                               [this] { return transport_->WaitForEngine(); });
    // Over the main window, where the eye already is; the user may move it from there.
    QRect place = settings_window_->frameGeometry();
    place.moveCenter(frameGeometry().center());
    settings_window_->move(place.topLeft());
  }
  settings_window_->show();
  settings_window_->raise();
  settings_window_->activateWindow();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  // The window's background menu stands in for the system menu of other platforms.
  QMenu* menu = findChild<QMenu*>(QStringLiteral("菜单_窗口"));
  if (!menu) {
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("菜单_窗口"));
    menu->addMenu(skins_->Menu());
    menu->addMenu(timing_aids_->SpeedMenu());
    menu->addAction(timing_aids_->StripAction());
    menu->addSeparator();
    menu->addAction(online_lyrics_->FindAction());
    menu->addAction(online_lyrics_->PublishAction());
    menu->setToolTipsVisible(true);
    menu->addSeparator();
    menu->addAction(song_lyrics_->LoadAction());
    menu->addAction(song_lyrics_->WriteAction());
  }
  menu->popup(event->globalPos());
  event->accept();
}

static QFont ShortcutHelpFont() {
  // The list is laid out for a font whose Latin letters take half the width of a
  // Chinese character and whose arrows and full-width letters take a whole one; in a
  // proportional font the rows with arrows come out of line.
  for (const char* family : {"SimSun", "NSimSun", "Noto Sans Mono CJK SC", "Sarasa Mono SC"}) {
    if (QFontDatabase::families().contains(Q(family), Qt::CaseInsensitive)) {
      QFont font(Q(family));
      font.setPointSizeF(QApplication::font().pointSizeF());
      return font;
    }
  }
  return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

void MainWindow::ShowShortcutHelp() {
  ui::MessageOptions options;
  options.textFont = ShortcutHelpFont();
  ui::MessageBox::Show(this, QMessageBox::NoIcon, tr("快捷键"), ui::DisplayText(tr(kShortcutHelp)),
                       QMessageBox::Ok, options);
}

void MainWindow::ShowAbout() {
  // The fixed title, never the caption, which may carry a song's path; the address on
  // one line, and the program's own icon.
  ui::MessageOptions options;
  options.iconPixmap = ui::ProgramIconPixmap(64);
  options.keepLinesWhole = true;
  ui::MessageBox::Show(this, QMessageBox::Information, tr("关于 %1").arg(Q(kTitle)),
                       Q(kTitle) + Q(kCredit), QMessageBox::Ok, options);
}

}  // namespace lirotag
