#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "shell/settings.h"

class QMenu;

namespace lirotag {

// Skins: the "*.she" files of the program's "Skin" folder, each a Qt style sheet for the
// whole application. The choice is written to the configuration file ("Skin" section)
// at the moment it is made, and applied again at the next start.
class Skins : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDisable = -1;
  // Larger files are no skin: they would only stall the start.
  static constexpr std::uint64_t kMaxSkinBytes = 1 << 20;

  Skins(ConfigFile& config, std::string skinDir, QObject* parent = nullptr);

  // At start-up: the configured skin, or the first skin file when none is configured.
  void ApplyConfigured();
  // The menu "更换皮肤": "禁用", a separator, the skins found at start (identifiers 1…n in
  // the order listed), for the main window's background menu. Made when first asked for:
  // the window starts without it.
  QMenu* Menu();
  const std::vector<std::string>& Names() const { return names_; }
  // What a menu item does: kDisable or a skin's identifier.
  void Choose(int id);
  // The style sheet now applied; empty when none.
  const QString& Applied() const { return applied_; }

 private:
  void Attach(const std::string& name);
  void Detach();
  void MarkInUse(int id);

  ConfigFile& config_;
  FileSystem& fs_;
  std::string skin_dir_;
  std::vector<std::string> names_;
  QMenu* menu_ = nullptr;
  int in_use_ = kDisable;
  QString applied_;
};

}  // namespace lirotag
