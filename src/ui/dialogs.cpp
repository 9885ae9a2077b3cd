#include "ui/dialogs.h"

#include <QAbstractButton>
#include <QColorDialog>

namespace lirotag::ui {

std::optional<QMessageBox::StandardButton> MessageBox::next_answer_;
QString MessageBox::last_caption_;
QString MessageBox::last_text_;
QMessageBox::Icon MessageBox::last_icon_ = QMessageBox::NoIcon;
int MessageBox::shown_count_ = 0;

QMessageBox::StandardButton MessageBox::Show(
    QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
    QMessageBox::StandardButtons buttons,
    const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttonTexts) {
  last_caption_ = caption;
  last_text_ = text;
  last_icon_ = icon;
  ++shown_count_;
  if (next_answer_) {
    const QMessageBox::StandardButton answer = *next_answer_;
    next_answer_.reset();
    return answer;
  }
  QMessageBox box(icon, caption, text, buttons, parent);
  for (const auto& [button, label] : buttonTexts) {
    if (QAbstractButton* b = box.button(button)) b->setText(label);
  }
  const int result = box.exec();
  // Closing the box with the window's close button answers with the escape button
  // (Cancel where there is one), which is what the callers treat as "no".
  return static_cast<QMessageBox::StandardButton>(result);
}

void MessageBox::SetNextAnswer(QMessageBox::StandardButton answer) {
  next_answer_ = answer;
}
void MessageBox::ClearNextAnswer() {
  next_answer_.reset();
}
QString MessageBox::LastCaption() {
  return last_caption_;
}
QString MessageBox::LastText() {
  return last_text_;
}
QMessageBox::Icon MessageBox::LastIcon() {
  return last_icon_;
}
int MessageBox::ShownCount() {
  return shown_count_;
}

namespace {
std::optional<std::optional<QColor>> next_colour;
}  // namespace

std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial) {
  if (next_colour) {
    const std::optional<QColor> answer = *next_colour;
    next_colour.reset();
    return answer;
  }
  const QColor chosen = QColorDialog::getColor(initial, parent);
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

void SetNextColour(std::optional<QColor> colour) {
  next_colour = colour;
}

QString DisplayText(const char* utf8) {
  QString text = QString::fromUtf8(utf8);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace lirotag::ui
