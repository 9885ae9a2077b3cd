#include "shell/settings_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>

#include "lyrics/edit_commands.h"
#include "lyrics/stamp_timing.h"
#include "shell/calibration_dialog.h"
#include "ui/dialogs.h"
#include "ui/group_box_style.h"
#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

QString Q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

template <typename T>
T* Make(QWidget* parent, const char* name, QRect geometry, const QString& caption = QString()) {
  auto* widget = new T(parent);
  widget->setObjectName(Q(name));
  widget->setGeometry(geometry);
  if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>) {
    if (!caption.isNull()) widget->setText(caption);
  }
  return widget;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  auto* group = Make<QGroupBox>(parent, name, geometry);
  group->setTitle(caption);
  ui::PutTitleOnFrame(group);
  return group;
}

constexpr const char* kPatterns[] = {"%LocalDir%\\%FileName%.Lrc", "%LocalDir%\\%Title%.Lrc",
                                     "%LocalDir%\\%Title% - %Artist%.Lrc",
                                     "%LocalDir%\\%Artist% - %Title%.Lrc"};

constexpr char kHelp[] =
    QT_TRANSLATE_NOOP("lirotag::SettingsWindow",
                      "以下字段不分大小写\r\n%LocalDir%：歌曲所在目录，不包含末尾“\\”\r\n%FileName%"
                      "：歌曲文件名，不包含扩展名"
                      "\r\n%FullName%：含扩展名的歌曲文件名\r\n%Ext%：扩展名\r\n\r\n%Title%"
                      "：歌曲标签内的『标题』\r\n%"
                      "Artist%：歌曲标签内的『艺术家』\r\n%Album%：歌曲标签内的『专辑』");

constexpr char kThreeDecimalsWarning[] = QT_TRANSLATE_NOOP(
    "lirotag::SettingsWindow",
    "请注意，不是所有播放器都支持带3位小数的歌词文件。\r\n而且，以1/"
    "1000秒为分度值并不比1/"
    "100秒精确很多。\r\n选择此项，很有可能导致生成的.LRC文件不可用！\r\n是否要继续？");

}  // namespace

QString SettingsWindow::PlaceholderHelp(QChar separator) {
  QString text = ui::DisplayText(tr(kHelp));
  text.replace(QStringLiteral("“\\”"), QStringLiteral("“") + separator + QStringLiteral("”"));
  return text;
}

SettingsWindow::SettingsWindow(QWidget* owner, Settings& settings, ui::LyricEdit& box,
                               LyricEditor& editor)
    : QWidget(owner, Qt::Window), settings_(settings), box_(box), editor_(editor) {
  setObjectName(QStringLiteral("窗口_设置"));
  setWindowTitle(tr("设置"));
  // The designed outer size 380 × 455, less a standard frame and caption, and a row each
  // for writing the lyric into the song and for the reaction delay.
  setFixedSize(374, 479);
  BuildControls();
  Fill();
}

