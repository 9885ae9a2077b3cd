#include "ui/waveform_strip.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "lyrics/time_tags.h"

namespace lirotag::ui {

namespace {

// The view never shows less than this, so that a mark stays a mark.
constexpr double kMinSpanSeconds = 2.0;
// At first, and whenever a song opens, this much is shown.
constexpr double kStartSpanSeconds = 20.0;
constexpr double kZoomStep = 1.25;
// A mark is under the mouse this many pixels either side of it.
constexpr double kGrabPixels = 4;
// Labels of the ruler stand at least this far apart.
constexpr double kLabelPixels = 64;
const QColor kWave(0x5b, 0x9b, 0xd5), kBackground(0x1d, 0x23, 0x29), kMark(0xb0, 0xb8, 0xc0),
    kSung(0x4c, 0xd9, 0x64), kPlayhead(0xff, 0xa8, 0x1c), kRuler(0x2a, 0x31, 0x38),
    kRulerText(0xc8, 0xd0, 0xd8);

// "1:05", or "1:05.5" for steps under a second.
QString RulerLabel(double seconds, bool tenths) {
  const auto tenthsTotal = static_cast<long long>(std::llround(seconds * 10));
  const long long whole = tenthsTotal / 10;
  QString text = QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
  if (tenths) text += QStringLiteral(".%1").arg(tenthsTotal % 10);
  return text;
}

}  // namespace

WaveformStrip::WaveformStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("波形"));
  setAccessibleName(tr("波形"));
  setToolTip(tr("单击：跳转到此处\n拖动标记：移动该行的时间\n滚轮：以鼠标处为中心缩放"));
  setMinimumHeight(40);
  setMouseTracking(true);
}

void WaveformStrip::SetSong(double lengthSeconds, Columns columns) {
  length_ = std::max(0.0, lengthSeconds);
  columns_ = std::move(columns);
  view_start_ = 0;
  view_end_ = std::min(length_, kStartSpanSeconds);
  drag_.reset();
  ClampView();
  update();
}

void WaveformStrip::SetPlayhead(double seconds, bool playing) {
  const bool moved = seconds != playhead_;
  playhead_ = seconds;
  const double span = view_end_ - view_start_;
  // While playing, a playhead that leaves the view takes the view along, a page at a time;
  // a seek while paused brings it into the middle. A playhead at rest stays where the
  // user's zoom left it.
  if ((playing || moved) && span > 0 && (seconds > view_end_ || seconds < view_start_)) {
    view_start_ = seconds - span * (playing ? 0.1 : 0.5);
    view_end_ = view_start_ + span;
    ClampView();
  }
  update();
}

void WaveformStrip::SetMarks(std::vector<Mark> marks, int highlightFirst, int highlightLast,
                             int sungLine, QColor highlightColour) {
  // A drag in progress keeps its mark: the text did not change under it.
  if (drag_ && (drag_->mark >= static_cast<int>(marks.size()) ||
                marks[static_cast<size_t>(drag_->mark)].time !=
                    marks_[static_cast<size_t>(drag_->mark)].time)) {
    drag_.reset();
  }
  marks_ = std::move(marks);
  highlight_first_ = highlightFirst;
  highlight_last_ = highlightLast;
  sung_ = sungLine;
  highlight_ = highlightColour;
  update();
}

void WaveformStrip::ClampView() {
  double span = std::clamp(view_end_ - view_start_, std::min(kMinSpanSeconds, length_), length_);
  view_start_ = std::clamp(view_start_, 0.0, std::max(0.0, length_ - span));
  view_end_ = view_start_ + span;
}

double WaveformStrip::TimeAtX(double x) const {
  if (width() <= 0) return view_start_;
  return view_start_ + (view_end_ - view_start_) * std::clamp(x, 0.0, double(width())) / width();
}

double WaveformStrip::TimeAt(int x) const {
  return TimeAtX(x);
}

int WaveformStrip::XOf(double seconds) const {
  const double span = view_end_ - view_start_;
  return span <= 0 ? 0 : static_cast<int>(std::lround((seconds - view_start_) / span * width()));
}

