#include "shell/timing_aids.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>

#include "lyrics/edit_commands.h"
#include "lyrics/time_tags.h"
#include "lyrics/words.h"
#include "shell/settings.h"
#include "shell/transport.h"
#include "ui/lyric_edit.h"
#include "ui/waveform_strip.h"

namespace lirotag {

namespace {

// Our own section of the configuration file, beside the ones the settings keep.
constexpr char kSection[] = "Lirotag";
constexpr char kWaveformKey[] = "Waveform";

}  // namespace

TimingAids::TimingAids(Player& player, ConfigFile& config, Controls controls,
                       std::function<void()> relayout, QObject* parent)
    : QObject(parent),
      player_(player),
      config_(config),
      c_(controls),
      relayout_(std::move(relayout)) {
  strip_ = new ui::WaveformStrip(c_.window);
  strip_->hide();
  connect(strip_, &ui::WaveformStrip::SeekRequested, this,
          [this](double seconds) { player_.SeekSeconds(seconds); });
  connect(strip_, &ui::WaveformStrip::MarkMoved, this, &TimingAids::OnMarkMoved);
  strip_->SetLineText([this](int line) {
    return QString::fromStdString(TrimSpaces(StripWordTags(StripTags(c_.box->Line(line)))));
  });
  connect(c_.box->document(), &QTextDocument::contentsChanged, this,
          [this] { tags_stale_ = true; });
  c_.currentTime->installEventFilter(this);
  c_.currentTime->setToolTip(
      tr("播放速度：Alt+－ 减慢，Alt+＝ 加快，Alt+０ 恢复原速；在此滚动鼠标滚轮也可调节"));
  BuildActions();
  if (config_.Read(kSection, kWaveformKey, "0") == "1") {
    const QSignalBlocker quiet(strip_action_);  // remembered already: nothing to write
    strip_action_->setChecked(true);
    strip_->show();
  }
}

TimingAids::~TimingAids() {
  peaks_.reset();  // the worker stops before the strip goes
}

void TimingAids::BuildActions() {
  const auto action = [this](const QString& text, QKeySequence key, auto slot) {
    auto* a = new QAction(text, c_.window);
    a->setShortcut(key);
    c_.window->addAction(a);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  speed_menu_ = new QMenu(tr("播放速度"), c_.window);
  speed_menu_->setObjectName(QStringLiteral("菜单_播放速度"));
  speed_menu_->addAction(action(tr("减慢"), QKeySequence(Qt::ALT | Qt::Key_Minus),
                                [this] { SetSpeedPercent(speed_percent_ - kStepPercent); }));
  speed_menu_->addAction(action(tr("加快"), QKeySequence(Qt::ALT | Qt::Key_Equal),
                                [this] { SetSpeedPercent(speed_percent_ + kStepPercent); }));
  speed_menu_->addAction(
      action(tr("原速"), QKeySequence(Qt::ALT | Qt::Key_0), [this] { SetSpeedPercent(100); }));
  speed_menu_->addSeparator();
  auto* group = new QActionGroup(speed_menu_);
  for (int percent = 100; percent >= kMinSpeedPercent; percent -= kStepPercent) {
    QAction* item = speed_menu_->addAction(QStringLiteral("×%1").arg(percent / 100.0, 0, 'f', 2));
    item->setCheckable(true);
    item->setChecked(percent == 100);
    item->setData(percent);
    group->addAction(item);
    connect(item, &QAction::triggered, this, [this, percent] { SetSpeedPercent(percent); });
  }
  strip_action_ = action(tr("显示波形"), QKeySequence(Qt::ALT | Qt::Key_V), [] {});
  strip_action_->setCheckable(true);
  connect(strip_action_, &QAction::toggled, this, [this](bool on) {
    SetStripVisible(on);
    config_.Write(kSection, kWaveformKey, on ? "1" : "0");
  });
}

void TimingAids::SetSpeedPercent(int percent) {
  percent = std::clamp(percent, kMinSpeedPercent, 100);
  if (!player_.SetPlaybackSpeed(percent / 100.0)) return;
  speed_percent_ = percent;
  for (QAction* item : speed_menu_->actions()) {
    if (item->isCheckable()) item->setChecked(item->data().toInt() == percent);
  }
  Tick();
}

bool TimingAids::StripVisible() const {
  return strip_action_ && strip_action_->isChecked();
}

void TimingAids::SetStripVisible(bool visible) {
  if (strip_action_->isChecked() != visible) {
    strip_action_->setChecked(visible);  // comes back here through toggled
    return;
  }
  strip_->setVisible(visible);
  if (relayout_) relayout_();
  Tick();
}

void TimingAids::ShowSong() {
  const std::string& song = c_.transport->SongPath();
  if (song == peaks_song_) return;
  peaks_song_ = song;
  peaks_.reset();
  ShowPeaks();
  if (song.empty()) return;
  // Opening the song's decoder reads the file: off the GUI thread, like the song itself.
  peaks_work_.Run([song] { return std::shared_ptr<PeakTable>(PeakTable::Start(song)); },
                  [this, song](std::shared_ptr<PeakTable> table) {
                    if (song != peaks_song_) return;  // another song was shown meanwhile
                    peaks_ = std::move(table);
                    ShowPeaks();
                  });
}

void TimingAids::ShowPeaks() {
  PeakTable* table = peaks_.get();
  strip_->SetSong(table ? player_.LengthSeconds() : 0, [table](double start, double end, int n) {
    std::vector<std::pair<float, float>> out;
    for (const PeakColumn& c : table->Columns(start, end, n)) out.emplace_back(c.min, c.max);
    return out;
  });
}

bool TimingAids::Settled() const {
  return !StripVisible() || peaks_song_.empty() || (peaks_ && peaks_->Done());
}

void TimingAids::Tick() {
  const bool open = player_.Handle() != 0;
  if (tags_stale_) {
    tags_.Rebuild(*c_.box);
    tags_stale_ = false;
    marked_ = {};  // the strip's marks are out of date, shown or not
  }
  const double position = open ? player_.PositionSeconds() : 0;
  const int sung = open ? tags_.SungLine(position) : -1;
  c_.box->SetSungLine(sung);
  MarkSungWord(sung, position);
  if (open && !c_.transport->Dragging()) {
    // The speed beside the time, while it is not the song's own.
    QString text = c_.currentTime->text();
    const qsizetype at = text.indexOf(QStringLiteral(" ×"));
    if (at >= 0) text.truncate(at);
    if (speed_percent_ != 100)
      text += QStringLiteral(" ×%1").arg(speed_percent_ / 100.0, 0, 'f', 2);
    c_.currentTime->setText(text);
  }
  if (!StripVisible()) return;
  // Peaks are computed only once the strip is wanted; a song closed lets them go.
  if (!open && !peaks_song_.empty()) {
    peaks_.reset();
    peaks_song_.clear();
    strip_->SetSong(0, {});
  } else if (open) {
    ShowSong();
  }
  HandMarksOver(sung);
  if (c_.settings) strip_->SetThreeDecimals(c_.settings->ThreePointTime);
  strip_->SetPlayhead(position, player_.State() == kActivePlaying);
}

void TimingAids::HandMarksOver(int sung) {
  // The marks are handed over only when the text, the range, the sung line, the colour
  // or word mode changed, not on every tick.
  const MarkState state{c_.editor->RangeFirst(), c_.editor->RangeLast(), sung,
                        c_.box->HighlightColour().rgb(), word_marks_};
  if (state == marked_) return;
  marked_ = state;
  std::vector<ui::WaveformStrip::Mark> marks;
  marks.reserve(tags_.Entries().size());
  for (const TagIndex::Entry& e : tags_.Entries()) marks.push_back({e.time, e.line, false});
  if (word_marks_) {
    std::vector<bool> done(static_cast<size_t>(c_.box->LineCount()), false);
    for (const TagIndex::Entry& e : tags_.Entries()) {
      if (e.line < 0 || static_cast<size_t>(e.line) >= done.size() ||
          done[static_cast<size_t>(e.line)])
        continue;
      done[static_cast<size_t>(e.line)] = true;
      for (const WordTag& tag : FindWords(c_.box->Line(e.line)).tags)
        marks.push_back({tag.time, e.line, true});
    }
  }
  strip_->SetMarks(std::move(marks), state.first, state.last, sung, c_.box->HighlightColour());
}

void TimingAids::ShowWordMarks(bool on) {
  word_marks_ = on;
  Tick();
}

void TimingAids::OnMarkMoved(int line, double from, double to) {
  // Which of the line's tags was dragged: the first one at that time.
  const std::vector<double> times = tags_.TimesOfLine(*c_.box, line);
  const auto at = std::find(times.begin(), times.end(), from);
  if (at == times.end()) return;
  const bool three = c_.settings && c_.settings->ThreePointTime;
  if (c_.editor->MoveLineTag(line, static_cast<int>(at - times.begin()), to, three)) Tick();
}

void TimingAids::MarkSungWord(int line, double position) {
  if (line < 0) {
    c_.box->SetSungWord(-1, 0, 0);
    return;
  }
  const std::string text = c_.box->Line(line);
  const LineWords words = FindWords(text);
  const int sung = words.tags.empty() ? -1 : SungWord(words, position);
  if (sung < 0) {
    c_.box->SetSungWord(-1, 0, 0);
    return;
  }
  // Byte offsets in the UTF-8 line, characters in the box.
  const Word& w = words.words[static_cast<size_t>(sung)];
  const auto chars = [&text](size_t bytes) {
    return static_cast<int>(QString::fromUtf8(text.data(), static_cast<qsizetype>(bytes)).size());
  };
  c_.box->SetSungWord(line, chars(w.begin), chars(w.end));
}

bool TimingAids::eventFilter(QObject* watched, QEvent* event) {
  if (watched == c_.currentTime && event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) SetSpeedPercent(speed_percent_ + (delta > 0 ? kStepPercent : -kStepPercent));
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lirotag
