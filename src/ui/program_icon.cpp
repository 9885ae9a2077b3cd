#include "ui/program_icon.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <map>

namespace lirotag::ui {

namespace {

// In a 256 × 256 square: a rounded tile, a time tag's brackets, a note between them.
constexpr QRectF kTile(8, 8, 240, 240);
constexpr double kRadius = 48;
const QColor kTop(0x2f, 0x75, 0xb5), kBottom(0x1a, 0x3f, 0x6f), kInk(0xff, 0xff, 0xff),
    kAccent(0xf0, 0xb9, 0x4e);

QPainterPath Bracket(bool left) {
  QPainterPath p;
  const double x = left ? 62 : 194, inward = left ? 22 : -22;
  p.moveTo(x + inward, 64);
  p.lineTo(x, 64);
  p.lineTo(x, 192);
  p.lineTo(x + inward, 192);
  return p;
}

}  // namespace

void PaintProgramIcon(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 8, 0, 248);
  fill.setColorAt(0, kTop);
  fill.setColorAt(1, kBottom);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(kTile, kRadius, kRadius);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kInk, 14, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.drawPath(Bracket(true));
  painter.drawPath(Bracket(false));
  painter.setPen(QPen(kAccent, 12, Qt::SolidLine, Qt::FlatCap));
  painter.drawLine(QPointF(148, 80), QPointF(148, 160));
  QPainterPath flag;
  flag.moveTo(148, 82);
  flag.cubicTo(170, 88, 180, 102, 170, 122);
  painter.drawPath(flag);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kAccent);
  painter.drawEllipse(QPointF(130, 164), 24, 18);
}

QPixmap ProgramIconPixmap(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.scale(size / 256.0, size / 256.0);
  PaintProgramIcon(painter);
  painter.end();
  return QPixmap::fromImage(image);
}

namespace {

// Paints each size the first time it is asked for. A window's icon is set before the
// window is shown, and most platforms ask for one or two sizes, if any: painting all of
// them up front would hold up the first paint of the window.
class PaintedIconEngine : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }
  // One picture for every mode: the program's icon is never shown disabled.
  QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
    const int side = std::clamp(std::min(size.width(), size.height()), 1, 1024);
    QPixmap& cached = cache_[side];
    if (cached.isNull()) cached = ProgramIconPixmap(side);
    return cached;
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) sizes.append(QSize(side, side));
    return sizes;
  }
  QIconEngine* clone() const override { return new PaintedIconEngine(*this); }
  QString key() const override { return QStringLiteral("lirotag-painted"); }

 private:
  std::map<int, QPixmap> cache_;
};

}  // namespace

QIcon ProgramIcon() {
  return QIcon(new PaintedIconEngine);
}

}  // namespace lirotag::ui
