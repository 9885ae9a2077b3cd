#include "ui/dialogs.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QLabel>

namespace lirotag::ui {

std::optional<QMessageBox::StandardButton> MessageBox::next_answer_;
QString MessageBox::last_caption_;
QString MessageBox::last_text_;
QMessageBox::Icon MessageBox::last_icon_ = QMessageBox::NoIcon;
int MessageBox::shown_count_ = 0;
MessageOptions& MessageBox::last_options() {
  static MessageOptions options;
  return options;
}

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& caption, const QString& text,
                                             QMessageBox::StandardButtons buttons) {
  return Show(parent, icon, caption, text, buttons, MessageOptions());
}

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& caption, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             const MessageOptions& options) {
  last_options() = options;
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
  if (options.defaultButton != QMessageBox::NoButton) box.setDefaultButton(options.defaultButton);
  if (options.escapeButton != QMessageBox::NoButton) box.setEscapeButton(options.escapeButton);
  for (const auto& [which, words] : options.buttonTexts) {
    if (QAbstractButton* button = box.button(which)) button->setText(words);
  }
  if (!options.iconPixmap.isNull()) box.setIconPixmap(options.iconPixmap);
  if (options.keepLinesWhole) {
    // The box wraps long lines at any break opportunity, an address at its dots and
    // dashes; as preformatted rich text each line stays whole.
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
                QStringLiteral("</p>"));
  }
  if (options.textFont) {
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
      label->setFont(*options.textFont);
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
const MessageOptions& MessageBox::LastOptions() {
  return last_options();
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
