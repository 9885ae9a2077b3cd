#include <QApplication>
#include <QStandardPaths>

#include "files/file_io.h"
#include "shell/main_window.h"
#include "shell/settings.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lirotag"));
  QApplication::setApplicationVersion(QStringLiteral("4.1"));

  lirotag::RealFileSystem fs;
  lirotag::MainWindowEnv env;
  env.fs = &fs;
  env.programDir = QCoreApplication::applicationDirPath().toStdString();
  env.configPath = lirotag::ConfigFilePath(
      fs, env.programDir,
      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());

  lirotag::MainWindow window(std::move(env));
  window.show();
  return app.exec();
}
