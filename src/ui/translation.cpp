#include "ui/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace lirotag::ui {

void InstallTranslations(QCoreApplication* app, const std::string& language) {
  const QString lang = QString::fromStdString(language);
  // Qt's own texts (file dialog, colour picker, OK/Cancel) from Qt's shipped translations.
  auto* qt = new QTranslator(app);
  if (qt->load(QStringLiteral("qtbase_") + lang,
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qt);
  } else {
    delete qt;
  }
  // Chinese is the program's source text: only other languages have a translation, built
  // into the program.
  if (language == "zh_CN") return;
  auto* own = new QTranslator(app);
  if (own->load(QStringLiteral(":/i18n/lirotag_") + lang + QStringLiteral(".qm"))) {
    QCoreApplication::installTranslator(own);
  } else {
    delete own;
  }
}

QString CoreText(const std::string& utf8) {
  return QCoreApplication::translate("lirotag::Core", utf8.c_str());
}

QString CoreText(const char* utf8) {
  return QCoreApplication::translate("lirotag::Core", utf8);
}

}  // namespace lirotag::ui
