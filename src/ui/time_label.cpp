#include "ui/time_label.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace lirotag::ui {

namespace {

// The largest size of `font`, no larger than its own, in which `text` is at most `room`
// pixels wide (or the smallest size tried). Every size tried loads a font of that size:
// the first guess is where the width, which grows about in step with the size, says
// the text fits, and steps are taken from there.
QFont FontToFit(QFont font, const QString& text, int room) {
  auto width = [&] { return QFontMetrics(font).horizontalAdvance(text); };
  const int first = width();
  if (first <= room || first <= 0) return font;
  const bool points = font.pointSizeF() > 0;
  const double step = points ? 0.25 : 1;
  const double least = points ? 4 : 5;
  const double own = points ? font.pointSizeF() : font.pixelSize();
  auto setSize = [&](double size) {
    if (points)
      font.setPointSizeF(size);
    else
      font.setPixelSize(static_cast<int>(size));
  };
  double size = std::max(least, std::floor(own * std::max(room, 0) / first / step) * step);
  setSize(size);
  if (width() <= room) {
    // Hinting rounds widths: a step larger may hold it as well.
    while (size + step < own) {
      setSize(size + step);
      if (width() > room) break;
      size += step;
    }
  } else {
    while (size > least && width() > room) setSize(size -= step);
  }
  setSize(size);
  return font;
}

}  // namespace

TimeLabel::TimeLabel(QWidget* parent) : QLabel(parent) {
  // A time is never rich text: spare the guess at every change.
  setTextFormat(Qt::PlainText);
  // Opaque, so that a new time repaints the label and nothing behind it. The brush is
  // the one the parent shows (the same palette, or the skin's background).
  setAutoFillBackground(true);
}

const TimeLabel::Glyph* TimeLabel::GlyphOf(QChar c) {
  const size_t at = kTimeCharacters.find(c.unicode());
  if (at == std::u16string_view::npos) return nullptr;
  Glyph& glyph = glyphs_[at];
  if (!glyph.ready) {
    glyph.text.setTextFormat(Qt::PlainText);
    glyph.text.setPerformanceHint(QStaticText::AggressiveCaching);
    glyph.text.setText(QString(c));
    glyph.text.prepare(QTransform(), font());
    glyph.advance = QFontMetricsF(font()).horizontalAdvance(c);
    glyph.ready = true;
  }
  return &glyph;
}

void TimeLabel::paintEvent(QPaintEvent* event) {
  const QString shown = text();
  // Margins, indents, frames and wrapping are left to QLabel, which knows them.
  bool quick =
      !shown.isEmpty() && margin() == 0 && indent() <= 0 && frameWidth() == 0 && !wordWrap();
  line_.clear();
  qreal width = 0;
  for (qsizetype i = 0; quick && i < shown.size(); ++i) {
    const Glyph* glyph = GlyphOf(shown[i]);
    quick = glyph != nullptr;
    if (quick) {
      line_.append(glyph);
      width += glyph->advance;
    }
  }
  const QRect room = contentsRect();
  if (!quick || width > room.width()) {
    // A time too wide for the label is fitted once for its width, not at every tick.
    const QFont shown_font = FontFor(shown, quick ? QStringLiteral("\u0001%1").arg(width) : shown);
    if (shown_font == font()) {
      QLabel::paintEvent(event);
      return;
    }
    QPainter painter(this);
    painter.setFont(shown_font);
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
    return;
  }
  QPainter painter(this);
  painter.setPen(QPen(palette().brush(foregroundRole()), 1));
  const QRectF area = room;
  const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
  const QFontMetricsF metrics(font());
  const qreal height = metrics.ascent() + metrics.descent();
  qreal x = area.left();
  if (align & Qt::AlignRight)
    x = area.right() - width;
  else if (align & Qt::AlignHCenter)
    x = area.left() + (area.width() - width) / 2;
  qreal y = area.top();
  if (align & Qt::AlignBottom)
    y = area.bottom() - height;
  else if (align & Qt::AlignVCenter)
    y = area.top() + (area.height() - height) / 2;
  for (const Glyph* glyph : line_) {
    painter.drawStaticText(QPointF(x, y), glyph->text);
    x += glyph->advance;
  }
}

QFont TimeLabel::ShownFont() const {
  const QString shown = text();
  return FontFor(shown, shown);
}

QFont TimeLabel::FontFor(const QString& shown, const QString& key) const {
  if (!fitted_ || key != fitted_key_) {
    fitted_ = true;
    fitted_key_ = key;
    fitted_font_ = FontToFit(font(), shown, contentsRect().width());
  }
  return fitted_font_;
}

void TimeLabel::resizeEvent(QResizeEvent* event) {
  fitted_ = false;
  QLabel::resizeEvent(event);
}

void TimeLabel::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
      for (Glyph& glyph : glyphs_) glyph.ready = false;
      fitted_ = false;
      break;
    default:
      break;
  }
  QLabel::changeEvent(event);
}

}  // namespace lirotag::ui
