#include <QApplication>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "shell/main_window.h"
#include "shell/settings.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lirotag"));
  QApplication::setApplicationVersion(QStringLiteral("4.1"));
  // The program speaks Chinese whatever the system's language; Qt's own dialogs and
  // buttons (file dialog, OK/Cancel) should too. Without the translation they stay English.
  QTranslator qtTranslator;
  if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslator);
  }

  // The engine and the one Player outlive the main window: the window frees the engine
  // when it goes, and the Player lets go of its song after that.
  std::unique_ptr<lirotag::AudioEngine> engine = lirotag::CreateAudioEngine();
  lirotag::Player player(*engine);
  lirotag::RealFileSystem fs;

  int result = 0;
  {
    lirotag::MainWindowEnv env;
    env.fs = &fs;
    env.engine = engine.get();
    env.player = &player;
    env.programDir = QCoreApplication::applicationDirPath().toStdString();
    env.configPath = lirotag::ConfigFilePath(
        fs, env.programDir,
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());

    lirotag::MainWindow window(std::move(env));
    window.show();
    result = app.exec();
  }
  player.Destroy();
  return result;
}