double WaveformStrip::RulerStep() const {
  constexpr double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600};
  const double span = view_end_ - view_start_;
  if (span <= 0 || width() <= 0) return 1;
  const double perPixel = span / width();
  for (double step : kSteps) {
    if (step / perPixel >= kLabelPixels) return step;
  }
  return kSteps[std::size(kSteps) - 1];
}

int WaveformStrip::MarkNear(double x, bool words) const {
  int best = -1;
  double bestDistance = kGrabPixels + 0.5;
  for (size_t i = 0; i < marks_.size(); ++i) {
    const Mark& m = marks_[i];
    if ((m.word && !words) || m.time < view_start_ || m.time > view_end_) continue;
    // Line marks before word marks at the same place: they are the ones dragged.
    const double distance = std::fabs(XOf(m.time) - x) + (m.word ? 0.25 : 0);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  return best;
}

std::optional<double> WaveformStrip::DragTime() const {
  if (!drag_ || !drag_->moved) return std::nullopt;
  const double from = marks_[static_cast<size_t>(drag_->mark)].time;
  return std::clamp(from + TimeAtX(drag_->x) - TimeAtX(drag_->pressX), 0.0, length_);
}

QString WaveformStrip::DragText() const {
  const std::optional<double> t = DragTime();
  return t ? QString::fromStdString(FormatTime(*t, three_decimals_)) : QString();
}

void WaveformStrip::PaintRuler(QPainter& p) {
  p.fillRect(0, 0, width(), kRulerHeight, kRuler);
  const double step = RulerStep();
  const bool tenths = step < 1;
  QFont font = p.font();
  font.setPixelSize(9);
  p.setFont(font);
  // Ticks at every half step, labels at whole steps.
  const double half = step / 2;
  for (double t = std::ceil(view_start_ / half) * half; t <= view_end_ + 1e-9; t += half) {
    const int x = XOf(t);
    const bool major = std::fabs(std::remainder(t, step)) < step * 1e-6;
    p.setPen(kRulerText);
    p.drawLine(x, major ? 0 : kRulerHeight - 4, x, kRulerHeight - 1);
    if (major) p.drawText(x + 3, kRulerHeight - 3, RulerLabel(t, tenths));
  }
}

void WaveformStrip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  if (length_ <= 0 || !columns_) {
    // No song: say what the strip is for, over a quiet centre line.
    p.setPen(QPen(kMark.darker(200), 1));
    p.drawLine(0, height() / 2, width(), height() / 2);
    p.setPen(kMark);
    const QString hint = tr("打开歌曲后，这里显示它的波形");
    const QRect box = p.fontMetrics().boundingRect(hint).adjusted(-8, -2, 8, 2);
    const QRect at(QPoint(0, 0), box.size());
    p.fillRect(at.translated(rect().center() - at.center()), kBackground);
    p.drawText(rect(), Qt::AlignCenter, hint);
    return;
  }
  PaintRuler(p);
  const int top = kRulerHeight;
  const int body = std::max(2, height() - top);
  const int mid = top + body / 2;
  const int half = std::max(1, body / 2 - 2);
  p.setPen(kWave);
  const auto columns = columns_(view_start_, view_end_, width());
  for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
    const auto [lo, hi] = columns[static_cast<size_t>(x)];
    p.drawLine(x, mid - static_cast<int>(hi * half), x, mid - static_cast<int>(lo * half));
  }
  // Word marks first, under the line marks; the highlighted lines' last, over the rest.
  const auto colourOf = [&](const Mark& m) {
    if (m.line >= highlight_first_ && m.line <= highlight_last_) return highlight_;
    return m.line == sung_ ? kSung : kMark;
  };
  const auto rank = [&](const Mark& m) {
    return m.word                                                      ? 0
           : (m.line >= highlight_first_ && m.line <= highlight_last_) ? 3
           : m.line == sung_                                           ? 2
                                                                       : 1;
  };
  for (int pass = 0; pass <= 3; ++pass) {
    for (size_t i = 0; i < marks_.size(); ++i) {
      const Mark& m = marks_[i];
      if (rank(m) != pass || m.time < view_start_ || m.time > view_end_) continue;
      if (drag_ && drag_->moved && drag_->mark == static_cast<int>(i)) continue;
      const int x = XOf(m.time);
      if (m.word) {
        QColor light = colourOf(m);
        light.setAlpha(130);
        p.setPen(QPen(light, 1));
        p.drawLine(x, top + body * 2 / 3, x, height());
      } else {
        p.setPen(QPen(colourOf(m), pass == 1 ? 1 : 2));
        p.drawLine(x, top, x, height());
      }
    }
  }
  // The playhead: wider, in a colour no mark has, with a head in the ruler.
  if (playhead_ >= view_start_ && playhead_ <= view_end_) {
    const int x = XOf(playhead_);
    p.fillRect(x - 1, top, 2, height() - top, kPlayhead);
    QPainterPath head;
    head.moveTo(x - 5, 0);
    head.lineTo(x + 5, 0);
    head.lineTo(x, 7);
    head.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(head, kPlayhead);
    p.setRenderHint(QPainter::Antialiasing, false);
  }
  // The mark being dragged, where it would go, with its time.
  if (const std::optional<double> t = DragTime()) {
    const int x = XOf(*t);
    p.setPen(QPen(Qt::white, 2, Qt::DashLine));
    p.drawLine(x, top, x, height());
    const QString text = DragText();
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    const QRect box = p.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    QRect at(QPoint(x + 6, top + 4), box.size());
    if (at.right() > width()) at.moveRight(x - 6);
    p.fillRect(at, QColor(0, 0, 0, 200));
    p.setPen(Qt::white);
    p.drawText(at, Qt::AlignCenter, text);
  }
}

