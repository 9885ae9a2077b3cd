// Writes seed inputs for the fuzzers into DIR/<reader>/: the shapes the tests build,
// each format's tag with text, numbers and a picture, and each subtitle format and a
// timed lyric.

#include <filesystem>
#include <fstream>

#include "tag_bytes.h"

int main(int argc, char** argv) {
  using namespace lirotag::testing;
  namespace fs = std::filesystem;
  if (argc != 2) return 2;
  const fs::path dir = argv[1];
  const std::string jpeg = FakeJpeg(), png = FakePng();
  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"id3v2", Id3Tag(Id3Frame("TIT2", Id3Text(1, "\xFF\xFE" + U16("标题"))) +
                       Id3Frame("COMM", Id3Text(0, std::string("eng\0c", 5))) +
                       Id3Frame("APIC", Apic("image/jpeg", 3, "d", jpeg)))},
      {"id3v2",
       Id3Tag(Id3Frame("TIT2", Id3Text(3, "t"), 4) + Id3Frame("TDRC", Id3Text(3, "2001"), 4), 4,
              0x40)},
      {"id3v1", Id3v1("title", "artist", "album", "2001", "comment", 3, 17)},
      {"ape", ApeTag({{"Title", "a"}, {"Artist", "b"}}) + Id3v1("t", "", "", "", "", 0, 1)},
      {"asf",
       AsfFile({"t", "a", "", "d", ""},
               {{"WM/AlbumTitle", 0, AsfText("al")},
                {"WM/TrackNumber", 3, LE32(7)},
                {"WM/Picture", 1, "\x03" + LE32(64) + AsfText("image/png") + AsfText("") + png}})},
      {"mp4", Mp4File(Mp4Item("\xA9nam", "t") +
                      Mp4Item("trkn", std::string("\0\0\0\x03\0\x0C\0\0", 8), 0) +
                      Mp4Freeform("LYRICS", "l") + Mp4Item("covr", png, 14))},
      {"flac", FlacFile({{4, VorbisBody({"TITLE=a", "DATE=2001"})},
                         {6, FlacPicture(3, "image/png", png)}})},
      {"ogg", OggVorbis({"TITLE=a", "ARTIST=" + std::string(600, 'b')}, 2)},
      {"id3v2", Id3Tag(Id3Frame22("TT2", Id3Text(0, "\xD0\xA6")) +
                           Id3Frame22("PIC", std::string("\0PNG\x03\0", 6) + png),
                       2)},
      {"id3v1", Id3v1("\xD6\xDC\xBD\xDC\xC2\xD7 C\xE9line Don\x92t", "", "", "", "", 0, 1)},
      {"flac", Id3Tag(Id3Frame("TPE1", Id3Text(0, "a"))) +
                   FlacFile({{4, VorbisBody({"TITLE=a", "DATE=2001"}, 3)}})},
      {"ogg",
       OggOpus({"TITLE=a", "METADATA_BLOCK_PICTURE=" + Base64(FlacPicture(3, "image/png", png))})},
      {"ogg", OggFlac({{4, VorbisBody({"TITLE=a"})}, {6, FlacPicture(3, "image/png", png)}})},
      {"subtitles", "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>a</i> b\r\nc\r\n"},
      {"subtitles",
       "WEBVTT\n\nNOTE\n[ti:t]\n\n00:01.000 --> 00:02.000 align:start\n"
       "<v x>a<00:00:01.500>b &amp; <ruby>c<rt>d</rt></ruby>\n"},
      {"subtitles",
       "[Script Info]\nTitle: t\n[Events]\nFormat: Layer, Start, End, Style, Name, "
       "MarginL, MarginR, MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:04.00,"
       "D,,0,0,0,,{\\k50}a{\\kf20}b\\Nc{\\ko10}\n"},
      {"subtitles",
       "<tt><head><metadata><title>t</title></metadata></head><body><div "
       "begin=\"5s\"><p begin=\"1s\" end=\"3s\"><span begin=\"0.5s\" "
       "end=\"1s\">a<br/>b</span> <span begin=\"1s\">c</span></p></div></body></tt>"},
      {"subtitles",
       "[ti:t]\r\n[00:01.00]<00:01.00>a<00:01.50>b\r\n[00:02.00][00:20.00]c\r\n"
       "[00:05.00]\r\n[offset:300]\r\n"},
  };
  int n = 0;
  for (const auto& [reader, bytes] : seeds) {
    fs::create_directories(dir / reader);
    std::ofstream(dir / reader / ("seed" + std::to_string(n++)), std::ios::binary) << bytes;
  }
  return 0;
}