void SettingsWindow::BuildControls() {
  QGroupBox* info = MakeGroup(this, "分组框1", tr("设置附加信息"), {16, 8, 336, 112});
  full_ = Make<QRadioButton>(info, "单选框_修改信息_完全模式", {16, 16, 192, 16},
                             tr("完全模式（输入全部4个字段）"));
  fast_ = Make<QRadioButton>(info, "单选框_修改信息_快速模式", {16, 40, 304, 16},
                             tr("快速模式（输入歌词制作人，其他从音乐文件读取）"));
  // Wide enough for the colon at the designed font size; the field starts right after.
  maker_label_ = Make<QLabel>(info, "标签1", {32, 64, 72, 16}, tr("歌词制作人："));
  maker_ = Make<QLineEdit>(info, "编辑框_歌词制作人", {104, 64, 184, 17});
  maker_label_->setBuddy(maker_);
  auto_add_ = Make<QCheckBox>(info, "选择框_修改信息_自动添加", {32, 88, 144, 16},
                              tr("写出歌词时自动添加"));

  QGroupBox* save = MakeGroup(this, "分组框2", tr("保存歌词"), {16, 128, 336, 160});
  ask_ = Make<QRadioButton>(save, "单选框_保存歌词_每次选择", {16, 24, 184, 16},
                            tr("每次都弹出对话框选择位置"));
  automatic_ = Make<QRadioButton>(save, "单选框_保存歌词_自动保存", {16, 48, 184, 16},
                                  tr("自动保存在以下位置"));
  help_ = Make<QLabel>(save, "标签_保存歌词_提示", {216, 48, 80, 16}, tr("哪些字段可用？"));
  // Blue like a link; a skin may give it a colour of its own that suits its background.
  QPalette linkColour = help_->palette();
  linkColour.setColor(QPalette::WindowText, QColor(0, 0, 255));
  help_->setPalette(linkColour);
  help_->setCursor(Qt::PointingHandCursor);
  // Reachable with Tab, opened with Space or Enter as with a click.
  help_->setFocusPolicy(Qt::StrongFocus);
  help_->setAccessibleName(tr("哪些字段可用？"));
  help_->installEventFilter(this);
  path_ = Make<QComboBox>(save, "组合框_保存歌词_位置", {16, 72, 288, 21});
  path_->setEditable(true);
  path_->setAccessibleName(tr("保存位置"));
  for (const char* pattern : kPatterns) path_->addItem(Q(pattern));
  // Up to the list, for languages whose word for it is longer.
  auto* encodingLabel = Make<QLabel>(save, "标签2", {16, 104, 58, 16}, tr("文本编码"));
  encoding_ = Make<QComboBox>(save, "组合框_保存歌词_文本编码", {76, 102, 116, 20});
  encoding_->addItems({QStringLiteral("ANSI"), QStringLiteral("UTF16"), QStringLiteral("UTF8")});
  encodingLabel->setBuddy(encoding_);
  // Kept in our own section; the main window's song-lyrics part reads and writes it.
  Make<QCheckBox>(save, "选择框_保存歌词_写入歌曲", {16, 132, 300, 16},
                  tr("保存歌词时同时写入歌曲"));

  QGroupBox* other = MakeGroup(this, "分组框3", tr("其他"), {16, 296, 336, 164});
  const struct {
    QString label;
    const char *labelName, *pickerName;
    int top;
    QPushButton** picker;
    int32_t* setting;
  } colours[] = {
      {tr("歌词区背景颜色"), "标签3", "颜色选择器_背景", 20, &background_,
       &settings_.BackGroundColor},
      {tr("普通文本颜色"), "标签4", "颜色选择器_普通文本", 48, &normal_,
       &settings_.NormalTextColor},
      {tr("高亮文本颜色"), "标签5", "颜色选择器_高亮文本", 76, &highlight_,
       &settings_.HighLightTextColor},
  };
  for (const auto& c : colours) {
    auto* label = Make<QLabel>(other, c.labelName, {16, c.top + 4, 88, 16}, c.label);
    QPushButton* picker = Make<QPushButton>(other, c.pickerName, {112, c.top, 104, 24});
    picker->setAccessibleName(c.label);
    label->setBuddy(picker);
    *c.picker = picker;
    int32_t* setting = c.setting;
    connect(picker, &QPushButton::clicked, this,
            [this, picker, setting] { ChooseColour(picker, setting); });
  }
  ask_on_exit_ =
      Make<QCheckBox>(other, "选择框_其他_退出时询问", {16, 108, 104, 16}, tr("退出时询问"));
  three_ = Make<QCheckBox>(other, "选择框_其他_三位小数点", {136, 108, 160, 16},
                           tr("时间标签精确到1/1000秒"));

  // Beside the colours: the interface language, taken at the next start. The languages
  // are named in their own words, so that either reader finds theirs.
  auto* languageLabel = Make<QLabel>(other, "标签_界面语言", {232, 24, 88, 16}, tr("界面语言"));
  language_ = Make<QComboBox>(other, "组合框_界面语言", {232, 48, 88, 22});
  language_->addItem(tr("自动"), QString());
  language_->addItem(QStringLiteral("简体中文"), QStringLiteral("zh_CN"));
  language_->addItem(QStringLiteral("English"), QStringLiteral("en"));
  language_->setToolTip(
      tr("界面语言，下次启动时生效\r\n自动：随系统的语言（英语系统为英文，其他为中文）"));
  languageLabel->setBuddy(language_);

  auto* delayLabel =
      Make<QLabel>(other, "标签_按键延迟补偿", {16, 136, 124, 16}, tr("按键延迟补偿（毫秒）"));
  delay_ = Make<QSpinBox>(other, "数值框_按键延迟补偿", {140, 133, 64, 22});
  delay_->setRange(0, kMaxStampDelayMs);
  delay_->setSingleStep(10);
  delay_->setAccessibleName(tr("按键延迟补偿（毫秒）"));
  delayLabel->setBuddy(delay_);
  calibrate_ = Make<QPushButton>(other, "按钮_校准", {212, 132, 72, 24}, tr("校准…"));
  calibrate_->setEnabled(false);

  const QList<QWidget*> order = {full_,      fast_,      maker_,    auto_add_,    ask_,
                                 automatic_, help_,      path_,     encoding_,    background_,
                                 normal_,    highlight_, language_, ask_on_exit_, three_,
                                 delay_,     calibrate_};
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  connect(full_, &QRadioButton::clicked, this, [this] { SetFastMode(false); });
  connect(fast_, &QRadioButton::clicked, this, [this] { SetFastMode(true); });
  connect(maker_, &QLineEdit::textChanged, this,
          [this](const QString& text) { settings_.EditBy = text.toStdString(); });
  connect(auto_add_, &QCheckBox::clicked, this, [this](bool on) { settings_.AutoAdd = on; });
  connect(ask_, &QRadioButton::clicked, this, [this] { SetAutomatic(false); });
  connect(automatic_, &QRadioButton::clicked, this, [this] { SetAutomatic(true); });
  connect(path_, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { settings_.Path = text.toStdString(); });
  connect(encoding_, &QComboBox::activated, this,
          [this](int index) { settings_.Encoding = index; });
  connect(language_, &QComboBox::activated, this, [this](int index) {
    const std::string chosen = language_->itemData(index).toString().toStdString();
    if (chosen == settings_.Language) return;
    settings_.Language = chosen;
    // The windows are built in one language; the other one comes with the next start.
    ui::MessageBox::Show(this, QMessageBox::Information, tr("界面语言"),
                         tr("界面语言将在下次启动程序时更换。"), QMessageBox::Ok);
  });
  connect(ask_on_exit_, &QCheckBox::clicked, this, [this](bool on) { settings_.AskOnExit = on; });
  connect(three_, &QCheckBox::clicked, this, &SettingsWindow::OnThreeDecimalsClicked);
  connect(delay_, &QSpinBox::valueChanged, this,
          [this](int ms) { settings_.StampDelay = ClampStampDelay(ms); });
  connect(calibrate_, &QPushButton::clicked, this, &SettingsWindow::Calibrate);
}

