#pragma once

#include <QString>
#include <string>

class QCoreApplication;

namespace lirotag::ui {

// Puts the interface into `language` ("en" or "zh_CN"), before any window is built: the
// program's own texts (written in Chinese, translated for English) and Qt's dialogs and
// buttons, with Qt's shipped translations. The translators belong to `app`.
void InstallTranslations(QCoreApplication* app, const std::string& language);

// A text of the Qt-free core (its messages are UTF-8 Chinese) in the interface language:
// the core's texts are listed under the context "lirotag::Core" for the translators.
QString CoreText(const std::string& utf8);
QString CoreText(const char* utf8);

}  // namespace lirotag::ui
