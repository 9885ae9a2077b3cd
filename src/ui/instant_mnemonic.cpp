#include "ui/instant_mnemonic.h"

#include <QAbstractButton>
#include <QEvent>
#include <QTimer>

namespace lirotag::ui {

namespace {

constexpr int kPressedLookMs = 100;

class InstantMnemonic : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (event->type() != QEvent::Shortcut || !button || !button->isEnabled())
      return QObject::eventFilter(watched, event);
    if (button->focusPolicy() != Qt::NoFocus) button->setFocus(Qt::ShortcutFocusReason);
    button->click();
    button->setDown(true);
    QTimer::singleShot(kPressedLookMs, button, [button] { button->setDown(false); });
    return true;
  }
};

}  // namespace

void ClickOnMnemonicPress(QAbstractButton* button) {
  button->installEventFilter(new InstantMnemonic(button));
}

}  // namespace lirotag::ui