void SettingsWindow::SetAudio(AudioEngine* engine, Player* player,
                              std::function<bool()> engineReady) {
  engine_ready_ = std::move(engineReady);
  engine_ = engine;
  player_ = player;
  calibrate_->setEnabled(engine_ != nullptr);
}

void SettingsWindow::Calibrate() {
  if (!engine_ || (engine_ready_ && !engine_ready_())) return;
  // Window-modal, not a nested loop: the clicks and the keys go on while it shows.
  auto* dialog = new CalibrationDialog(this, *engine_, player_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { delay_->setValue(dialog->Chosen()); });
  dialog->open();
}

void SettingsWindow::Fill() {
  (settings_.FastMode ? fast_ : full_)->setChecked(true);
  SetFastMode(settings_.FastMode);
  maker_->setText(QString::fromStdString(settings_.EditBy));
  auto_add_->setChecked(settings_.AutoAdd);
  (settings_.Automatic ? automatic_ : ask_)->setChecked(true);
  SetAutomatic(settings_.Automatic);
  path_->setCurrentText(QString::fromStdString(settings_.Path));
  // A stored value outside the list selects nothing, and stays as it is until chosen.
  encoding_->setCurrentIndex(
      settings_.Encoding >= 0 && settings_.Encoding < encoding_->count() ? settings_.Encoding : -1);
  ShowColour(background_, settings_.BackGroundColor);
  ShowColour(normal_, settings_.NormalTextColor);
  ShowColour(highlight_, settings_.HighLightTextColor);
  // An unknown stored value is shown (and works) as automatic.
  language_->setCurrentIndex(
      std::max(0, language_->findData(QString::fromStdString(settings_.Language))));
  ask_on_exit_->setChecked(settings_.AskOnExit);
  three_->setChecked(settings_.ThreePointTime);
  delay_->setValue(ClampStampDelay(settings_.StampDelay));

  const struct {
    QWidget* control;
    QString text;
  } tips[] = {
      {full_, tr("完全模式：单击『设置附加信息』按钮后，将弹出对话框，来设置歌词的4个附加信息")},
      {fast_,
       tr("快速模式：单击『设置附加信息』按钮后，自动读取歌曲文件的Title、Artist、Album，并根据设置"
          "的『歌词制作人』来填充")},
      {auto_add_, tr("写出.LRC文件前自动设置附加信息，仅限快速模式")},
      {encoding_,
       tr("选择写出的.LRC歌词所采用的编码方式\r\n建议选择UTF16以便在不同语言的机器上正常显示")},
      {three_, tr("生成的时间标签精确到1/1000秒（3位小数），否则为1/"
                  "100秒（2位）\r\n注意，有些播放器不支持含3"
                  "位小数的歌词文件")},
      {delay_,
       tr("从听到到按下按键总要一点时间。加入的每个时间标签（整行或逐字）都减去这段时间，\r\n"
          "使歌词不再比歌声晚。0 表示不补偿；可用“校准…”测出自己的延迟")},
      {calibrate_, tr("播放一段节拍声，跟着按空格键，测出自己的按键延迟")},
  };
  for (const auto& tip : tips) tip.control->setToolTip(ui::DisplayText(tip.text));
}

