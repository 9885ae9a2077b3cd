// The messages of the Qt-free core that reach the window, for the translators: the core
// writes them in Chinese (UTF-8) and the window shows them through ui::CoreText.
#include <QtGlobal>

namespace {

[[maybe_unused]] constexpr const char* kCoreTexts[] = {
    QT_TRANSLATE_NOOP("lirotag::Core", "ANSI"),
};

}  // namespace
