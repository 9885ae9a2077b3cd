#include "lyrics/info_tags.h"

#include <algorithm>
#include <string_view>

namespace lirotag {

namespace {

std::string* ValueFor(std::string_view line, AdditionalInfo* info) {
  if (line.size() < 4 || line[0] != '[' || line[3] != ':') return nullptr;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  const std::string key = {lower(line[1]), lower(line[2])};
  if (key == "ti") return &info->InfoTi;
  if (key == "ar") return &info->InfoAr;
  if (key == "al") return &info->InfoAl;
  if (key == "by") return &info->InfoBy;
  return nullptr;
}

}  // namespace

void ScanInfoTags(std::vector<std::string>* lines, AdditionalInfo* info) {
  const auto kept = std::remove_if(lines->begin(), lines->end(), [info](const std::string& line) {
    std::string* value = ValueFor(line, info);
    if (!value) return false;
    const size_t close = line.find(']');
    *value = close == std::string::npos || close <= 4 ? std::string() : line.substr(4, close - 4);
    return true;
  });
  lines->erase(kept, lines->end());
}

bool UpdateInfoTags(std::vector<std::string>* lines, AdditionalInfo* info,
                    const std::function<bool(AdditionalInfo*)>& chooseValues) {
  ScanInfoTags(lines, info);
  if (!chooseValues(info)) return false;
  std::vector<std::string> header;
  for (const auto& [key, value] :
       {std::pair{"[ti:", &info->InfoTi}, std::pair{"[ar:", &info->InfoAr},
        std::pair{"[al:", &info->InfoAl}, std::pair{"[by:", &info->InfoBy}}) {
    if (!value->empty()) header.push_back(key + *value + "]");
  }
  lines->insert(lines->begin(), header.begin(), header.end());
  return true;
}

void TakeSongTagValues(AdditionalInfo* info, const std::string& title, const std::string& artist,
                       const std::string& album) {
  for (const auto& [to, from] :
       {std::pair{&info->InfoTi, &title}, std::pair{&info->InfoAr, &artist},
        std::pair{&info->InfoAl, &album}}) {
    if (!from->empty()) *to = *from;
  }
}

}  // namespace lirotag
