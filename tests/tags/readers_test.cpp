// Every reader against bytes built the way writers lay them out: GBK and UTF-16 Chinese,
// the layouts writers get wrong, damaged and absurd sizes, and pictures.

#include <gtest/gtest.h>

#include "files/encoding.h"
#include "tag_bytes.h"
#include "tags/read_song_tags.h"

namespace lirotag {
namespace {

using namespace lirotag::testing;  // NOLINT
using namespace std::string_literals;

const std::string kGbkTitle = Utf8ToGbk("中文歌名");
const std::string kLong(300, 'x');  // a size of 128 or more differs when synchsafe

// An APIC body of 383 bytes (01 7F, 255 when read as synchsafe) with a zero at 255.
const std::string kCoverWithZero = [] {
  std::string body = Apic("image/jpeg", 3, "", FakeJpeg(383 - 14));
  body[255] = '\0';
  return body;
}();

std::string Comm(std::string_view id, std::string_view desc, std::string_view text, int enc = 1) {
  const std::string term = enc == 1 ? std::string(2, '\0') : std::string(1, '\0');
  const std::string bom = enc == 1 ? "\xFF\xFE" : "";
  return Id3Frame(id, Id3Text(enc, "eng" + bom + (enc == 1 ? U16(desc) : std::string(desc)) + term +
                                       bom + (enc == 1 ? U16(text) : std::string(text))));
}

// A v2.3 tag unsynchronised as a whole: FF before 00 or E0–FF gets a 00 after it.
std::string Unsynchronised(const std::string& frames) {
  std::string out;
  for (size_t i = 0; i < frames.size(); ++i) {
    out += frames[i];
    const auto next = i + 1 < frames.size() ? static_cast<unsigned char>(frames[i + 1]) : 0;
    if (frames[i] == '\xFF' && (next == 0 || next >= 0xE0)) out += '\0';
  }
  return Id3Tag(out, 3, 0x80);
}

struct Case {
  const char* name;
  TagFormat format;
  std::string bytes;
  SongTags want;
};

const Case kCases[] = {
    {"Id3v2GbkAndUtf16",
     TagFormat::kMp3,
     Id3Tag(Id3Frame("TIT2", Id3Text(0, kGbkTitle)) +
            Id3Frame("TPE1", Id3Text(1, "\xFE\xFF" + U16("仿佛𝄞", true) + std::string(2, '\0'))) +
            Id3Frame("TALB", Id3Text(2, U16("专辑", true))) + Id3Frame("TRCK", Id3Text(3, "3/12")) +
            Id3Frame("TCON", Id3Text(0, "(17)")) + Id3Frame("TYER", Id3Text(0, "\xE9t\xE9"))),
     {"中文歌名", "仿佛𝄞", "专辑", "été", "(17)", "", "3/12"}},
    {"Id3v2CommentAndLyricsAfterDescription",
     TagFormat::kMp3,
     Id3Tag(Comm("COMM", "", "plain", 0) + Comm("COMM", "iTunNORM", " 0000") +
            Comm("USLT", "描述", "歌词\n第二行") + Id3Frame("TIT2", Id3Text(1, U16("nobom")))),
     {"", "", "", "", "", "plain", "", "歌词\n第二行"}},
    {"Id3v2LaterFrameWins",
     TagFormat::kMp3,
     Id3Tag(Id3Frame("TPE1", Id3Text(0, "one")) + Id3Frame("TPE1", Id3Text(0, "two"))),
     {"", "two"}},
    {"Id3v24SynchsafeAndDate",
     TagFormat::kMp3,
     Id3Tag(Id3Frame("TIT2", Id3Text(3, kLong), 4) + Id3Frame("TDRC", Id3Text(3, "2010"), 4), 4),
     {kLong, "", "", "2010"}},
    {"Id3v24PlainSizes",
     TagFormat::kMp3,
     Id3Tag(Id3Frame("TIT2", Id3Text(3, kLong)) + Id3Frame("TPE1", Id3Text(3, "b")), 4),
     {kLong, "b"}},
    // Plain sizes whose synchsafe reading ends on a zero inside the cover: only the plain
    // reading walks the whole tag.
    {"Id3v24PlainSizesPastACover",
     TagFormat::kMp3,
     Id3Tag(Id3Frame("TIT2", Id3Text(3, "before")) + Id3Frame("APIC", kCoverWithZero) +
                Id3Frame("TPE1", Id3Text(3, "after")),
            4),
     {"before", "after"}},
    {"Id3v23ExtendedHeaderAndYearOverDate",
     TagFormat::kMp3,
     Id3Tag(BE32(6) + std::string(6, '\0') + Id3Frame("TDRC", Id3Text(0, "2001")) +
                Id3Frame("TYER", Id3Text(0, "1999")),
            3, 0x40),
     {"", "", "", "1999"}},
    {"Id3v23Unsynchronised",
     TagFormat::kMp3,
     Unsynchronised(Id3Frame("TIT2", Id3Text(1, "\xFF\xFE" + U16("歌ÿ"))) +
                    Id3Frame("TPE1", Id3Text(0, "a"))),
     {"歌ÿ", "a"}},
    {"Id3v2SizesPastTheEnd",
     TagFormat::kMp3,
     "ID3\x03\x00\x00\x7F\x7F\x7F\x7F"s + Id3Frame("TIT2", Id3Text(0, "kept")) + "TPE1" +
         BE32(0xFFFFFFFF) + "\0\0\0lost"s,
     {"kept"}},
    {"Id3v22ThreeLetterFrames",
     TagFormat::kMp3,
     Id3Tag(Id3Frame22("TT2", Id3Text(1, "\xFF\xFE" + U16("标题"))) +
                Id3Frame22("TP1", Id3Text(0, kGbkTitle)) + Id3Frame22("TAL", Id3Text(0, "al")) +
                Id3Frame22("TYE", Id3Text(0, "1999")) + Id3Frame22("TCO", Id3Text(0, "(13)")) +
                Id3Frame22("COM", Id3Text(0, "engiTunNORM\0 00\0"s)) +
                Id3Frame22("COM", Id3Text(0, "eng\0plain"s)) +
                Id3Frame22("TRK", Id3Text(0, "4/9")) + Id3Frame22("TIT2", Id3Text(0, "v2.3 name")),
            2) +
         Id3v1("v1", "", "", "", "", 0, 255),
     {"标题", "中文歌名", "al", "1999", "(13)", "plain", "4/9"}},
    {"Id3v22CompressedIsSkipped",
     TagFormat::kMp3,
     Id3Tag(Id3Frame22("TT2", Id3Text(0, "packed")), 2, 0x40) + Id3v1("v1", "", "", "", "", 0, 255),
     {"v1"}},
    {"MergeId3v2ApeId3v1",
     TagFormat::kMp3,
     Id3Tag(Id3Frame("TIT2", Id3Text(0, "v2"))) + ApeTag({{"Artist", "ape"}, {"Title", "x"}}) +
         Id3v1("v1", "v1", "v1 album  ", "2004", std::string(28, 'c'), 5, 17),
     {"v2", "ape", "v1 album", "2004", "Rock", std::string(28, 'c'), "5"}},
    {"Id3v1GbkFullCommentNoGenre",
     TagFormat::kMp3,
     std::string(300, 'a') +
         Id3v1(kGbkTitle + "\xA1\xA1 ", "", "", "", std::string(30, 'c'), 0, 255),
     {"中文歌名", "", "", "", "", std::string(30, 'c')}},
    {"Id3v10PaddingIsNoTrack",
     TagFormat::kMp3,
     Id3v1("t", "", "", "", "short", 0, 0),
     {"t", "", "", "", "Blues", "short"}},
    {"ApeItemsAnyCaseLaterWins",
     TagFormat::kApe,
     "wavpack" + ApeTag({{"TITLE", "a"},
                         {"title", "b"},
                         {"ARTIST", kGbkTitle},
                         {"Year", "2010"},
                         {"Genre", "x"},
                         {"Genre", "y"},
                         {"Cover Art (Front)", "jpg\0"s + FakeJpeg()}},
                        1000),
     {"b", "中文歌名", "", "2010", "y"}},
    {"ApeSizesPastTheEnd",
     TagFormat::kApe,
     ApeTag({{"Title", "a"}}).replace(0, 4, LE32(0xFFFFFFFF)),
     {}},
    {"AsfBothObjects",
     TagFormat::kAsf,
     AsfFile({"标题", "歌手", "", "描述", "rating"}, {{"WM/TrackNumber", 3, LE32(7)},
                                                      {"wm/albumtitle", 0, AsfText("wrong case")},
                                                      {"WM/AlbumTitle", 0, AsfText("专辑")},
                                                      {"WM/Year", 0, AsfText("2008")},
                                                      {"WM/Genre", 0, AsfText("流行")},
                                                      {"WM/Lyrics", 0, AsfText("词")}}),
     {"标题", "歌手", "专辑", "2008", "流行", "描述", "7", "词"}},
    {"AsfTrackTextAndTrackAlone",
     TagFormat::kAsf,
     AsfFile({"t", "", "", "", ""},
             {{"WM/Track", 3, LE32(4)}, {"WM/TrackNumber", 0, AsfText("07")}}),
     {"t", "", "", "", "", "", "07"}},
    {"AsfObjectSizeZeroEndsTheWalk",
     TagFormat::kAsf,
     AsfFile({"t", "", "", "", ""}, {}, kAsfExtendedGuid + LE64(0)),
     {"t"}},
    {"Mp4Items",
     TagFormat::kMp4,
     Mp4File(Mp4Item("\xA9nam", "one") + Mp4Item("\xA9nam", "标题") +
             Mp4Item("\xA9"
                     "ART",
                     "歌手") +
             Mp4Item("trkn", "\0\0\0\x03\0\x0C\0\0"s, 0) + Mp4Item("gnre", "\0\x12"s, 0) +
             Mp4Freeform("lyrics", "歌词") +
             Mp4Item("\xA9"
                     "day",
                     "2011")),
     {"标题", "歌手", "", "2011", "Rock", "", "3", "歌词"}},
    {"Mp4ItunesLyricsWinOverFreeform",
     TagFormat::kMp4,
     Mp4File(Mp4Freeform("LYRICS", "freeform") + Mp4Item("\xA9lyr", "[00:01.00]歌词")),
     {"", "", "", "", "", "", "", "[00:01.00]歌词"}},
    {"Mp4LargeMdatFirst",
     TagFormat::kMp4,
     Mp4File(Mp4Item("\xA9"
                     "alb",
                     "a"),
             BE32(1) + "mdat" + "\0\0\0\0\0\0\0\x14"s + "abcd"),
     {"", "", "a"}},
    {"Mp4FirstAtomMustBeFtyp", TagFormat::kMp4, Mp4File(Mp4Item("\xA9nam", "x")).substr(24), {}},
    {"Mp4ZeroSizedAtoms",
     TagFormat::kMp4,
     Atom("ftyp", "M4A ") + BE32(0) + "moov" + BE32(0) + "udta" + BE32(0) + "meta" + BE32(0) +
         "ilst",
     {}},
    {"FlacCommentsByFlacNames",
     TagFormat::kFlac,
     FlacFile({{4, VorbisBody({"TITLE=a", "date=2001", "TRACKNUMBER=3", "YEAR=x", "novalue",
                               "DESCRIPTION=d"})}}),
     {"a", "", "", "2001", "", "d", "3"}},
    {"FlacCountEndsTheBlock",
     TagFormat::kFlac,
     FlacFile({{4, VorbisBody({"TITLE=a", "ARTIST=b", "ALBUM=c"}, 2)}, {1, ""}}),
     {"a", "b"}},
    {"FlacCutInsideAComment",
     TagFormat::kFlac,
     FlacFile({{4, VorbisBody({"TITLE=a", "ARTIST=" + kLong})}}).substr(0, 42 + 40 + 30),
     {"a"}},
    {"FlacAfterId3v2FillsWhatTheCommentsLack",
     TagFormat::kFlac,
     Id3Tag(Id3Frame("TIT2", Id3Text(0, "x")) + Id3Frame("TPE1", Id3Text(0, "id3"))) +
         Id3Tag(Id3Frame("TALB", Id3Text(0, "second tag")), 4) +
         FlacFile({{4, VorbisBody({"TITLE=a"})}}),
     {"a", "id3"}},
    {"OggYearAndTrackFirstThenStandardNames",
     TagFormat::kOgg,
     OggVorbis({"TITLE=a", "date=2001", "YEAR=1999", "tracknumber=4", "ALBUM=" + kLong, "COMMENT=c",
                "description=d"},
               255, 2),
     {"a", "", kLong, "1999", "", "c", "4"}},
    {"OggCommentHeaderAcrossPages",
     TagFormat::kOgg,
     OggVorbis({"ARTIST=" + std::string(3000, 'y'), "TITLE=歌"}, 3),
     {"歌", std::string(3000, 'y')}},
    {"OggOtherCodec", TagFormat::kOgg, OggVorbis({"TITLE=a"}).replace(28, 7, "Speex  "), {}},
    {"OpusTags",
     TagFormat::kOgg,
     OggOpus({"title=歌", "ARTIST=" + kLong, "DATE=2020", "TRACKNUMBER=2"}),
     {"歌", kLong, "", "2020", "", "", "2"}},
    {"OpusWithoutItsTags", TagFormat::kOgg, OggOpus({"TITLE=a"}).replace(47, 8, "OpusTagz"), {}},
    {"OggFlacCommentBlock",
     TagFormat::kOgg,
     OggFlac({{1, std::string(20, '\0')}, {4, VorbisBody({"TITLE=a", "ALBUM=b"})}}),
     {"a", "", "b"}},
    // An old libFLAC's comment block length was too short; the comments run on past it.
    {"FlacCommentBlockTooShort",
     TagFormat::kFlac,
     FlacFile({{4, VorbisBody({"TITLE=Mother's Daughter", "ARTIST=Tunng", "DATE=2004"})}})
             .replace(42, 4, BE32(0x84000000u | 30)) +
         "\xFF\xF8\x59\xA8" + std::string(40, '\x10'),
     {"Mother's Daughter", "Tunng", "", "2004"}},
    // A picture block declared empty (mutagen's issue 106 file): the walk goes on after
    // the picture its own lengths describe.
    {"FlacPictureBlockDeclaredEmpty",
     TagFormat::kFlac,
     FlacFile({{6, FlacPicture(3, "image/png", FakePng())}, {4, VorbisBody({"TITLE=a"})}})
         .replace(42, 4, BE32(0x06000000u)),
     {"a"}},
    // A count beyond what the block holds, followed by what is no comment.
    {"FlacCountBeyondTheBlock",
     TagFormat::kFlac,
     FlacFile({{4, VorbisBody({"TITLE=a"}, 3)}, {4, "\x05\0\0\0x yyy"s}}),
     {"a"}},
};

class ReaderTest : public ::testing::TestWithParam<Case> {};

TEST_P(ReaderTest, GivesTheEightFields) {
  MemorySource src(GetParam().bytes);
  SongTags tags;
  EXPECT_TRUE(ReadTagsOfFormat(GetParam().format, src, &tags, nullptr, true));
  EXPECT_EQ(tags, GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Formats, ReaderTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderTest, PicturesAreTheImageBytesExactly) {
  const std::string jpeg = FakeJpeg(300), png = FakePng(300);
  struct Pic {
    TagFormat format;
    std::string bytes, want;
  } cases[] = {
      // A description holding the signature must not shift the cut; a front cover wins.
      {TagFormat::kMp3,
       Id3Tag(Id3Frame("APIC", Apic("image/bmp", 3, "BM cover", "BMxyz")) +
              Id3Frame("APIC", Apic("image/jpeg", 4, "", jpeg))),
       "BMxyz"},
      {TagFormat::kMp3, Id3Tag(Id3Frame("APIC", Apic("image/png", 0, "\x89PNG", png, 1))), png},
      {TagFormat::kMp3, Id3Tag(Id3Frame("APIC", "\0image/jpeg"s + jpeg)), jpeg},
      {TagFormat::kMp3,
       Id3Tag(Id3Frame22("PIC", "\0PNG\x04\0"s + png) + Id3Frame22("PIC", "\0JPG\x03JPG\0"s + jpeg),
              2),
       jpeg},
      {TagFormat::kFlac,
       FlacFile({{6, FlacPicture(3, "image/png", png)}, {6, FlacPicture(4, "image/jpeg", jpeg)}}),
       png},
      {TagFormat::kFlac, FlacFile({{6, FlacPicture(3, "-->", "http://x")}}), ""},
      // A picture block declared empty; the picture's own lengths tell where it ends.
      {TagFormat::kFlac,
       FlacFile({{6, FlacPicture(3, "image/png", png)}, {4, VorbisBody({"TITLE=a"})}})
           .replace(42, 4, BE32(0x06000000u)),
       png},
      // A cover in an ID3v2 tag before "fLaC" serves when the FLAC blocks have none.
      {TagFormat::kFlac,
       Id3Tag(Id3Frame("APIC", Apic("image/png", 3, "", png))) +
           FlacFile({{6, FlacPicture(3, "image/jpeg", jpeg)}}),
       jpeg},
      {TagFormat::kFlac,
       Id3Tag(Id3Frame("APIC", Apic("image/png", 3, "", png))) + FlacFile({{1, ""}}), png},
      {TagFormat::kOgg,
       OggOpus({"METADATA_BLOCK_PICTURE=" + Base64(FlacPicture(4, "image/jpeg", jpeg)),
                "metadata_block_picture=" + Base64(FlacPicture(3, "image/png", png + "x")),
                "METADATA_BLOCK_PICTURE=" + Base64(FlacPicture(0, "image/jpeg", jpeg))}),
       png + "x"},
      {TagFormat::kOgg,
       OggVorbis({"METADATA_BLOCK_PICTURE=" + Base64(FlacPicture(0, "image/png", png + "xy"))}),
       png + "xy"},
      {TagFormat::kOgg, OggVorbis({"COVERART=" + Base64(png), "COVERART=" + Base64(jpeg)}), png},
      {TagFormat::kOgg,
       OggFlac({{4, VorbisBody({"TITLE=a"})}, {6, FlacPicture(3, "image/jpeg", jpeg)}}), jpeg},
      {TagFormat::kAsf,
       AsfFile({"", "", "", "", ""},
               {{"WM/Picture", 1,
                 "\x03" + LE32(300) + AsfText("image/jpeg") + AsfText("封面") + jpeg}}),
       jpeg},
      {TagFormat::kMp4, Mp4File(Mp4Item("covr", png, 14) + Mp4Item("\xA9nam", "t")), png},
  };
  for (const Pic& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format));
    MemorySource src(c.bytes);
    SongTags tags;
    std::string picture = "untouched";
    ReadTagsOfFormat(c.format, src, &tags, &picture, false);
    EXPECT_EQ(picture, "untouched");
    ReadTagsOfFormat(c.format, src, &tags, &picture, true);
    EXPECT_EQ(picture, c.want);
  }
}

// Reads through, and checks on, every request a reader makes.
class WatchedSource : public ByteSource {
 public:
  WatchedSource(std::string head, uint64_t size, std::string tail = "")
      : head_(std::move(head)), tail_(std::move(tail)), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, size_t n, std::string* out) override {
    ++reads;
    if (offset > size_ || n > size_ - offset) return false;
    EXPECT_LE(n, size_);
    bytes += n;
    out->assign(n, '\0');
    for (size_t i = 0; i < n; ++i) {
      const uint64_t at = offset + i, tail_at = size_ - tail_.size();
      if (at < head_.size()) (*out)[i] = head_[at];
      if (at >= tail_at) (*out)[i] = tail_[at - tail_at];
    }
    return true;
  }
  uint64_t reads = 0, bytes = 0;

