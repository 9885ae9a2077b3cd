#include "shell/skins.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <algorithm>

#include "shell/settings.h"

namespace lirotag {

Skins::Skins(FileSystem& fs, std::string skinDir, std::string configPath, QObject* parent)
    : QObject(parent), fs_(fs), skin_dir_(std::move(skinDir)), config_path_(std::move(configPath)) {
  // Listed once: a skin added while the program runs appears at the next start.
  names_ = fs_.ListFiles(skin_dir_, "", ".she");
  menu_ = new QMenu(QStringLiteral("更换皮肤"));
  menu_->setObjectName(QStringLiteral("菜单_更换皮肤"));
  connect(this, &QObject::destroyed, menu_, &QObject::deleteLater);
  // The skin in use is marked; "禁用" while none is.
  auto* group = new QActionGroup(menu_);
  QAction* off = menu_->addAction(QStringLiteral("禁用"));
  off->setData(kDisable);
  off->setCheckable(true);
  group->addAction(off);
  menu_->addSeparator()->setData(0);
  for (size_t i = 0; i < names_.size(); ++i) {
    QAction* skin = menu_->addAction(QString::fromStdString(names_[i]));
    skin->setData(static_cast<int>(i + 1));
    skin->setCheckable(true);
    group->addAction(skin);
  }
  connect(menu_, &QMenu::triggered, this,
          [this](QAction* action) { Choose(action->data().toInt()); });
}

void Skins::ApplyConfigured() {
  if (ReadConfigValue(fs_, config_path_, kSkinSection, kSkinEnableKey, "1") != "1") return;
  const std::string first = names_.empty() ? std::string() : names_.front();
  Attach(ReadConfigValue(fs_, config_path_, kSkinSection, kSkinPathKey, first));
}

void Skins::Choose(int id) {
  if (id == kDisable) {
    Detach();
    WriteConfigValue(fs_, config_path_, kSkinSection, kSkinEnableKey, "0");
  } else if (id >= 1 && static_cast<size_t>(id) <= names_.size()) {
    const std::string& name = names_[static_cast<size_t>(id - 1)];
    Attach(name);
    WriteConfigValue(fs_, config_path_, kSkinSection, kSkinEnableKey, "1");
    WriteConfigValue(fs_, config_path_, kSkinSection, kSkinPathKey, name);
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
  for (QAction* action : menu_->actions()) {
    if (action->isCheckable()) action->setChecked(action->data().toInt() == id);
  }
}

}  // namespace lirotag
