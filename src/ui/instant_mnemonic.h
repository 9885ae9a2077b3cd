#pragma once

class QAbstractButton;

namespace lirotag::ui {

// A button's mnemonic (Alt+A for "加入标签(&A)") normally shows the button pressed and
// clicks it 100 ms later. Time-critical buttons (stamping, play) are clicked on the key
// press itself instead, and still show themselves pressed for a moment.
void ClickOnMnemonicPress(QAbstractButton* button);

}  // namespace lirotag::ui
