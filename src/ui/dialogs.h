#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace lirotag::ui {

// Every message box of the program goes through here, so that tests can answer them
// without a modal loop and see what the user would have read.
class MessageBox {
 public:
  // `buttonTexts` gives buttons captions of their own ("改存 UTF-8" on Yes); the answer
  // is still the standard button.
  static QMessageBox::StandardButton Show(
      QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
      QMessageBox::StandardButtons buttons,
      const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttonTexts = {});

  // Test hook: the next box is not shown but answered at once with `answer`.
  static void SetNextAnswer(QMessageBox::StandardButton answer);
  static void ClearNextAnswer();
  // What the last box said (also recorded when the box was really shown).
  static QString LastCaption();
  static QString LastText();
  static QMessageBox::Icon LastIcon();
  static int ShownCount();

 private:
  static std::optional<QMessageBox::StandardButton> next_answer_;
  static QString last_caption_;
  static QString last_text_;
  static QMessageBox::Icon last_icon_;
  static int shown_count_;
};

// The colour dialog: the colour chosen, or none when the user cancels.
std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial);
// Test hook: the next colour dialog is not shown; it answers with this (none: Cancel).
void SetNextColour(std::optional<QColor> colour);

// The program's texts are written with Windows line breaks; Qt wants "\n".
QString DisplayText(const char* utf8);

}  // namespace lirotag::ui
