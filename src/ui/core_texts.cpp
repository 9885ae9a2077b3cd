// The texts of the Qt-free core that reach the window, for the translators: the core
// writes them in Chinese (UTF-8) and the window shows them through ui::CoreText. The
// file dialogs' type names (audio/player.cpp, audio/formats.cpp, shell/subtitle_files.cpp;
// translated at display, the chosen type is still reported by its Chinese name) and the
// encodings menu (files/lyric_encodings.cpp), why a song did not open
// (shell/song_open_error.cpp).
#include <QtGlobal>

namespace {

[[maybe_unused]] constexpr const char* kCoreTexts[] = {
    QT_TRANSLATE_NOOP("lirotag::Core", "所有支持的类型"),
    QT_TRANSLATE_NOOP("lirotag::Core", "基本"),
    QT_TRANSLATE_NOOP("lirotag::Core", "MOD音乐"),
    QT_TRANSLATE_NOOP("lirotag::Core", "所有文件"),
    QT_TRANSLATE_NOOP("lirotag::Core", "LRC歌词"),
    QT_TRANSLATE_NOOP("lirotag::Core", "SRT 字幕"),
    QT_TRANSLATE_NOOP("lirotag::Core", "WebVTT 字幕"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ASS 卡拉OK字幕"),
    QT_TRANSLATE_NOOP("lirotag::Core", "TTML 歌词"),
    QT_TRANSLATE_NOOP("lirotag::Core", "歌词或文本文件（LRC/TXT）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "字幕文件（SRT/VTT/ASS/TTML）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "GBK（简体中文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "Big5（繁体中文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "Big5-HKSCS（繁体中文，香港）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "Shift_JIS（日文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "EUC-JP（日文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-2022-JP（日文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "EUC-KR（韩文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "windows-1252（西欧）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-1（西欧）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-15（西欧）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "windows-1250（中欧）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-2（中欧）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "windows-1251（西里尔文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "KOI8-R（俄文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "KOI8-U（乌克兰文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-5（西里尔文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "windows-1253（希腊文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-7（希腊文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "windows-1254（土耳其文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-9（土耳其文）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "windows-1257（波罗的海）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "ISO-8859-13（波罗的海）"),
    QT_TRANSLATE_NOOP("lirotag::Core", "文件不存在。"),
    QT_TRANSLATE_NOOP("lirotag::Core", "这不是一个文件。"),
    QT_TRANSLATE_NOOP("lirotag::Core", "没有读取这个文件的权限。"),
    QT_TRANSLATE_NOOP("lirotag::Core", "文件已损坏，或者内容与扩展名不符。"),
    QT_TRANSLATE_NOOP("lirotag::Core", "不支持这种文件格式。"),
};

}  // namespace
