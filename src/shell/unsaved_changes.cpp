#include "shell/unsaved_changes.h"

#include <QFileInfo>
#include <QLabel>
#include <QTextDocument>

#include "ui/dialogs.h"

namespace lirotag {

namespace {

QString FileName(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).fileName();
}

}  // namespace

UnsavedChanges::UnsavedChanges(QTextDocument* document, QWidget* window, QLabel* label,
                               std::function<bool()> save, QObject* parent)
    : QObject(parent), document_(document), window_(window), label_(label), save_(std::move(save)) {
  notice_.setSingleShot(true);
  notice_.setInterval(kSavedNoticeMs);
  connect(&notice_, &QTimer::timeout, this, &UnsavedChanges::ShowState);
  // Undoing back to the saved text counts as saved again.
  connect(document_, &QTextDocument::modificationChanged, this, [this] {
    notice_.stop();
    ShowState();
  });
  ShowState();
}

bool UnsavedChanges::Any() const {
  return document_->isModified();
}

void UnsavedChanges::MarkSaved(const std::string& path) {
  file_ = path;
  document_->setModified(false);
  const QString text = QStringLiteral("已保存：") + FileName(path);
  label_->setText(
      label_->fontMetrics().elidedText(text, Qt::ElideMiddle, label_->contentsRect().width()));
  label_->setToolTip(QStringLiteral("已保存到 ") + QString::fromStdString(path));
  label_->setAccessibleName(text);
  notice_.start();
}

void UnsavedChanges::MarkLoaded(const std::string& path) {
  file_ = path;
  notice_.stop();
  ShowState();
}

void UnsavedChanges::ShowState() {
  const QString name = file_.empty() ? QStringLiteral("未命名") : FileName(file_);
  // The mark first, so that a long name cut short still shows it.
  const QString text = Any() ? QStringLiteral("* ") + name : name;
  label_->setText(
      label_->fontMetrics().elidedText(text, Qt::ElideMiddle, label_->contentsRect().width()));
  QString tip = file_.empty() ? QStringLiteral("歌词尚未保存到文件")
                              : QStringLiteral("歌词文件：") + QString::fromStdString(file_);
  if (Any()) tip += QStringLiteral("\n* 有尚未保存的修改");
  label_->setToolTip(tip);
  label_->setAccessibleName(Any() ? name + QStringLiteral("，尚未保存") : name);
}

UnsavedChanges::Outcome UnsavedChanges::AskBeforeGivingUp() {
  if (!Any()) return Outcome::Nothing;
  ui::MessageOptions options;
  options.defaultButton = QMessageBox::Cancel;
  options.escapeButton = QMessageBox::Cancel;
  options.buttonTexts = {{QMessageBox::Save, QStringLiteral("保存")},
                         {QMessageBox::Discard, QStringLiteral("不保存")},
                         {QMessageBox::Cancel, QStringLiteral("取消")}};
  switch (ui::MessageBox::Show(window_, QMessageBox::Warning, QStringLiteral("保存歌词"),
                               QStringLiteral("歌词尚未保存，是否保存？"),
                               QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                               options)) {
    case QMessageBox::Save:
      return save_() && !Any() ? Outcome::Saved : Outcome::Cancelled;
    case QMessageBox::Discard:
      return Outcome::GivenUp;
    default:
      return Outcome::Cancelled;
  }
}

}  // namespace lirotag
