#include "shell/skins.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <algorithm>

#include "shell/settings.h"

namespace lirotag {

Skins::Skins(ConfigFile& config, std::string skinDir, QObject* parent)
    : QObject(parent), config_(config), fs_(config.Fs()), skin_dir_(std::move(skinDir)) {
  // Listed once: a skin added while the program runs appears at the next start.
  names_ = fs_.ListFiles(skin_dir_, "", ".she");
}

QMenu* Skins::Menu() {
  if (menu_) return menu_;
  menu_ = new QMenu(tr("更换皮肤"));
  menu_->setObjectName(QStringLiteral("菜单_更换皮肤"));
  connect(this, &QObject::destroyed, menu_, &QObject::deleteLater);
  // The skin in use is marked; "禁用" while none is.
  auto* group = new QActionGroup(menu_);
  QAction* off = menu_->addAction(tr("禁用"));
  off->setData(kDisable);
  off->setCheckable(true);
  group->addAction(off);
  menu_->addSeparator()->setData(0);
  // A skin is shown by its file name; the shipped ones have theirs translated (the file
  // names themselves stay as they are).
  static const char* const kShipped[] = {QT_TR_NOOP("浅色.she"), QT_TR_NOOP("深色.she")};
  (void)kShipped;
  for (size_t i = 0; i < names_.size(); ++i) {
    QAction* skin = menu_->addAction(tr(names_[i].c_str()));
    skin->setData(static_cast<int>(i + 1));
    skin->setCheckable(true);
    group->addAction(skin);
  }
  connect(menu_, &QMenu::triggered, this,
          [this](QAction* action) { Choose(action->data().toInt()); });
  MarkInUse(in_use_);
  return menu_;
}

void Skins::ApplyConfigured() {
  if (config_.Read(kSkinSection, kSkinEnableKey, "1") != "1") return;
  const std::string first = names_.empty() ? std::string() : names_.front();
  Attach(config_.Read(kSkinSection, kSkinPathKey, first));
}

void Skins::Choose(int id) {
  if (id == kDisable) {
    Detach();
    config_.Write(kSkinSection, kSkinEnableKey, "0");
  } else if (id >= 1 && static_cast<size_t>(id) <= names_.size()) {
    const std::string& name = names_[static_cast<size_t>(id - 1)];
    Attach(name);
    config_.Write(kSkinSection, kSkinEnableKey, "1");
    config_.Write(kSkinSection, kSkinPathKey, name);
  }
}

void Skins::Attach(const std::string& name) {
  std::string sheet, err;
  // A skin that cannot be read (missing, a folder, too large) leaves the ordinary look;
  // one that Qt cannot parse is ignored by Qt the same way.
  if (name.empty() || !fs_.ReadFile(JoinPath(skin_dir_, name), &sheet, &err, kMaxSkinBytes)) {
    Detach();
    return;
  }
  applied_ = QString::fromUtf8(sheet.data(), static_cast<qsizetype>(sheet.size()));
  qApp->setStyleSheet(applied_);
  const auto it = std::find(names_.begin(), names_.end(), name);
  MarkInUse(it == names_.end() ? kDisable : static_cast<int>(it - names_.begin()) + 1);
}

void Skins::Detach() {
  applied_.clear();
  qApp->setStyleSheet(QString());
  MarkInUse(kDisable);
}

void Skins::MarkInUse(int id) {
  in_use_ = id;
  if (!menu_) return;
  for (QAction* action : menu_->actions()) {
    if (action->isCheckable()) action->setChecked(action->data().toInt() == id);
  }
}

}  // namespace lirotag
