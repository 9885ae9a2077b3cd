#include "net/lrclib.h"

#include <QCoreApplication>
#include <cmath>
#include <mutex>

#include "files/program_modules.h"
#include "lyrics/time_tags.h"
#include "lyrics/words.h"
#include "net/lrclib_module.h"

#ifndef LIROTAG_VERSION
#define LIROTAG_VERSION "4.1"
#endif

namespace lirotag {

namespace {

// Where the program comes from, as its application id (io.github.lirotag) names it.
constexpr char kProjectAddress[] = "https://lirotag.github.io";

// A line whose first tag starts with a letter or "#" ([ti:], [offset:], [id:] …) is a
// header, never words.
bool IsHeaderLine(std::string_view line) {
  return line.size() > 1 && line[0] == '[' &&
         (std::isalpha(static_cast<unsigned char>(line[1])) || line[1] == '#');
}

bool HasTimeTag(std::string_view line) {
  if (IsHeaderLine(line) || line.empty() || line[0] != '[') return false;
  const std::vector<std::string> tags = TagList(line);
  return !tags.empty() && !tags[0].empty() &&
         std::isdigit(static_cast<unsigned char>(tags[0][0])) && ParseTime(tags[0]) >= 0;
}

QString JoinLines(std::vector<std::string> lines) {
  while (!lines.empty() && TrimSpaces(lines.back()).empty()) lines.pop_back();
  size_t first = 0;
  while (first < lines.size() && TrimSpaces(lines[first]).empty()) ++first;
  std::string out;
  for (size_t i = first; i < lines.size(); ++i) {
    if (i > first) out += '\n';
    out += lines[i];
  }
  return QString::fromStdString(out);
}

}  // namespace

QString LrclibJsonText(const QJsonValue& value) {
  return value.isString() ? value.toString() : QString();
}

QString LrclibUserAgent() {
  return QStringLiteral("Lirotag %1 (%2)")
      .arg(QLatin1String(LIROTAG_VERSION), QLatin1String(kProjectAddress));
}

LrclibRecord LrclibRecordFromJson(const QJsonObject& json) {
  LrclibRecord r;
  r.id = static_cast<qint64>(json.value(QLatin1String("id")).toDouble());
  r.trackName = LrclibJsonText(json.value(QLatin1String("trackName")));
  if (r.trackName.isEmpty()) r.trackName = LrclibJsonText(json.value(QLatin1String("name")));
  r.artistName = LrclibJsonText(json.value(QLatin1String("artistName")));
  r.albumName = LrclibJsonText(json.value(QLatin1String("albumName")));
  r.duration = json.value(QLatin1String("duration")).toDouble();
  r.instrumental = json.value(QLatin1String("instrumental")).toBool();
  r.plainLyrics = LrclibJsonText(json.value(QLatin1String("plainLyrics")));
  r.syncedLyrics = LrclibJsonText(json.value(QLatin1String("syncedLyrics")));
  r.json = json;
  return r;
}

LrclibLyric LrclibLyricFromText(const std::string& text) {
  std::vector<std::string> lines = SplitText(NormaliseLineBreaks(text), "\r\n");
  std::vector<std::string> plain;
  bool timed = false;
  LrclibLyric out;
  for (const std::string& line : lines) {
    if (HasTimeTag(line)) timed = true;
    if (IsHeaderLine(line)) continue;
    std::string words = TrimSpaces(StripWordTags(StripTags(line)));
    if (!words.empty()) ++out.lines;
    plain.push_back(std::move(words));
  }
  // Blank lines between verses stay, but never two in a row.
  std::vector<std::string> tidy;
  for (std::string& line : plain) {
    if (line.empty() && !tidy.empty() && tidy.back().empty()) continue;
    tidy.push_back(std::move(line));
  }
  out.plain = JoinLines(tidy);
  if (timed) out.synced = JoinLines(lines);
  return out;
}

QString LrclibOutcome::Message() const {
  switch (fault) {
    case LrclibFault::kNone:
      return {};
    case LrclibFault::kNotFound:
      return QCoreApplication::translate("lirotag::LrclibOutcome", "歌词库里没有这首歌的歌词。");
    case LrclibFault::kNoConnection:
      return QCoreApplication::translate(
                 "lirotag::LrclibOutcome",
                 "无法连接歌词服务器，请检查网络连接和设置中的服务器地址。\n（%1）")
          .arg(detail);
    case LrclibFault::kTimeout:
      return QCoreApplication::translate("lirotag::LrclibOutcome",
                                         "歌词服务器在 10 秒内没有回应，请稍后再试。");
    case LrclibFault::kHttp:
      return QCoreApplication::translate("lirotag::LrclibOutcome",
                                         "歌词服务器出错（HTTP %1），请稍后再试。")
          .arg(httpStatus);
    case LrclibFault::kService:
      return QCoreApplication::translate("lirotag::LrclibOutcome", "歌词服务器拒绝了请求：%1")
          .arg(serviceMessage);
    case LrclibFault::kNotJson:
      return QCoreApplication::translate(
          "lirotag::LrclibOutcome",
          "收到的回应不是歌词服务器的数据（可能是网页或网络登录页面），请检查网络和服务器地址。");
    case LrclibFault::kBadChallenge:
      return QCoreApplication::translate("lirotag::LrclibOutcome",
                                         "歌词服务器发来的验证题无法识别，无法发布。");
    case LrclibFault::kCancelled:
      return QCoreApplication::translate("lirotag::LrclibOutcome", "已取消。");
  }
  return {};
}

std::string LrclibOutcome::EnglishMessage() const {
  switch (fault) {
    case LrclibFault::kNone:
      return {};
    case LrclibFault::kNotFound:
      return "the lyrics service has no such track";
    case LrclibFault::kNoConnection:
      return "cannot reach the lyrics service: " + detail.toStdString();
    case LrclibFault::kTimeout:
      return "the lyrics service did not answer in time";
    case LrclibFault::kHttp:
      return "the lyrics service failed (HTTP " + std::to_string(httpStatus) + ")";
    case LrclibFault::kService:
      return "the lyrics service refused: " + serviceMessage.simplified().toStdString() +
             (httpStatus ? " (HTTP " + std::to_string(httpStatus) + ")" : "");
    case LrclibFault::kNotJson:
      return "the answer is not the lyrics service's (an HTML page?)";
    case LrclibFault::kBadChallenge:
      return "the lyrics service sent a challenge this program cannot read";
    case LrclibFault::kCancelled:
      return "cancelled";
  }
  return {};
}

std::unique_ptr<LrclibService> ConnectLrclib(const QString& server, std::string* why) {
  static std::once_flag once;
  static const OnlineModule* module = nullptr;
  static std::string error;
  std::call_once(once, [] {
    module = static_cast<const OnlineModule*>(
        OpenProgramModule(kOnlineModuleFile, kOnlineModuleEntry, kOnlineModuleVersion, &error));
  });
  if (!module) {
    if (why) *why = error;
    return nullptr;
  }
  return std::unique_ptr<LrclibService>(module->connect(server));
}

}  // namespace lirotag
