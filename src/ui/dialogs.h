#pragma once

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace lirotag::ui {

// What a box may need beyond its icon, text and buttons.
struct MessageOptions {
  // The button Enter presses and the one Esc (and the close button) answers with;
  // NoButton: Qt's choice.
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
  // Captions of our own for standard buttons.
  std::vector<std::pair<QMessageBox::StandardButton, QString>> buttonTexts;
  // Shown in place of the icon.
  QPixmap iconPixmap;
  // The text's font, for texts laid out in columns.
  std::optional<QFont> textFont;
  // Every line of the text stays one line, however wide (addresses, paths).
  bool keepLinesWhole = false;
};

// Every message box of the program goes through here, so that tests can answer them
// without a modal loop and see what the user would have read.
class MessageBox {
 public:
  static QMessageBox::StandardButton Show(QWidget* parent, QMessageBox::Icon icon,
                                          const QString& caption, const QString& text,
                                          QMessageBox::StandardButtons buttons);
  static QMessageBox::StandardButton Show(QWidget* parent, QMessageBox::Icon icon,
                                          const QString& caption, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          const MessageOptions& options);

  // Test hook: the next box is not shown but answered at once with `answer`.
  static void SetNextAnswer(QMessageBox::StandardButton answer);
  static void ClearNextAnswer();
  // What the last box said (also recorded when the box was really shown).
  static QString LastCaption();
  static QString LastText();
  static QMessageBox::Icon LastIcon();
  static int ShownCount();
  static const MessageOptions& LastOptions();

 private:
  static std::optional<QMessageBox::StandardButton> next_answer_;
  static QString last_caption_;
  static QString last_text_;
  static QMessageBox::Icon last_icon_;
  static int shown_count_;
  // Built on first use: a pixmap needs the application object.
  static MessageOptions& last_options();
};

// The colour dialog: the colour chosen, or none when the user cancels.
std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial);
// Test hook: the next colour dialog is not shown; it answers with this (none: Cancel).
void SetNextColour(std::optional<QColor> colour);

// The program's texts are written with Windows line breaks; Qt wants "\n".
QString DisplayText(const char* utf8);

}  // namespace lirotag::ui
