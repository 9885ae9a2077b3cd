#include "shell/transport.h"

#include <QAbstractSlider>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "lyrics/time_tags.h"
#include "shell/song_open_error.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/instant_mnemonic.h"
#include "ui/translation.h"

namespace lirotag {

namespace {

QString Q(const char* utf8) {
  return QString::fromUtf8(utf8);
}
QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// Where an open waits for the engine to be set up.
struct OpenOutcome {
  bool done = false;
  AudioHandle channel = 0;
  OpenError error = OpenError::kNone;
  QEventLoop* waiting = nullptr;  // null once the open gave up waiting
};

}  // namespace

// Opened once the engine is set up; opens wait for it off the GUI thread.
struct Transport::EngineGate {
  std::mutex mu;
  std::condition_variable cv;
  bool open = false;
  void Open() {
    std::lock_guard<std::mutex> lk(mu);
    open = true;
    cv.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lk(mu);
    cv.wait(lk, [this] { return open; });
  }
};

Transport::Transport(Player& player, const Settings& settings, Controls controls, QObject* parent)
    : QObject(parent),
      player_(player),
      settings_(settings),
      c_(controls),
      gate_(std::make_shared<EngineGate>()) {
  connect(c_.open, &QPushButton::clicked, this, &Transport::ChooseSong);
  connect(c_.playPause, &QPushButton::clicked, this, &Transport::TogglePlay);
  // Playing starts on the key press: the time heard and the time stamped start together.
  ui::ClickOnMnemonicPress(c_.playPause);
  connect(c_.close, &QPushButton::clicked, this, &Transport::CloseSong);
  connect(c_.volume, &QSlider::valueChanged, this, &Transport::OnVolumeChanged);
  // actionTriggered fires for the user's moves only (keys, clicks on the track, the
  // thumb), with the new position already in sliderPosition(); the timer's setValue
  // does not trigger it, so the display never seeks the song.
  connect(c_.progress, &QAbstractSlider::actionTriggered, this,
          [this] { OnProgressMoved(c_.progress->sliderPosition()); });
  c_.progress->installEventFilter(this);
}

bool Transport::eventFilter(QObject* watched, QEvent* event) {
  // Seen before the slider handles them: the mark is set before a click on the track
  // moves the position, and by the release the position is already final.
  if (watched == c_.progress) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
      // Every button the slider moves with starts a drag: the left one, and whichever
      // the style uses to set the position directly (the middle one in most styles),
      // which would otherwise seek on every mouse move. The slider itself ignores a
      // press while another button is held, and so does the mark.
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QStyle* style = c_.progress->style();
      const int moving =
          Qt::LeftButton |
          style->styleHint(QStyle::SH_Slider_AbsoluteSetButtons, nullptr, c_.progress) |
          style->styleHint(QStyle::SH_Slider_PageSetButtons, nullptr, c_.progress);
      if (mouse->buttons() == mouse->button() && (mouse->button() & moving)) OnProgressPressed();
    } else if (type == QEvent::MouseButtonRelease) {
      // The slider lets go once no button is held any more.
      if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) OnProgressReleased();
    }
  }
  return QObject::eventFilter(watched, event);
}

void Transport::SetEngine(AudioEngine* engine, std::string pluginDir) {
  engine_ = engine;
  plugin_dir_ = std::move(pluginDir);
}

void Transport::PrepareEngine() {
  if (preparing_) return;
  preparing_ = true;
  AudioEngine* engine = engine_;
  std::shared_ptr<EngineGate> gate = gate_;
  work_.Run(
      [engine, gate, dir = plugin_dir_] {
        std::string filter;
        if (engine) {
          // No sound device is not an error: the engine then plays on a silent output.
          engine->Init(kDefaultDevice, 44100, 0, nullptr, nullptr);
          filter = LoadPlugins(*engine, dir);
        }
        gate->Open();
        return filter;
      },
      [this](std::string filter) {
        song_filter_ = std::move(filter);
        engine_ready_ = true;
        emit EngineIsReady();
      });
}

bool Transport::WaitForEngine() {
  if (engine_ready_) return true;
  PrepareEngine();
  QEventLoop loop;
  connect(this, &Transport::EngineIsReady, &loop, &QEventLoop::quit);
  loop.exec();
  return engine_ready_;  // false: the program is closing
}

void Transport::ChooseSong() {
  // The song dialog lists what the engine opens: wait for it, still answering.
  if (!WaitForEngine()) return;
  ui::FileDialogOptions options;
  options.owner = c_.window;
  options.filter = song_filter_;
  options.title = tr("选择歌曲").toStdString();
  options.showHidden = true;
  std::string path;
  if (ui::FileDialog(options, &path)) OpenSong(path);
}