bool WaveformStrip::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && length_ > 0) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int mark = MarkNear(help->pos().x(), true);
    if (mark >= 0 && line_text_) {
      const Mark& m = marks_[static_cast<size_t>(mark)];
      QString text = QString::fromStdString(FormatTime(m.time, three_decimals_));
      const QString line = line_text_(m.line);
      text += QStringLiteral("  ") + (line.isEmpty() ? tr("（空行）") : line);
      QToolTip::showText(help->globalPos(), text, this);
      return true;
    }
  }
  return QWidget::event(event);
}

void WaveformStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || length_ <= 0) return;
  const double x = event->position().x();
  const int mark = MarkNear(x, false);
  if (mark >= 0) {
    // A click on a mark still seeks, once the button comes up without a drag.
    drag_ = Drag{mark, x, x, false};
    return;
  }
  emit SeekRequested(TimeAtX(x));
}

void WaveformStrip::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  if (drag_) {
    drag_->x = x;
    if (std::fabs(x - drag_->pressX) > 2) drag_->moved = true;
    update();
    return;
  }
  setCursor(length_ > 0 && MarkNear(x, false) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void WaveformStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !drag_) return;
  drag_->x = event->position().x();
  if (std::fabs(drag_->x - drag_->pressX) > 2) drag_->moved = true;
  const Drag drag = *drag_;
  const std::optional<double> to = DragTime();
  drag_.reset();
  update();
  const Mark m = marks_[static_cast<size_t>(drag.mark)];
  if (to && *to != m.time) {
    emit MarkMoved(m.line, m.time, *to);
  } else if (!drag.moved) {
    emit SeekRequested(TimeAtX(drag.x));
  }
}

void WaveformStrip::wheelEvent(QWheelEvent* event) {
  if (length_ <= 0) return;
  const double at = TimeAt(event->position().toPoint().x());
  const double factor = event->angleDelta().y() > 0 ? 1 / kZoomStep : kZoomStep;
  // The time under the mouse stays under the mouse.
  view_start_ = at - (at - view_start_) * factor;
  view_end_ = at + (view_end_ - at) * factor;
  ClampView();
  update();
  event->accept();
}

}  // namespace lirotag::ui
