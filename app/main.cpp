#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "audio/audio_engine.h"
#include "audio/engine_module.h"
#include "audio/player.h"
#include "bench/report_shown.h"
#include "files/file_io.h"
#include "files/program_modules.h"
#include "files/recovery_file.h"
#include "lirotag_version.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "ui/translation.h"

namespace {

// Beside the program first (a build folder, a portable copy), then where the installed
// program keeps it, relative to the program's folder.
std::string FindFolder(const QString& programDir, const char* beside, const char* installed) {
  const QString here = programDir + QLatin1Char('/') + QLatin1String(beside);
  if (QDir(here).exists()) return here.toStdString();
  const QString there = QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(installed));
  return (QDir(there).exists() ? there : here).toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lirotag"));
  QApplication::setApplicationVersion(QStringLiteral(LIROTAG_VERSION));
  // Desktops match the window to its desktop entry (name, icon) by this.
  QGuiApplication::setDesktopFileName(QStringLiteral("lirotag"));
  // The engine and the one Player outlive the main window: the window frees the engine
  // when it goes, and the Player lets go of its song after that. The engine's library is
  // loaded once the window is shown (or a song is opened), never before.
  lirotag::SetProgramModuleDir(LIROTAG_INSTALLED_MODULE_DIR);
  auto engine = std::make_unique<lirotag::DeferredAudioEngine>();
  lirotag::Player player(*engine);
  lirotag::RealFileSystem fs;

  int result = 0;
  {
    lirotag::MainWindowEnv env;
    env.fs = &fs;
    env.engine = engine.get();
    env.player = &player;
    const QString programDir = QCoreApplication::applicationDirPath();
    env.programDir = programDir.toStdString();
    env.skinDir = FindFolder(programDir, "Skin", LIROTAG_INSTALLED_SKIN_DIR);
    env.pluginDir = FindFolder(programDir, "Plugins", LIROTAG_INSTALLED_PLUGIN_DIR);
    env.recoveryDir = lirotag::RecoveryDir(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    const std::string userConfigDir =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
    // An installed program keeps its settings with the user, even when run by someone
    // who may write to its folder; a copy in a folder of its own keeps them beside it.
    const bool installed = !QDir(programDir + QStringLiteral("/Skin")).exists() &&
                           QDir(QString::fromStdString(env.skinDir)).exists();
    const std::string beside = lirotag::JoinPath(env.programDir, lirotag::kConfigFileName);
    env.configPath = installed && !fs.FileExists(beside)
                         ? lirotag::JoinPath(userConfigDir, lirotag::kConfigFileName)
                         : lirotag::ConfigFilePath(fs, env.programDir, userConfigDir);

    // The interface language is settled before any window exists: the setting first,
    // then the system's locale (Chinese unless it says English).
    const std::string language = lirotag::ChooseUiLanguage(
        lirotag::ReadConfigValue(fs, env.configPath, "Lirotag", lirotag::kLanguageKey, ""),
        std::getenv("LANGUAGE"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
        std::getenv("LANG"));
    lirotag::ui::InstallTranslations(&app, language);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lirotag: an editor for timed lyrics."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption paths(
        QStringLiteral("paths"),
        QStringLiteral("Print where settings, skins, plug-ins and recovery files are."));
    parser.addOption(paths);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("A song and/or a lyric file to open."),
                                 QStringLiteral("[SONG] [LYRICS.lrc]"));
    parser.process(app);
    if (parser.isSet(paths)) {
      std::printf("config: %s\nskins: %s\nplugins: %s\nrecovery: %s\n", env.configPath.c_str(),
                  env.skinDir.c_str(), env.pluginDir.c_str(), env.recoveryDir.c_str());
      return 0;
    }

    lirotag::MainWindow window(std::move(env));
    if (qEnvironmentVariableIsSet("LIROTAG_REPORT_SHOWN")) bench::ReportWhenShown(window);
    window.show();
    // The files the program was started with (a desktop's "open with" passes them too),
    // as absolute paths: the window names them in its messages and caption.
    QStringList files;
    for (const QString& file : parser.positionalArguments())
      files << QFileInfo(file).absoluteFilePath();
    QTimer::singleShot(0, &window, [&window, files] { window.StartUp(files); });
    result = app.exec();
  }
  player.Destroy();
  return result;
}
