#include "ui/time_label.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

namespace lirotag::ui {

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
  if (!quick) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.setPen(QPen(palette().brush(foregroundRole()), 1));
  const QRectF room = contentsRect();
  const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
  const QFontMetricsF metrics(font());
  const qreal height = metrics.ascent() + metrics.descent();
  qreal x = room.left();
  if (align & Qt::AlignRight)
    x = room.right() - width;
  else if (align & Qt::AlignHCenter)
    x = room.left() + (room.width() - width) / 2;
  qreal y = room.top();
  if (align & Qt::AlignBottom)
    y = room.bottom() - height;
  else if (align & Qt::AlignVCenter)
    y = room.top() + (room.height() - height) / 2;
  for (const Glyph* glyph : line_) {
    painter.drawStaticText(QPointF(x, y), glyph->text);
    x += glyph->advance;
  }
}

void TimeLabel::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
      for (Glyph& glyph : glyphs_) glyph.ready = false;
      break;
    default:
      break;
  }
  QLabel::changeEvent(event);
}

}  // namespace lirotag::ui
