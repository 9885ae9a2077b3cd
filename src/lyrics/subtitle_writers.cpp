// The cue model written as SRT, WebVTT, ASS karaoke and TTML.

#include <algorithm>
#include <cstdio>

#include "lyrics/subtitles.h"

namespace lirotag {

namespace {

// "H:MM:SS" then the fraction after `point`, `digits` long (3: milliseconds, 2:
// centiseconds, the value then already in centiseconds); at least `hourDigits` digits of
// hours.
std::string Clock(int64_t value, int digits, char point, int hourDigits) {
  const int64_t perSecond = digits == 3 ? 1000 : 100;
  const int64_t seconds = value / perSecond;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0*lld:%02lld:%02lld%c%0*lld", hourDigits,
                static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                static_cast<long long>(seconds % 60), point, digits,
                static_cast<long long>(value % perSecond));
  return buf;
}

std::string SrtTime(int64_t ms) {
  return Clock(ms, 3, ',', 2);
}
std::string VttTime(int64_t ms) {
  return Clock(ms, 3, '.', 2);
}
// ASS counts centiseconds; the nearest one, so that a time in thousandths moves by at
// most 5 ms and every boundary is rounded once.
int64_t Centis(int64_t ms) {
  return (ms + 5) / 10;
}
std::string AssTime(int64_t cs) {
  return Clock(cs, 2, '.', 1);
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t nl; (nl = text.find('\n', from)) != std::string_view::npos; from = nl + 1)
    out.emplace_back(text.substr(from, nl - from));
  out.emplace_back(text.substr(from));
  return out;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string WriteSrt(const SubtitleTrack& track) {
  std::string out;
  int n = 0;
  for (const SubtitleCue& cue : track.cues) {
    out += std::to_string(++n) + "\r\n" + SrtTime(cue.start) + " --> " + SrtTime(cue.end) + "\r\n";
    for (const std::string& line : Lines(cue.text)) {
      if (!line.empty()) out += line + "\r\n";  // an empty line would end the cue
    }
    out += "\r\n";
  }
  return out;
}

std::string WriteVtt(const SubtitleTrack& track) {
  std::string out = "WEBVTT\n\n";
  // The header lines as the lyric has them; a note may not hold "-->".
  std::string note;
  for (const auto& [key, value] :
       {std::pair{"[ti:", &track.title}, std::pair{"[ar:", &track.artist},
        std::pair{"[al:", &track.album}}) {
    std::string v = *value;
    for (size_t at; (at = v.find("-->")) != std::string::npos;) v.replace(at, 3, "->");
    if (!v.empty()) note += key + v + "]\n";
  }
  if (!note.empty()) out += "NOTE\n" + note + "\n";
  for (const SubtitleCue& cue : track.cues) {
    out += VttTime(cue.start) + " --> " + VttTime(cue.end) + "\n";
    std::string payload;
    if (cue.syllables.empty()) {
      payload = XmlEscape(cue.text);
    } else {
      // A timestamp must lie after the cue's start and every earlier one, and before
      // its end; a word that shares its start with the one before needs none.
      int64_t last = cue.start;
      for (const Syllable& s : cue.syllables) {
        if (s.start > last && s.start < cue.end) {
          payload += "<" + VttTime(s.start) + ">";
          last = s.start;
        }
        payload += XmlEscape(s.text);
      }
    }
    for (const std::string& line : Lines(payload)) {
      if (!line.empty()) out += line + "\n";
    }
    out += "\n";
  }
  return out;
}

// Text as ASS shows it: braces would open an override block and a backslash before n, N
// or h would break the line, so they become their full-width forms.
std::string AssText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '{') {
      out += "\xEF\xBD\x9B";  // ｛
    } else if (c == '}') {
      out += "\xEF\xBD\x9D";  // ｝
    } else if (c == '\\' && i + 1 < text.size() &&
               (text[i + 1] == 'n' || text[i + 1] == 'N' || text[i + 1] == 'h')) {
      out += "\xEF\xBC\xBC";  // ＼
    } else if (c == '\n') {
      out += "\\N";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

std::string WriteAss(const SubtitleTrack& track) {
  std::string out =
      "[Script Info]\r\n"
      "; Karaoke lyrics: each word fills from the second colour to the first as it is sung.\r\n";
  if (!track.title.empty()) out += "Title: " + AssText(track.title) + "\r\n";
  out +=
      "ScriptType: v4.00+\r\n"
      "WrapStyle: 0\r\n"
      "ScaledBorderAndShadow: yes\r\n"
      "YCbCr Matrix: None\r\n"
      "PlayResX: 1920\r\n"
      "PlayResY: 1080\r\n"
      "\r\n"
      "[V4+ Styles]\r\n"
      "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
      "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
      "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
      // Sung text gold, the text still to sing white, both outlined in black.
      "Style: Karaoke,Noto Sans CJK SC,72,&H0000C8FF,&H00FFFFFF,&H00000000,&H80000000,"
      "-1,0,0,0,100,100,0,0,1,4,2,2,80,80,90,1\r\n"
      "\r\n"
      "[Events]\r\n"
      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n";
  for (const SubtitleCue& cue : track.cues) {
    const int64_t start = Centis(cue.start);
    const int64_t end = std::max(start, Centis(cue.end));
    std::string text;
    if (cue.syllables.empty()) {
      text = AssText(cue.text);
    } else {
      // Each boundary rounded once, so the durations add up to the cue's length.
      int64_t at = start;
      const auto fill = [&](int64_t until, std::string_view syllable) {
        until = std::clamp(until, at, end);
        text += "{\\kf" + std::to_string(until - at) + "}" + AssText(syllable);
        at = until;
      };
      const int64_t first = Centis(cue.syllables.front().start);
      if (first > start) fill(first, "");  // the words start after the line's tag
      for (size_t i = 0; i < cue.syllables.size(); ++i) {
        at = std::clamp(Centis(cue.syllables[i].start), at, end);
        const int64_t next =
            i + 1 < cue.syllables.size() ? Centis(cue.syllables[i + 1].start) : end;
        fill(next, cue.syllables[i].text);
      }
    }
    out +=
        "Dialogue: 0," + AssTime(start) + "," + AssTime(end) + ",Karaoke,,0,0,0,," + text + "\r\n";
  }
  return out;
}

std::string WriteTtml(const SubtitleTrack& track) {
  const bool words = std::any_of(track.cues.begin(), track.cues.end(),
                                 [](const SubtitleCue& c) { return !c.syllables.empty(); });
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\" "
      "xmlns:itunes=\"http://music.apple.com/lyric-ttml-internal\" itunes:timing=\"";
  out += words ? "Word" : "Line";
  out += "\">\n  <head>\n    <metadata>\n";
  if (!track.title.empty()) out += "      <ttm:title>" + XmlEscape(track.title) + "</ttm:title>\n";
  if (!track.artist.empty()) {
    out += "      <ttm:agent type=\"person\" xml:id=\"artist\"><ttm:name type=\"full\">" +
           XmlEscape(track.artist) + "</ttm:name></ttm:agent>\n";
  }
  if (!track.album.empty())
    out += "      <ttm:item name=\"album\">" + XmlEscape(track.album) + "</ttm:item>\n";
  out += "    </metadata>\n  </head>\n  <body>\n    <div>\n";
  const auto time = [](int64_t ms) { return VttTime(ms); };  // hh:mm:ss.fff, a TTML clock time
  for (const SubtitleCue& cue : track.cues) {
    out += "      <p begin=\"" + time(cue.start) + "\" end=\"" + time(cue.end) + "\">";
    std::string body;
    if (cue.syllables.empty()) {
      body = XmlEscape(cue.text);
    } else {
      for (size_t i = 0; i < cue.syllables.size(); ++i) {
        const Syllable& s = cue.syllables[i];
        if (s.text.empty()) continue;  // a pause: the word before ends at its start
        const int64_t end = i + 1 < cue.syllables.size() ? cue.syllables[i + 1].start : cue.end;
        // Spaces after a word go between the spans, where a reader keeps them.
        std::string_view text = s.text;
        size_t spaces = 0;
        while (spaces < text.size() && text[text.size() - 1 - spaces] == ' ') ++spaces;
        text.remove_suffix(spaces);
        body += "<span begin=\"" + time(s.start) + "\" end=\"" + time(end) + "\">" +
                XmlEscape(text) + "</span>" + (spaces ? " " : "");
      }
    }
    std::vector<std::string> lines = Lines(body);
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "<br/>" : "") + lines[i];
    out += "</p>\n";
  }
  out += "    </div>\n  </body>\n</tt>\n";
  return out;
}

}  // namespace

std::string WriteSubtitles(const SubtitleTrack& track, SubtitleFormat format) {
  switch (format) {
    case SubtitleFormat::kSrt:
      return WriteSrt(track);
    case SubtitleFormat::kWebVtt:
      return WriteVtt(track);
    case SubtitleFormat::kAss:
      return WriteAss(track);
    case SubtitleFormat::kTtml:
      return WriteTtml(track);
  }
  return {};
}

}  // namespace lirotag
