#pragma once

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "shell/main_window.h"
#include "shell/unsaved_changes.h"
#include "ui/dialogs.h"
#include "wav_file.h"

namespace lirotag::testing {

inline std::string ReadAll(const std::string& path) {
  // Empty for what cannot be read as a file (a folder, a missing file).
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
inline std::string ReadAll(const QString& path) {
  return ReadAll(path.toStdString());
}
inline void WriteAll(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}
inline void WriteAll(const QString& path, const std::string& data) {
  WriteAll(path.toStdString(), data);
}

// The next "歌词尚未保存，是否保存？" (asked only when the window holds unsaved text) is
// answered with 不保存.
inline void GiveUpUnsavedText(MainWindow& window) {
  if (window.unsavedChanges()->Any()) ui::MessageBox::SetNextAnswer(QMessageBox::Discard);
}

// A main window over a temporary program folder, with the real engine (which plays on
// its silent output here).
struct WindowFixture {
  QTemporaryDir dir;
  RealFileSystem fs;
  std::unique_ptr<AudioEngine> engine = CreateAudioEngine();
  Player player{*engine};
  // Set to keep recovery files there.
  std::string recoveryDir;

  QString IniPath() const { return dir.filePath(QStringLiteral("Lirotag4.ini")); }

  std::unique_ptr<MainWindow> MakeWindow() {
    MainWindowEnv env;
    env.fs = &fs;
    env.programDir = dir.path().toStdString();
    env.configPath = IniPath().toStdString();
    env.engine = engine.get();
    env.player = &player;
    env.recoveryDir = recoveryDir;
    return std::make_unique<MainWindow>(std::move(env));
  }

  // Shown and in front, as the keyboard needs it.
  std::unique_ptr<MainWindow> MakeActiveWindow() {
    auto window = MakeWindow();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) return nullptr;
    return window;
  }

  // A mono WAV song of `seconds` at 8 kHz in the temporary folder.
  std::string MakeSong(int seconds) {
    const std::string path = dir.filePath(QStringLiteral("song.wav")).toStdString();
    return WriteWav(path, 8000, 8000ull * seconds) ? path : std::string();
  }
};

}  // namespace lirotag::testing
