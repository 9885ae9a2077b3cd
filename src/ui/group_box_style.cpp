#include "ui/group_box_style.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>
#include <map>
#include <tuple>

namespace lirotag::ui {

namespace {

// Where the frame's top line starts before a left-aligned title, and the gap it leaves
// on each side of the title.
constexpr int kTitleIndent = 8;
constexpr int kTitleGap = 2;

class TitleOnFrameStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !TitleGoesOnFrame(box))
      return QProxyStyle::subControlRect(control, option, part, widget);
    const QRect title = Title(*box, widget);
    QRect rect = box->rect;
    switch (part) {
      case SC_GroupBoxLabel:
        return title;
      case SC_GroupBoxFrame:
        rect.setTop(title.top() + title.height() / 2);
        return rect;
      case SC_GroupBoxContents:
        rect.adjust(3, 0, -3, -3);
        rect.setTop(title.bottom() + 1);
        return rect;
      default:
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
  }

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || !TitleGoesOnFrame(box)) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    if (box->subControls & SC_GroupBoxFrame) {
      QStyleOptionFrame frame;
      frame.QStyleOption::operator=(*box);
      frame.features = box->features;
      frame.lineWidth = box->lineWidth;
      frame.midLineWidth = box->midLineWidth;
      frame.rect = proxy()->subControlRect(CC_GroupBox, box, SC_GroupBoxFrame, widget);
      // The line stops short of the title on both sides, as it does on Windows.
      const QRect title = proxy()->subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
      painter->save();
      painter->setClipRegion(QRegion(box->rect) - title.adjusted(-kTitleGap, 0, kTitleGap, 0),
                             Qt::IntersectClip);
      proxy()->drawPrimitive(PE_FrameGroupBox, &frame, painter, widget);
      painter->restore();
    }
    // The title (in the place given above) as the style draws it.
    QStyleOptionGroupBox rest(*box);
    rest.subControls &= ~SC_GroupBoxFrame;
    QProxyStyle::drawComplexControl(control, &rest, painter, widget);
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_FrameGroupBox || !frame) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    QStyleOptionFrame taller(*frame);
    taller.rect.setTop(taller.rect.top() - FrameTopInset(*frame, widget));
    QProxyStyle::drawPrimitive(element, &taller, painter, widget);
  }

 private:
  // A check box in the title is left to the style: it places box and title together.
  static bool TitleGoesOnFrame(const QStyleOptionGroupBox* box) {
    return box && !box->text.isEmpty() && !(box->subControls & SC_GroupBoxCheckBox);
  }

  QRect Title(const QStyleOptionGroupBox& box, const QWidget* widget) const {
    const QRect own = QProxyStyle::subControlRect(CC_GroupBox, &box, SC_GroupBoxLabel, widget);
    QRect title(0, box.rect.top(), own.width(), box.fontMetrics.height());
    switch (box.textAlignment & Qt::AlignHorizontal_Mask) {
      case Qt::AlignHCenter:
        title.moveLeft(box.rect.left() + (box.rect.width() - title.width()) / 2);
        break;
      case Qt::AlignRight:
        title.moveRight(box.rect.right() - kTitleIndent);
        break;
      default:
        title.moveLeft(box.rect.left() + kTitleIndent);
        break;
    }
    return visualRect(box.direction, box.rect, title);
  }

  // Some styles (Fusion among them) draw the frame's top line lower than the rect they
  // are given, below the place where they put the title. How much lower is found once
  // per size and font by drawing the frame aside, so that it can be handed a rect that
  // much taller and its line lands where the title's middle is.
  int FrameTopInset(const QStyleOptionFrame& frame, const QWidget* widget) const {
    const QSize size = frame.rect.size();
    if (size.isEmpty()) return 0;
    const auto key = std::make_tuple(size.width(), size.height(), frame.fontMetrics.height());
    if (auto it = insets_.find(key); it != insets_.end()) return it->second;
    QImage probe(size, QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    {
      QPainter painter(&probe);
      QStyleOptionFrame at(frame);
      at.rect = QRect(QPoint(0, 0), size);
      QProxyStyle::drawPrimitive(PE_FrameGroupBox, &at, &painter, widget);
    }
    int inset = 0;  // also when nothing is drawn at all
    for (int y = 0; y < probe.height(); ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(probe.constScanLine(y));
      if (std::any_of(line, line + probe.width(), [](QRgb p) { return qAlpha(p) != 0; })) {
        inset = y;
        break;
      }
    }
    return insets_[key] = inset;
  }

  mutable std::map<std::tuple<int, int, int>, int> insets_;
};

// One style for every group box of the process. It lives as long as the application,
// so it outlives every group box that uses it.
QStyle* SharedStyle() {
  static QPointer<TitleOnFrameStyle> style;
  if (!style) {
    // A style of the application's kind; the proxy owns it. Without one (no name to
    // create it by) the proxy falls back to the platform's default style.
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    style = new TitleOnFrameStyle(base);
    style->setParent(qApp);
  }
  return style;
}

}  // namespace

void PutTitleOnFrame(QGroupBox* group) {
  group->setStyle(SharedStyle());
}

}  // namespace lirotag::ui