bool Transport::OpenSong(const std::string& path) {
  PrepareEngine();
  const int serial = ++open_serial_;
  auto outcome = std::make_shared<OpenOutcome>();
  std::shared_ptr<EngineGate> gate = gate_;
  Player* player = &player_;
  AudioEngine* engine = engine_;
  work_.Run(
      [gate, player, path] {
        gate->Wait();
        OpenError error = OpenError::kNone;
        const AudioHandle channel = player->OpenChannel(path, &error);
        return std::make_pair(channel, error);
      },
      [outcome, engine](std::pair<AudioHandle, OpenError> opened) {
        const AudioHandle channel = opened.first;
        outcome->done = true;
        outcome->channel = channel;
        outcome->error = opened.second;
        if (outcome->waiting) {
          outcome->waiting->quit();
        } else if (channel != 0 && engine) {
          engine->StreamFree(channel);  // nobody waits for it any more
          engine->MusicFree(channel);
        }
      });
  {
    QEventLoop loop;
    outcome->waiting = &loop;
    if (opening_++ == 0) c_.window->setCursor(Qt::BusyCursor);
    loop.exec();
    if (--opening_ == 0) c_.window->unsetCursor();
    outcome->waiting = nullptr;
  }
  if (!outcome->done) return false;  // the program is closing; the channel is freed on arrival
  if (serial != open_serial_) {
    // A song asked for later, while this one was opening, is the one wanted.
    if (outcome->channel != 0 && engine) {
      engine->StreamFree(outcome->channel);
      engine->MusicFree(outcome->channel);
    }
    return false;
  }
  if (!player_.Adopt(outcome->channel, /*autoPlay=*/false, /*withEffects=*/false)) {
    ui::MessageBox::Show(c_.window, QMessageBox::Warning, tr("错误"),
                         tr("打开文件\n%1\n时发生错误。").arg(Q(path)) + QLatin1Char('\n') +
                             ui::CoreText(SongOpenFailureReason(outcome->error, path, song_filter_)),
                         QMessageBox::Ok);
    return false;
  }
  ApplyVolume();
  ShowLength();
  UpdatePlayButton();
  c_.playPause->setEnabled(true);
  c_.playPause->setToolTip(tr("继续播放"));
  song_path_ = path;
  c_.window->setWindowTitle(Q(kProgramTitle) + Q(" - ") + Q(path));
  emit SongOpened();
  return true;
}

void Transport::ShowLength() {
  const double length = player_.LengthSeconds();
  const int maximum = length >= 1 && length < 2147483647.0 ? static_cast<int>(length) : 0;
  c_.progress->setMaximum(maximum);
  c_.totalTime->setText(
      tr("总时间%1分%2秒").arg(QString::number(maximum / 60), QString::number(maximum % 60)));
  shown_length_ = length;
}

void Transport::CloseSong() {
  player_.Free();
  song_path_.clear();
  c_.window->setWindowTitle(Q(kProgramTitle));
  UpdatePlayButton();
  c_.totalTime->setText(tr("(无文件)"));
  c_.currentTime->setText(tr("(无文件)"));
}

void Transport::TogglePlay() {
  if (player_.State() == kActivePlaying) {
    player_.Pause();
  } else {
    player_.Play(false);
  }
  UpdatePlayButton();
}

void Transport::UpdatePlayButton() {
  switch (player_.State()) {
    case kActiveStopped:
      c_.playPause->setText(tr("播放(&P)"));
      // A song that played to its end plays again from the start.
      c_.playPause->setEnabled(player_.Handle() != 0);
      c_.playPause->setToolTip(player_.Handle() != 0 ? tr("继续播放") : QString());
      break;
    case kActivePlaying:
      c_.playPause->setText(tr("暂停(&P)"));
      c_.playPause->setEnabled(true);
      c_.playPause->setToolTip(tr("暂停播放"));
      break;
    case kActivePaused:
      c_.playPause->setText(tr("播放(&P)"));
      c_.playPause->setEnabled(true);
      c_.playPause->setToolTip(tr("继续播放"));
      break;
    default:  // stalled: waiting for data, leave the button as it is
      break;
  }
}

void Transport::ApplyVolume() {
  const double share = c_.volume->maximum() > 0
                           ? static_cast<double>(c_.volume->value()) / c_.volume->maximum()
                           : 0.0;
  player_.SetVolume(static_cast<float>(share * share));
}

void Transport::OnVolumeChanged() {
  ApplyVolume();
  c_.volume->setToolTip(tr("音量：%1/%2").arg(c_.volume->value()).arg(c_.volume->maximum()));
}

void Transport::OnProgressPressed() {
  dragging_ = true;
}

void Transport::OnProgressMoved(int position) {
  if (!dragging_) player_.SeekSeconds(position);
}

void Transport::OnProgressReleased() {
  if (dragging_) {
    player_.SeekSeconds(c_.progress->value());
    dragging_ = false;
  }
}

void Transport::Refresh() {
  if (player_.Handle() == 0) return;
  // Some formats (WMA) know their exact length only once the engine has counted it,
  // a moment after the song opened: show the real one when it arrives.
  if (player_.LengthSeconds() != shown_length_) ShowLength();
  // A song that reaches its end stops by itself: the button offers to play again.
  if (player_.State() == kActiveStopped) UpdatePlayButton();
  if (dragging_) {
    c_.currentTime->setText(
        tr("跳转到%1").arg(Q(FormatTime(c_.progress->sliderPosition(), settings_.ThreePointTime))));
    return;
  }
  // Half a second goes to the even neighbour, as the default rounding mode does.
  c_.progress->setValue(static_cast<int>(std::nearbyint(player_.PositionSeconds())));
  c_.currentTime->setText(Q(FormatTime(player_.PositionSeconds(), settings_.ThreePointTime)));
}

}  // namespace lirotag