void SettingsWindow::SetFastMode(bool fast) {
  maker_->setEnabled(fast);
  auto_add_->setEnabled(fast);
  // The label stays enabled; only its colour says that the field is not in use. In use
  // it takes the ordinary text colour (black, or the skin's), so a dark skin keeps it
  // readable.
  maker_label_->setStyleSheet(fast ? QString() : QStringLiteral("color: #808080;"));
  settings_.FastMode = fast;
}

void SettingsWindow::SetAutomatic(bool automatic) {
  path_->setEnabled(automatic);
  settings_.Automatic = automatic;
}

void SettingsWindow::OnThreeDecimalsClicked(bool checked) {
  if (checked && ui::MessageBox::Show(this, QMessageBox::Warning, tr("警告"),
                                      ui::DisplayText(tr(kThreeDecimalsWarning)),
                                      QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
    three_->setChecked(false);
    return;
  }
  settings_.ThreePointTime = checked;
}

void SettingsWindow::ShowColour(QPushButton* picker, int32_t colorRef) {
  const QColor colour = ui::FromColorRef(colorRef);
  picker->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
  picker->setProperty("colour", colour);
}

void SettingsWindow::ChooseColour(QPushButton* picker, int32_t* setting) {
  const std::optional<QColor> chosen = ui::ChooseColour(this, ui::FromColorRef(*setting));
  if (!chosen) return;
  *setting = ui::ToColorRef(*chosen);
  ShowColour(picker, *setting);
  box_.SetColours(settings_.BackGroundColor, settings_.NormalTextColor,
                  settings_.HighLightTextColor);
  editor_.ResetHighlight(false);
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == help_) {
    const bool clicked = event->type() == QEvent::MouseButtonRelease &&
                         static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event)->key() : 0;
    if (clicked || key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
      ShowPlaceholderHelp();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SettingsWindow::ShowPlaceholderHelp() {
  // The separator the chosen pattern uses; both work on every system.
  const QString pattern = path_->currentText();
  const qsizetype slash = pattern.indexOf(QLatin1Char('/'));
  const qsizetype backslash = pattern.indexOf(QLatin1Char('\\'));
  const QChar separator =
      slash >= 0 && (backslash < 0 || slash < backslash) ? QLatin1Char('/') : QLatin1Char('\\');
  ui::MessageBox::Show(this, QMessageBox::Information, tr("哪些字段可用？"),
                       PlaceholderHelp(separator), QMessageBox::Ok);
}

void SettingsWindow::keyPressEvent(QKeyEvent* event) {
  // A tool window closes with Esc, as a dialog does.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace lirotag
