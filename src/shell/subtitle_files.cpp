#include "shell/subtitle_files.h"

#include <QCoreApplication>

#include "files/file_io.h"
#include "ui/dialogs.h"

namespace lirotag {

namespace {

constexpr char kLrcType[] = "LRC歌词";

struct SubtitleType {
  SubtitleFormat format;
  const char* name;
};
constexpr SubtitleType kTypes[] = {
    {SubtitleFormat::kSrt, "SRT 字幕"},
    {SubtitleFormat::kWebVtt, "WebVTT 字幕"},
    {SubtitleFormat::kAss, "ASS 卡拉OK字幕"},
    {SubtitleFormat::kTtml, "TTML 歌词"},
};

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

void Warn(QWidget* window, const QString& text) {
  ui::MessageBox::Show(window, QMessageBox::Warning,
                       QCoreApplication::translate("lirotag::SubtitleFiles", "错误"), text,
                       QMessageBox::Ok);
}

}  // namespace

const char kSaveFilterWithSubtitles[] =
    "LRC歌词|*.LRC|SRT 字幕|*.srt|WebVTT 字幕|*.vtt|ASS 卡拉OK字幕|*.ass|TTML 歌词|*.ttml|"
    "所有文件|*.*";
const char kSubtitleExportFilter[] =
    "SRT 字幕|*.srt|WebVTT 字幕|*.vtt|ASS 卡拉OK字幕|*.ass|TTML 歌词|*.ttml";
const char kLoadFilterWithSubtitles[] =
    "歌词或文本文件（LRC/TXT）|*.lrc;*.txt|字幕文件（SRT/VTT/ASS/TTML）|*.srt;*.vtt;*.ass;*.ssa;"
    "*.ttml|所有文件|*.*";

std::optional<SubtitleFormat> SubtitleFormatToSave(const std::string& chosenType,
                                                   const std::string& path) {
  for (const SubtitleType& type : kTypes) {
    if (chosenType == type.name) return type.format;
  }
  // "所有文件" and a name ending in ".srt": what the name says.
  if (chosenType != kLrcType) return SubtitleFormatOfPath(path);
  return std::nullopt;
}

bool ExportSubtitles(QWidget* window, FileSystem& fs, const std::string& lyricText,
                     SubtitleFormat format, std::optional<int64_t> songLengthMs,
                     const std::string& path) {
  const SubtitleTrack track = CuesFromLyrics(lyricText, songLengthMs);
  if (track.cues.empty()) {
    Warn(window, QCoreApplication::translate("lirotag::SubtitleFiles",
                                             "歌词中没有带时间标签的行，无法导出字幕。"));
    return false;
  }
  std::string body = WriteSubtitles(track, format);
  if (SubtitleNeedsBom(format)) body.insert(0, "\xEF\xBB\xBF");
  std::string err;
  if (!fs.WriteFileAtomic(path, body, &err)) {
    Warn(window, QCoreApplication::translate("lirotag::SubtitleFiles", "写出文件\n%1\n时发生错误。")
                     .arg(Q(path)));
    return false;
  }
  return true;
}

std::optional<std::string> ImportSubtitles(QWidget* window, const std::string& path,
                                           const std::string& text, SubtitleFormat format,
                                           bool threeDecimals) {
  std::string err;
  const std::optional<SubtitleTrack> track = ReadSubtitles(text, format, &err);
  if (!track) {
    Warn(window,
         QCoreApplication::translate("lirotag::SubtitleFiles",
                                     "文件\n%1\n中没有可以读取的字幕（SRT、WebVTT、ASS、TTML）。")
             .arg(Q(path)));
    return std::nullopt;
  }
  return LyricsFromCues(*track, threeDecimals);
}

}  // namespace lirotag
