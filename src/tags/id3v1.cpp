#include "tags/id3v1.h"

#include <array>

namespace lirotag {

namespace {

constexpr std::array<const char*, 148> kGenres = {"Blues",
                                                  "Classic Rock",
                                                  "Country",
                                                  "Dance",
                                                  "Disco",
                                                  "Funk",
                                                  "Grunge",
                                                  "Hip-Hop",
                                                  "Jazz",
                                                  "Metal",
                                                  "New Age",
                                                  "Oldies",
                                                  "Other",
                                                  "Pop",
                                                  "R&B",
                                                  "Rap",
                                                  "Reggae",
                                                  "Rock",
                                                  "Techno",
                                                  "Industrial",
                                                  "Alternative",
                                                  "Ska",
                                                  "Death Metal",
                                                  "Pranks",
                                                  "Soundtrack",
                                                  "Euro-Techno",
                                                  "Ambient",
                                                  "Trip Hop",
                                                  "Vocal",
                                                  "Jazz+Funk",
                                                  "Fusion",
                                                  "Trance",
                                                  "Classical",
                                                  "Instrumental",
                                                  "Acid",
                                                  "House",
                                                  "Game",
                                                  "Sound Clip",
                                                  "Gospel",
                                                  "Noise",
                                                  "Alt. Rock",
                                                  "Bass",
                                                  "Soul",
                                                  "Punk",
                                                  "Space",
                                                  "Meditative",
                                                  "Instrumental Pop",
                                                  "Instrumental Rock",
                                                  "Ethnic",
                                                  "Gothic",
                                                  "Darkwave",
                                                  "Techno-Industrial",
                                                  "Electronic",
                                                  "Pop-Folk",
                                                  "Eurodance",
                                                  "Dream",
                                                  "Southern Rock",
                                                  "Comedy",
                                                  "Cult",
                                                  "Gangsta Rap",
                                                  "Top 40",
                                                  "Christian Rap",
                                                  "Pop/Punk",
                                                  "Jungle",
                                                  "Native American",
                                                  "Cabaret",
                                                  "New Wave",
                                                  "Phychedelic",
                                                  "Rave",
                                                  "Showtunes",
                                                  "Trailer",
                                                  "Lo-Fi",
                                                  "Tribal",
                                                  "Acid Punk",
                                                  "Acid Jazz",
                                                  "Polka",
                                                  "Retro",
                                                  "Musical",
                                                  "Rock & Roll",
                                                  "Hard Rock",
                                                  "Folk",
                                                  "Folk/Rock",
                                                  "National Folk",
                                                  "Swing",
                                                  "Fast-Fusion",
                                                  "Bebob",
                                                  "Latin",
                                                  "Revival",
                                                  "Celtic",
                                                  "Blue Grass",
                                                  "Avantegarde",
                                                  "Gothic Rock",
                                                  "Progressive Rock",
                                                  "Psychedelic Rock",
                                                  "Symphonic Rock",
                                                  "Slow Rock",
                                                  "Big Band",
                                                  "Chorus",
                                                  "Easy Listening",
                                                  "Acoustic",
                                                  "Humour",
                                                  "Speech",
                                                  "Chanson",
                                                  "Opera",
                                                  "Chamber Music",
                                                  "Sonata",
                                                  "Symphony",
                                                  "Booty Bass",
                                                  "Primus",
                                                  "Porn Groove",
                                                  "Satire",
                                                  "Slow Jam",
                                                  "Club",
                                                  "Tango",
                                                  "Samba",
                                                  "Folklore",
                                                  "Ballad",
                                                  "power Ballad",
                                                  "Rhythmic Soul",
                                                  "Freestyle",
                                                  "Duet",
                                                  "Punk Rock",
                                                  "Drum Solo",
                                                  "A Capella",
                                                  "Euro-House",
                                                  "Dance Hall",
                                                  "Goa",
                                                  "Drum & Bass",
                                                  "Club-House",
                                                  "Hardcore",
                                                  "Terror",
                                                  "indie",
                                                  "Brit Pop",
                                                  "Negerpunk",
                                                  "Polsk Punk",
                                                  "Beat",
                                                  "Christian Gangsta Rap",
                                                  "Heavy Metal",
                                                  "Black Metal",
                                                  "Crossover",
                                                  "Comteporary Christian",
                                                  "Christian Rock",
                                                  "Merengue",
                                                  "Salsa",
                                                  "Trash Metal",
                                                  "Anime",
                                                  "JPop",
                                                  "Synth Pop"};

// Trims the ASCII space and U+3000, the ideographic space GBK writes as A1 A1.
std::string Trimmed(std::string s) {
  constexpr std::string_view kIdeo = "\xE3\x80\x80";
  size_t b = 0, e = s.size();
  for (;;) {
    if (b < e && s[b] == ' ') {
      ++b;
    } else if (e - b >= 3 && std::string_view(s).substr(b, 3) == kIdeo) {
      b += 3;
    } else {
      break;
    }
  }
  for (;;) {
    if (e > b && s[e - 1] == ' ') {
      --e;
    } else if (e - b >= 3 && std::string_view(s).substr(e - 3, 3) == kIdeo) {
      e -= 3;
    } else {
      break;
    }
  }
  return s.substr(b, e - b);
}

}  // namespace

std::string GenreName(int number) {
  if (number < 0 || number >= static_cast<int>(kGenres.size())) return {};
  return kGenres[number];
}

bool ReadId3v1(ByteSource& src, SongTags* tags) {
  std::string b;
  if (src.Size() < 128 || !src.ReadAt(src.Size() - 128, 128, &b) || b.compare(0, 3, "TAG") != 0)
    return false;
  const std::string_view v(b);
  // A field without a NUL filled its 30 bytes, and writers cut a longer GBK text there
  // even in the middle of a character.
  auto text = [&](size_t at, size_t n) {
    const std::string_view field = v.substr(at, n);
    return Trimmed(LegacyTagText(field, field.find('\0') == std::string_view::npos));
  };
  SongTags t;
  t.Title = text(3, 30);
  t.Artist = text(33, 30);
  t.Album = text(63, 30);
  t.Year = text(93, 4);
  // ID3v1.1: a zero at comment byte 28 turns byte 29 into the track number.
  if (v[97 + 28] == '\0') {
    t.Comment = text(97, 29);
    // Track 0 does not exist: it is a version 1.0 comment's padding.
    if (const auto track = static_cast<unsigned char>(v[97 + 29])) t.Track = std::to_string(track);
  } else {
    t.Comment = text(97, 30);
  }
  t.Genre = GenreName(static_cast<unsigned char>(v[127]));
  *tags = std::move(t);
  return true;
}

bool ReadId3v1(const std::string& path, SongTags* tags) {
  return WithFileSource(path, [&](ByteSource& src) { return ReadId3v1(src, tags); });
}

}  // namespace lirotag
