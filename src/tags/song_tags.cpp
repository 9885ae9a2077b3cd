#include "tags/song_tags.h"

#include <algorithm>

#include "files/encoding.h"

namespace lirotag {

namespace {

constexpr std::array<std::string SongTags::*, SongTags::kFieldCount> kFields = {
    &SongTags::Title, &SongTags::Artist,  &SongTags::Album, &SongTags::Year,
    &SongTags::Genre, &SongTags::Comment, &SongTags::Track, &SongTags::Lyrics};

char AsciiUpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

}  // namespace

std::string& SongTags::Field(int i) {
  return this->*kFields[i];
}
const std::string& SongTags::Field(int i) const {
  return this->*kFields[i];
}

SongTags MergeSongTags(const std::vector<SongTags>& list) {
  SongTags out;
  for (const SongTags& t : list) {
    for (int i = 0; i < SongTags::kFieldCount; ++i) {
      if (out.Field(i).empty()) out.Field(i) = t.Field(i);
    }
  }
  return out;
}

void MapTagItems(const std::vector<TagItem>& items, const TagOutputs& outputs,
                 const TagItemNames& names) {
  for (const TagItem& item : items) {
    for (int i = 0; i < SongTags::kFieldCount; ++i) {
      const std::string_view name = names[i].empty() ? kSongTagNames[i] : names[i];
      if (!EqualsIgnoreAsciiCase(item.name, name)) continue;
      if (outputs[i]) *outputs[i] = item.value;
      break;
    }
  }
}

TagOutputs AllFields(SongTags* tags) {
  TagOutputs out;
  for (int i = 0; i < SongTags::kFieldCount; ++i) out[i] = &tags->Field(i);
  return out;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
  std::u16string units = Utf16FromBytes(bytes.substr(0, bytes.size() / 2 * 2), bigEndian);
  units.resize(std::min(units.size(), units.find(u'\0')));
  std::erase(units, u'\uFEFF');
  return Utf16ToUtf8(units);
}

std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpperChar(c);
  return out;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpperChar(x) == AsciiUpperChar(y);
         });
}

std::string ReverseBytes(std::string_view bytes) {
  return std::string(bytes.rbegin(), bytes.rend());
}

std::string JoinBytes(std::initializer_list<std::string_view> buffers) {
  std::string out;
  for (std::string_view b : buffers) out.append(b);
  return out;
}

std::string ExtractPicture(std::string_view data, std::string_view hint) {
  const std::string h = AsciiUpper(hint);
  std::string_view sig = hint;
  if (h == "JPG" || h == "JPE" || h == "JPEG") {
    sig = "\xFF\xD8\xFF";
  } else if (h == "BMP") {
    sig = "BM";
  } else if (h == "PNG") {
    sig = "\x89PNG";
  } else {
    sig = h;
  }
  const size_t at = sig.empty() ? std::string_view::npos : data.find(sig);
  return std::string(at == std::string_view::npos ? data : data.substr(at));
}

}  // namespace lirotag
