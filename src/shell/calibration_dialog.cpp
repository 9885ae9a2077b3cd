#include "shell/calibration_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "audio/confirm_sound.h"
#include "audio/player.h"

namespace lirotag {

CalibrationDialog::CalibrationDialog(QWidget* parent, AudioEngine& engine, Player* player)
    : QDialog(parent), engine_(engine), player_(player) {
  setObjectName(QStringLiteral("窗口_校准"));
  setWindowTitle(tr("校准按键延迟"));
  track_ = MakeClickTrack(kClicks, kBeatsPerMinute, kLeadInSeconds, 1.0);

  auto* intro = new QLabel(tr("单击“开始”后会响起 %1 下节拍声（每分钟 %2 拍）。\n"
                              "请在听到每一下时按一次空格键，像给歌词加时间一样。\n"
                              "测出的是从听到到按下的时间，加时间标签时将减去它。")
                               .arg(kClicks)
                               .arg(kBeatsPerMinute),
                           this);
  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("标签_校准进度"));
  result_ = new QLabel(tr("尚未测量"), this);
  result_->setObjectName(QStringLiteral("标签_校准结果"));
  result_->setWordWrap(true);
  QFont bold = result_->font();
  bold.setBold(true);
  result_->setFont(bold);
  // Room for a two-line result from the start, so the dialog does not jump.
  result_->setMinimumHeight(QFontMetrics(bold).lineSpacing() * 2 + 4);
  result_->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(QStringLiteral("按")) * 26);
  start_ = new QPushButton(tr("开始"), this);
  start_->setObjectName(QStringLiteral("按钮_开始校准"));
  use_ = new QPushButton(tr("使用此值"), this);
  use_->setObjectName(QStringLiteral("按钮_使用校准值"));
  use_->setEnabled(false);
  auto* close = new QPushButton(tr("关闭"), this);
  close->setObjectName(QStringLiteral("按钮_关闭校准"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addStretch();
  buttons->addWidget(use_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addSpacing(8);
  layout->addWidget(progress_);
  layout->addWidget(result_);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  connect(start_, &QPushButton::clicked, this, &CalibrationDialog::Start);
  connect(use_, &QPushButton::clicked, this, [this] {
    chosen_ = measurement_.suggestedDelayMs;
    accept();
  });
  connect(close, &QPushButton::clicked, this, &CalibrationDialog::reject);
  poll_ = new QTimer(this);
  poll_->setInterval(30);
  connect(poll_, &QTimer::timeout, this, &CalibrationDialog::Poll);
  qApp->installEventFilter(this);
}

CalibrationDialog::~CalibrationDialog() {
  StopTrack();
}

void CalibrationDialog::StopTrack() {
  poll_->stop();
  if (channel_) engine_.StreamFree(channel_);
  channel_ = 0;
}

void CalibrationDialog::reject() {
  StopTrack();
  QDialog::reject();
}

void CalibrationDialog::Start() {
  StopTrack();
  // The clicks alone: a playing song would be heard over them.
  if (player_ && player_->State() == kActivePlaying) player_->Pause();
  const std::string wav = ClickTrackWav(track_.clicks, track_.length);
  channel_ = engine_.StreamCreateMemory(wav.data(), wav.size(), 0);
  if (!channel_ || !engine_.ChannelPlay(channel_, true)) {
    StopTrack();
    result_->setText(tr("无法播放节拍声。"));
    return;
  }
  presses_.clear();
  measurement_ = {};
  use_->setEnabled(false);
  start_->setEnabled(false);
  result_->setText(tr("请在每一下节拍声响起时按空格键……"));
  progress_->setText(tr("已按 0 次"));
  poll_->start();
}

double CalibrationDialog::Position() const {
  if (!channel_) return 0;
  return engine_.ChannelBytes2Seconds(channel_, engine_.ChannelGetPosition(channel_, kPosByte));
}

bool CalibrationDialog::eventFilter(QObject* watched, QEvent* event) {
  // Space belongs to the measurement while the clicks play: it must not press a button.
  // Whatever has the focus in the dialog (a button, once "开始" is disabled) must not
  // take the key, nor must the window the system calls active decide it.
  auto* target = qobject_cast<QWidget*>(watched);
  // A late press just after the last click is the user's too, not a button's.
  const bool listening = Running() || (ended_.isValid() && ended_.elapsed() < kGraceMs);
  if (listening && target && (target == this || isAncestorOf(target)) &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space) {
      if (Running() && event->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
        presses_.push_back(Position());
        progress_->setText(tr("已按 %1 次").arg(presses_.size()));
      }
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CalibrationDialog::Poll() {
  if (engine_.ChannelIsActive(channel_) == kActivePlaying) return;
  Finish();
}

void CalibrationDialog::Finish() {
  StopTrack();
  ended_.start();
  start_->setEnabled(true);
  start_->setText(tr("再测一次"));
  measurement_ = MeasureDelay(track_.clicks, presses_);
  start_->setFocus();
  if (!measurement_.usable) {
    result_->setText(tr("只有 %1 次按键对上了节拍声（共 %2 下），无法得出结果。请再测一次。")
                         .arg(measurement_.used)
                         .arg(measurement_.clicks));
    return;
  }
  result_->setText(tr("按键延迟（中位数）：%1 毫秒，波动 ±%2 毫秒（%3 下中对上 %4 下）")
                       .arg(std::lround(measurement_.medianMs))
                       .arg(std::lround(measurement_.spreadMs))
                       .arg(measurement_.clicks)
                       .arg(measurement_.used));
  use_->setText(tr("使用此值（%1 毫秒）").arg(measurement_.suggestedDelayMs));
  use_->setEnabled(true);
  use_->setDefault(true);
  use_->setFocus();
}

}  // namespace lirotag