 private:
  std::string head_, tail_;
  uint64_t size_;
};

SongTags ReadAll(ByteSource& src, TagFormat format) {
  SongTags tags;
  std::string picture;
  ReadTagsOfFormat(format, src, &tags, &picture, true);
  for (int i = 0; i < SongTags::kFieldCount; ++i) EXPECT_TRUE(IsValidUtf8(tags.Field(i)));
  return tags;
}

// Every case cut short at every length and with absurd sizes written over it, read by
// every reader: never a read past the end, never more requests than the bytes can
// justify, always valid text.
TEST(ReaderTest, DamagedBytesStayWithinTheSource) {
  const std::string absurd[] = {BE32(0xFFFFFFFF), BE32(0x7FFFFFFF), BE32(0), BE32(1),
                                LE32(0x80000000)};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    for (size_t cut = 0; cut <= c.bytes.size(); cut += cut < 400 ? 1 : 13) {
      for (int f = 1; f <= 6; ++f) {
        WatchedSource src(c.bytes.substr(0, cut), cut);
        ReadAll(src, static_cast<TagFormat>(f));
        ASSERT_LE(src.reads, 4 * cut + 64);
      }
    }
    for (size_t at = 0; at + 4 <= c.bytes.size() && at < 600; ++at) {
      std::string b = c.bytes;
      b.replace(at, 4, absurd[at % 5]);
      WatchedSource src(b, b.size());
      ReadAll(src, c.format);
      ASSERT_LE(src.reads, 4 * b.size() + 64);
    }
  }
}

// The media data is never read, however large: a 4 GB mdat before moov, a 2 GB file of
// zeros after an ID3v2 header claiming 256 MB, an APE footer claiming 4 GB.
TEST(ReaderTest, HugeFilesAreReadByTheirHeadersOnly) {
  const std::string moov = Mp4File(Mp4Item("\xA9nam", "far")).substr(24);
  const std::string head =
      Atom("ftyp", "M4A ") + BE32(1) + "mdat" + "\x00\x00\x00\x01\x00\x00\x00\x10"s;
  WatchedSource m4a(head, 12 + 0x100000010ull + moov.size(), moov);
  EXPECT_EQ(ReadAll(m4a, TagFormat::kMp4).Title, "far");
  std::string ape = ApeTag({{"Title", "ape"}});
  ape.replace(ape.size() - 20, 4, LE32(0xFFFFFFFF));
  WatchedSource mp3("ID3\x04\x00\x00\x7F\x7F\x7F\x7F"s, 2ull << 30, ape);
  ReadAll(mp3, TagFormat::kMp3);
  for (const WatchedSource* s : {&m4a, &mp3}) EXPECT_LT(s->bytes, 128u << 10);
}

}  // namespace
}  // namespace lirotag
