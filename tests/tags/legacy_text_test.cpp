// Tag text of unstated encoding: common Chinese and Western titles and names, as the
// writers of ID3v1, ID3v2 encoding 0 and old APE and Vorbis tags stored them.

#include "tags/legacy_text.h"

#include <gtest/gtest.h>

#include "files/encoding.h"
#include "tag_bytes.h"
#include "tags/id3v1.h"
#include "tags/read_song_tags.h"

namespace lirotag {
namespace {

using namespace lirotag::testing;  // NOLINT
using namespace std::string_literals;

const char* const kChinese[] = {"周杰伦",
                                "林俊杰",
                                "陈奕迅",
                                "王菲",
                                "邓紫棋",
                                "薛之谦",
                                "张学友",
                                "刘德华",
                                "孙燕姿",
                                "蔡依林",
                                "五月天",
                                "李荣浩",
                                "毛不易",
                                "华晨宇",
                                "张杰",
                                "汪峰",
                                "许嵩",
                                "赵雷",
                                "朴树",
                                "李健",
                                "王力宏",
                                "陶喆",
                                "梁静茹",
                                "莫文蔚",
                                "那英",
                                "田馥甄",
                                "杨宗纬",
                                "张惠妹",
                                "周深",
                                "刘若英",
                                "费玉清",
                                "邓丽君",
                                "张国荣",
                                "梅艳芳",
                                "李宗盛",
                                "罗大佑",
                                "齐秦",
                                "伍佰",
                                "任贤齐",
                                "张信哲",
                                "光良",
                                "萧敬腾",
                                "苏打绿",
                                "陈粒",
                                "筷子兄弟",
                                "王菀之",
                                "容祖儿",
                                "谭咏麟",
                                "黎明",
                                "郭富城",
                                "稻香",
                                "晴天",
                                "七里香",
                                "夜曲",
                                "青花瓷",
                                "告白气球",
                                "江南",
                                "十年",
                                "红豆",
                                "后来",
                                "演员",
                                "丑八怪",
                                "笑忘书",
                                "光年之外",
                                "泡沫",
                                "平凡之路",
                                "成都",
                                "南山南",
                                "消愁",
                                "像我这样的人",
                                "小幸运",
                                "起风了",
                                "年少有为",
                                "那些年",
                                "同桌的你",
                                "童年",
                                "月亮代表我的心",
                                "甜蜜蜜",
                                "吻别",
                                "千千阙歌",
                                "海阔天空",
                                "光辉岁月",
                                "真的爱你",
                                "朋友",
                                "少年",
                                "孤勇者",
                                "漠河舞厅",
                                "夜空中最亮的星",
                                "突然好想你",
                                "倔强",
                                "爱情转移",
                                "富士山下",
                                "浮夸",
                                "好久不见",
                                "传奇",
                                "匆匆那年",
                                "我的歌声里",
                                "当你老了",
                                "老男孩",
                                "烟花易冷",
                                "菊花台",
                                "东风破",
                                "发如雪",
                                "千里之外",
                                "听妈妈的话",
                                "彩虹",
                                "搁浅",
                                "以父之名",
                                "双截棍",
                                "笑",
                                "夜",
                                "雪",
                                "风",
                                "爱",
                                "路",
                                "梦",
                                "心",
                                "阴天",
                                "遇见",
                                "周杰伦演唱会",
                                "恋爱ing",
                                "K歌之王",
                                "Live版",
                                "G.E.M.邓紫棋",
                                "F4 流星雨",
                                "Beyond - 海阔天空 (Live)",
                                "周杰伦 - 稻香（现场版）",
                                "五月天《倔强》",
                                "Jay Chou 周杰伦"};

const char* const kWestern[] = {"Céline Dion",
                                "Björk",
                                "Don’t Stop Believin’",
                                "Beyoncé",
                                "Sigur Rós",
                                "Mötley Crüe",
                                "Motörhead",
                                "Ólafur Arnalds",
                                "Édith Piaf",
                                "Françoise Hardy",
                                "Plácido Domingo",
                                "Amélie",
                                "Café del Mar",
                                "Zoë Keating",
                                "Hüsker Dü",
                                "Déjà Vu",
                                "Ça ira",
                                "Niño",
                                "Mañana",
                                "Jóga",
                                "Röyksopp",
                                "“Heroes”",
                                "Rock ’n’ Roll",
                                "It’s My Life",
                                "Guns N’ Roses",
                                "Sinéad O’Connor",
                                "Les Misérables",
                                "Für Elise",
                                "José González",
                                "Chloé",
                                "Mylène Farmer",
                                "Ennio Morricone – Cinema Paradiso",
                                "Rosalía",
                                "Åge Aleksandersen",
                                "Noël",
                                "Naïve",
                                "Crème Brûlée",
                                "Über Alles",
                                "Antonín Dvorák",
                                "Frédéric Chopin",
                                "Camille Saint-Saëns",
                                "Léo Ferré",
                                "Alizée",
                                "Maître Gims",
                                "Los del Río",
                                "Ñengo Flow",
                                "Tiësto",
                                "Die Ärzte",
                                "Søren",
                                "Wait…",
                                "Pokémon Theme",
                                "Mø",
                                "L’été indien",
                                "Señor Flamingos Adieu",
                                "À la claire fontaine",
                                "Œuvres — Vol. 2",
                                "Æon",
                                "Strauß"};

// Each character of `utf8` in its own encoding, in order.
std::vector<std::string> Chars(std::string_view utf8, std::string (*encode)(std::string_view)) {
  std::vector<std::string> out;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 1;
    while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(encode(utf8.substr(i, n)));
    i += n;
  }
  return out;
}

std::string Gbk(std::string_view ch) {
  return Utf8ToGbk(ch);
}

std::string Utf8(std::string_view ch) {
  return std::string(ch);
}

std::string Cp1252(std::string_view ch) {
  const std::u16string u = Utf8ToUtf16(ch);
  if (u.size() == 1 && (u[0] < 0x80 || (u[0] >= 0xA0 && u[0] <= 0xFF)))
    return std::string(1, static_cast<char>(u[0]));
  const std::pair<char16_t, char> high[] = {{u'’', '\x92'}, {u'‘', '\x91'}, {u'“', '\x93'},
                                            {u'”', '\x94'}, {u'–', '\x96'}, {u'—', '\x97'},
                                            {u'…', '\x85'}, {u'Œ', '\x8C'}};
  for (const auto& [c, b] : high) {
    if (u.size() == 1 && u[0] == c) return std::string(1, b);
  }
  ADD_FAILURE() << "not in Windows-1252: " << ch;
  return "?";
}

// The field an ID3v1 writer makes of `utf8`: its bytes cut at 30, even inside a
// character, and the text a reader should show: the whole characters before the cut.
std::pair<std::string, std::string> CutAt30(std::string_view utf8,
                                            std::string (*encode)(std::string_view)) {
  std::string bytes, shown;
  size_t i = 0;
  for (const std::string& c : Chars(utf8, encode)) {
    size_t len = 1;
    while (i + len < utf8.size() && (static_cast<unsigned char>(utf8[i + len]) & 0xC0) == 0x80)
      ++len;
    if (bytes.size() + c.size() <= 30) shown.append(utf8.substr(i, len));
    bytes += c;
    i += len;
  }
  bytes.resize(std::min<size_t>(bytes.size(), 30));
  while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  return {bytes, shown};
}

std::string Id3v1Title(const std::string& field) {
  const std::string block = Id3v1(field, "", "", "", "", 0, 255);
  MemorySource src(block);
  SongTags tags;
  EXPECT_TRUE(ReadId3v1(src, &tags));
  return tags.Title;
}

TEST(LegacyTextTest, CommonChineseTitlesAndNames) {
  ASSERT_GE(std::size(kChinese), 90u);
  for (const std::string name : kChinese) {
    const std::string gbk = Utf8ToGbk(name);
    EXPECT_EQ(LegacyTagText(gbk), name) << name;
    EXPECT_EQ(LegacyTagText(name), name) << name;
    EXPECT_EQ(Id3v1Title(gbk), name) << name;
    // Long enough to be cut at 30 bytes, once on a character's edge and once inside one.
    for (const std::string& longer : {name + " " + name + " " + name + " " + name + name,
                                      "A" + name + " " + name + " " + name + " " + name + name}) {
      for (auto* encode : {Gbk, Utf8}) {
        const auto [field, shown] = CutAt30(longer, encode);
        EXPECT_EQ(Id3v1Title(field), shown) << longer;
      }
    }
  }
}

TEST(LegacyTextTest, WesternNamesWithAccentsAndQuotes) {
  ASSERT_GE(std::size(kWestern), 40u);
  for (const std::string name : kWestern) {
    std::string cp1252;
    for (const std::string& c : Chars(name, Cp1252)) cp1252 += c;
    EXPECT_EQ(LegacyTagText(cp1252), name) << name;
    EXPECT_EQ(LegacyTagText(name), name) << name;
    if (cp1252.size() <= 30) {
      EXPECT_EQ(Id3v1Title(cp1252), name) << name;
    }
    const auto [field, shown] = CutAt30(name + " - " + name + " - " + name, Cp1252);
    EXPECT_EQ(Id3v1Title(field), shown) << name;
  }
}

// The same decision wherever the format leaves the encoding open or states it wrongly.
TEST(LegacyTextTest, EveryLegacyFieldDecidesAlike) {
  const std::string xue = Utf8ToGbk("薛之谦"), celine = "C\xE9line";
  struct Case {
    TagFormat format;
    std::string bytes;
    SongTags want;
  } cases[] = {
      {TagFormat::kMp3,
       Id3Tag(Id3Frame("TIT2", Id3Text(0, xue)) + Id3Frame("TPE1", Id3Text(3, celine)) +
              Id3Frame("TALB", Id3Text(3, "\xEF\xBB\xBF" + Utf8ToGbk("夜曲")))),
       {"薛之谦", "Céline", "夜曲"}},
      {TagFormat::kApe,
       ApeTag({{"Title", xue + "\xC2"}, {"Artist", celine}}),
       {"薛之谦", "Céline"}},
      {TagFormat::kFlac,
       FlacFile({{4, VorbisBody({"TITLE=Don\x92t", "ARTIST=" + Utf8ToGbk("周杰伦")})}}),
       {"Don’t", "周杰伦"}},
      // Declared UTF-8 that is valid stays as it is, whatever script it spells.
      {TagFormat::kOgg, OggVorbis({"TITLE=Сон", "ARTIST=Ц"}), {"Сон", "Ц"}},
  };
  for (const Case& c : cases) {
    MemorySource src(c.bytes);
    SongTags tags;
    ReadTagsOfFormat(c.format, src, &tags, nullptr, false);
    EXPECT_EQ(tags, c.want) << static_cast<int>(c.format);
  }
}

}  // namespace
}  // namespace lirotag
