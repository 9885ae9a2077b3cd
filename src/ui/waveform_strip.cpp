#include "ui/waveform_strip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace lirotag::ui {

namespace {

// The view never shows less than this, so that a mark stays a mark.
constexpr double kMinSpanSeconds = 2.0;
// At first, and whenever a song opens, this much is shown.
constexpr double kStartSpanSeconds = 20.0;
constexpr double kZoomStep = 1.25;
const QColor kWave(0x5b, 0x9b, 0xd5), kBackground(0x1d, 0x23, 0x29), kMark(0xb0, 0xb8, 0xc0),
    kSung(0x4c, 0xd9, 0x64), kPlayhead(0xff, 0xff, 0xff);

}  // namespace

WaveformStrip::WaveformStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("波形"));
  setAccessibleName(tr("波形"));
  setToolTip(tr("单击：跳转到此处\n滚轮：以鼠标处为中心缩放"));
  setMinimumHeight(40);
}

void WaveformStrip::SetSong(double lengthSeconds, Columns columns) {
  length_ = std::max(0.0, lengthSeconds);
  columns_ = std::move(columns);
  view_start_ = 0;
  view_end_ = std::min(length_, kStartSpanSeconds);
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

void WaveformStrip::SetMarks(std::vector<double> all, std::vector<double> highlighted,
                             std::vector<double> sung, QColor highlightColour) {
  marks_ = std::move(all);
  highlighted_ = std::move(highlighted);
  sung_ = std::move(sung);
  highlight_ = highlightColour;
  update();
}

void WaveformStrip::ClampView() {
  double span = std::clamp(view_end_ - view_start_, std::min(kMinSpanSeconds, length_), length_);
  view_start_ = std::clamp(view_start_, 0.0, std::max(0.0, length_ - span));
  view_end_ = view_start_ + span;
}

double WaveformStrip::TimeAt(int x) const {
  if (width() <= 0) return view_start_;
  return view_start_ + (view_end_ - view_start_) * std::clamp(x, 0, width()) / width();
}

int WaveformStrip::XOf(double seconds) const {
  const double span = view_end_ - view_start_;
  return span <= 0 ? 0 : static_cast<int>(std::lround((seconds - view_start_) / span * width()));
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
  const int mid = height() / 2;
  const int half = std::max(1, height() / 2 - 2);
  p.setPen(kWave);
  const auto columns = columns_(view_start_, view_end_, width());
  for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
    const auto [lo, hi] = columns[static_cast<size_t>(x)];
    p.drawLine(x, mid - static_cast<int>(hi * half), x, mid - static_cast<int>(lo * half));
  }
  const auto drawMarks = [&](const std::vector<double>& times, const QColor& colour, int w) {
    p.setPen(QPen(colour, w));
    for (double t : times) {
      if (t >= view_start_ && t <= view_end_) p.drawLine(XOf(t), 0, XOf(t), height());
    }
  };
  drawMarks(marks_, kMark, 1);
  drawMarks(sung_, kSung, 2);
  drawMarks(highlighted_, highlight_, 2);
  p.setPen(QPen(kPlayhead, 1));
  if (playhead_ >= view_start_ && playhead_ <= view_end_)
    p.drawLine(XOf(playhead_), 0, XOf(playhead_), height());
}

void WaveformStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && length_ > 0)
    emit SeekRequested(TimeAt(event->position().toPoint().x()));
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
