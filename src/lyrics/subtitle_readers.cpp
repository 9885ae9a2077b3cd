// SRT, WebVTT, ASS/SSA and TTML read into the cue model: the text and its timing, no
// styling. Readers are forgiving: a damaged block is skipped, the rest still read.

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "files/ascii.h"
#include "lyrics/subtitles.h"
#include "lyrics/xml_tree.h"

namespace lirotag {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view TrimAscii(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t from = 0;
  for (size_t nl; (nl = text.find('\n', from)) != std::string_view::npos; from = nl + 1) {
    std::string_view line = text.substr(from, nl - from);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  if (from < text.size()) {
    std::string_view line = text.substr(from);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

// "[h…:]mm:ss[.,]f…" (SRT, WebVTT, ASS, TTML clock times) in milliseconds; the fraction
// is a decimal fraction of a second whatever its length ("12.48" is 12480). Fields are
// whole numbers; none when the text is anything else.
std::optional<int64_t> ParseClock(std::string_view s) {
  s = TrimAscii(s);
  std::vector<int64_t> fields;
  size_t i = 0;
  while (true) {
    const size_t from = i;
    int64_t v = 0;
    while (i < s.size() && IsDigit(s[i]) && i - from < 12) v = v * 10 + (s[i++] - '0');
    if (i == from) return std::nullopt;
    fields.push_back(v);
    if (i < s.size() && s[i] == ':' && fields.size() < 3) {
      ++i;
      continue;
    }
    break;
  }
  if (fields.size() < 2) return std::nullopt;
  int64_t ms = 0;
  for (int64_t f : fields) ms = ms * 60 + f;
  ms *= 1000;
  if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
    ++i;
    int64_t part = 0, digits = 0;
    // Four digits read, so that a longer fraction rounds to the nearest millisecond.
    while (i < s.size() && IsDigit(s[i])) {
      if (digits < 4) {
        part = part * 10 + (s[i] - '0');
        ++digits;
      }
      ++i;
    }
    if (digits == 0) return std::nullopt;
    int64_t div = 1;
    for (int d = 0; d < digits; ++d) div *= 10;
    ms += (part * 1000 * 2 + div) / (div * 2);
  }
  if (i != s.size()) return std::nullopt;
  return ms;
}

// "start --> end": the part after the end time (cue settings, SRT coordinates) ignored.
bool ParseTiming(std::string_view line, SubtitleCue* cue) {
  const size_t arrow = line.find("-->");
  if (arrow == std::string_view::npos) return false;
  std::string_view after = TrimAscii(line.substr(arrow + 3));
  const size_t space = after.find_first_of(" \t");
  const auto start = ParseClock(line.substr(0, arrow));
  const auto end = ParseClock(after.substr(0, space));
  if (!start || !end) return false;
  cue->start = *start;
  cue->end = std::max(*start, *end);
  return true;
}

// The text of a cue with its markup dropped: "<…>" tags (HTML-like, as SRT and WebVTT
// use them) and "{…}" blocks (ASS overrides that SRT files carry). With `timestamps`
// (WebVTT) a "<hh:mm:ss.fff>" tag starts a syllable and ruby annotations are dropped.
void ReadMarkedText(std::string_view text, bool webvtt, SubtitleCue* cue) {
  std::string current;
  int64_t currentStart = cue->start;
  bool timed = false;
  const auto flush = [&](int64_t nextStart) {
    if (webvtt) {
      // Character references decoded once the tags are gone; the direction marks go.
      for (std::string_view mark : {"&lrm;", "&rlm;"}) {
        for (size_t at; (at = current.find(mark)) != std::string::npos;)
          current.erase(at, mark.size());
      }
      current = DecodeXmlReferences(current);
    }
    cue->syllables.push_back({currentStart, current});
    cue->text += current;
    current.clear();
    currentStart = nextStart;
  };
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '<') {
      const size_t gt = text.find('>', i);
      const std::string_view inner =
          gt == std::string_view::npos ? std::string_view() : text.substr(i + 1, gt - i - 1);
      const bool isTag = !inner.empty() &&
                         (inner[0] == '/' || std::isalpha(static_cast<unsigned char>(inner[0])) ||
                          (webvtt && IsDigit(inner[0])));
      if (!isTag) {
        current += c;
        ++i;
        continue;
      }
      if (webvtt && IsDigit(inner[0])) {
        if (const auto at = ParseClock(inner)) {
          flush(std::clamp(*at, std::max(currentStart, cue->start), cue->end));
          timed = true;
        }
      } else if (webvtt && (inner == "rt" || inner.substr(0, 3) == "rt ")) {
        const size_t close = text.find("</rt>", gt);
        i = close == std::string_view::npos ? text.size() : close + 5;
        continue;
      }
      i = gt + 1;
    } else if (c == '{' && !webvtt && text.substr(i, 2) == "{\\" &&
               text.find('}', i) != std::string_view::npos) {
      i = text.find('}', i) + 1;
    } else {
      current += c;
      ++i;
    }
  }
  flush(0);
  if (!timed) cue->syllables.clear();
}

// SRT and WebVTT share their shape: blocks separated by blank lines, a timing line, then
// the text. WebVTT adds a header and NOTE, STYLE and REGION blocks.
std::vector<SubtitleCue> ReadBlocks(std::string_view text, bool webvtt, SubtitleTrack* track) {
  const std::vector<std::string_view> lines = SplitLines(text);
  std::vector<SubtitleCue> cues;
  size_t i = 0;
  if (webvtt && !lines.empty() && lines[0].substr(0, 6) == "WEBVTT") {
    while (i < lines.size() && !TrimAscii(lines[i]).empty()) ++i;  // the header block
  }
  while (i < lines.size()) {
    if (TrimAscii(lines[i]).empty()) {
      ++i;
      continue;
    }
    if (webvtt && (lines[i].substr(0, 4) == "NOTE" || lines[i] == "STYLE" ||
                   lines[i].substr(0, 6) == "REGION")) {
      const bool note = lines[i].substr(0, 4) == "NOTE";
      for (; i < lines.size() && !TrimAscii(lines[i]).empty(); ++i) {
        // Header lines of a lyric kept in a note, as Lirotag writes them.
        const std::string_view l = TrimAscii(lines[i]);
        if (!note || l.size() < 5 || l[0] != '[' || l[3] != ':' || l.back() != ']') continue;
        const std::string value(l.substr(4, l.size() - 5));
        if (StartsWithNoCase(l, "[ti:")) track->title = value;
        if (StartsWithNoCase(l, "[ar:")) track->artist = value;
        if (StartsWithNoCase(l, "[al:")) track->album = value;
      }
      continue;
    }
    // The timing line, after an optional identifier (the SRT number).
    SubtitleCue cue;
    size_t at = i;
    bool found = ParseTiming(lines[at], &cue);
    if (!found && at + 1 < lines.size() && !TrimAscii(lines[at + 1]).empty()) {
      ++at;
      found = ParseTiming(lines[at], &cue);
    }
    if (!found) {  // not a cue: skip the block
      while (i < lines.size() && !TrimAscii(lines[i]).empty()) ++i;
      continue;
    }
    i = at + 1;
    std::string payload;
    for (; i < lines.size() && !TrimAscii(lines[i]).empty(); ++i) {
      if (!payload.empty()) payload += '\n';
      payload += lines[i];
    }
    ReadMarkedText(payload, webvtt, &cue);
    cues.push_back(std::move(cue));
  }
  return cues;
}

// ASS override blocks: \k, \K, \kf, \ko time the syllable after them (centiseconds);
// \N breaks the line, \n and \h are spaces; everything else is styling.
void ReadAssText(std::string_view text, SubtitleCue* cue) {
  std::string current;
  int64_t currentStart = cue->start;
  int64_t next = cue->start;  // where the syllable after the next \k starts
  bool timed = false;
  const auto flush = [&] {
    if (!current.empty() || !cue->syllables.empty() || currentStart > cue->start)
      cue->syllables.push_back({std::min(currentStart, cue->end), current});
    cue->text += current;
    current.clear();
  };
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '{') {
      const size_t close = text.find('}', i);
      if (close == std::string_view::npos) {
        current += text.substr(i);
        break;
      }
      const std::string_view block = text.substr(i + 1, close - i - 1);
      for (size_t k = block.find('\\'); k != std::string_view::npos; k = block.find('\\', k + 1)) {
        std::string_view tag = block.substr(k + 1);
        if (tag.empty() || (tag[0] != 'k' && tag[0] != 'K')) continue;
        tag.remove_prefix(1);
        if (!tag.empty() && (tag[0] == 'f' || tag[0] == 'o')) tag.remove_prefix(1);
        if (tag.empty() || !IsDigit(tag[0])) continue;
        int64_t cs = 0;
        for (size_t d = 0; d < tag.size() && IsDigit(tag[d]) && d < 9; ++d)
          cs = cs * 10 + (tag[d] - '0');
        flush();
        currentStart = next;
        next += cs * 10;
        timed = true;
      }
      i = close + 1;
    } else if (c == '\\' && i + 1 < text.size() &&
               (text[i + 1] == 'N' || text[i + 1] == 'n' || text[i + 1] == 'h')) {
      current += text[i + 1] == 'N' ? '\n' : ' ';
      i += 2;
    } else {
      current += c;
      ++i;
    }
  }
  flush();
  if (!timed) {
    cue->syllables.clear();
    return;
  }
  // The singing stops before the cue ends: the lyric's end word tag.
  if (!cue->syllables.back().text.empty() && next < cue->end) cue->syllables.push_back({next, ""});
}

std::vector<std::string_view> SplitFields(std::string_view line, size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) break;
    fields.push_back(TrimAscii(line.substr(0, comma)));
    line.remove_prefix(comma + 1);
  }
  fields.push_back(line);
  return fields;
}

std::vector<SubtitleCue> ReadAss(std::string_view text, SubtitleTrack* track) {
  std::vector<SubtitleCue> cues;
  std::string section;
  std::vector<std::string> format = {"layer",   "start",   "end",     "style",  "name",
                                     "marginl", "marginr", "marginv", "effect", "text"};
  for (std::string_view line : SplitLines(text)) {
    line = TrimAscii(line);
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      section = std::string(line.substr(1, line.size() - 2));
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = TrimAscii(line.substr(0, colon));
    const std::string_view value = TrimAscii(line.substr(colon + 1));
    if (EqualsNoCase(section, "Script Info") && EqualsNoCase(key, "Title")) {
      track->title = std::string(value);
    } else if (EqualsNoCase(section, "Events") && EqualsNoCase(key, "Format")) {
      format.clear();
      for (std::string_view f : SplitFields(value, 64)) {
        std::string name(TrimAscii(f));
        for (char& ch : name) ch = AsciiLower(ch);
        format.push_back(std::move(name));
      }
    } else if (EqualsNoCase(section, "Events") && EqualsNoCase(key, "Dialogue")) {
      const std::vector<std::string_view> fields = SplitFields(value, format.size());
      if (fields.size() != format.size() || format.back() != "text") continue;
      SubtitleCue cue;
      std::optional<int64_t> start, end;
      for (size_t f = 0; f < format.size(); ++f) {
        if (format[f] == "start") start = ParseClock(fields[f]);
        if (format[f] == "end") end = ParseClock(fields[f]);
      }
      if (!start || !end) continue;
      cue.start = *start;
      cue.end = std::max(*start, *end);
      ReadAssText(fields.back(), &cue);
      cues.push_back(std::move(cue));
    }
  }
  return cues;
}

// TTML times: clock times ("00:01:05.000", and the "1:05.000" and "65.000" that lyric
// files use) or offsets with a metric ("65s", "650ms", "1.5m", "30f", "1000t").
std::optional<int64_t> ParseTtmlTime(std::string_view s, double frameRate, double tickRate) {
  s = TrimAscii(s);
  if (s.empty()) return std::nullopt;
  if (auto clock = ParseClock(s)) return clock;
  size_t unitAt = 0;
  while (unitAt < s.size() && (IsDigit(s[unitAt]) || s[unitAt] == '.')) ++unitAt;
  if (unitAt == 0) return std::nullopt;
  const std::string number(s.substr(0, unitAt));
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size()) return std::nullopt;
  const std::string_view unit = s.substr(unitAt);
  double seconds;
  if (unit.empty() || unit == "s") {
    seconds = value;
  } else if (unit == "ms") {
    seconds = value / 1000;
  } else if (unit == "m") {
    seconds = value * 60;
  } else if (unit == "h") {
    seconds = value * 3600;
  } else if (unit == "f") {
    seconds = value / frameRate;
  } else if (unit == "t") {
    seconds = value / tickRate;
  } else {
    return std::nullopt;
  }
  if (!(seconds >= 0 && seconds < 1e9)) return std::nullopt;
  return static_cast<int64_t>(seconds * 1000 + 0.5);
}

struct TtmlContext {
  double frameRate = 30;
  double tickRate = 1;
};

struct Interval {
  std::optional<int64_t> begin, end;
};

Interval TimesOf(const XmlNode& node, const TtmlContext& ctx) {
  Interval t;
  const auto parse = [&ctx](const std::string* text) -> std::optional<int64_t> {
    if (!text) return std::nullopt;
    return ParseTtmlTime(*text, ctx.frameRate, ctx.tickRate);
  };
  t.begin = parse(node.Attribute("begin"));
  t.end = parse(node.Attribute("end"));
  if (!t.end) {
    if (const auto dur = parse(node.Attribute("dur"))) t.end = t.begin.value_or(0) + *dur;
  }
  return t;
}

// What the times of `parent`'s children count from. The standard counts them from the
// parent's begin; lyric files written for music players count every time from the
// song's start, with parents that begin no later than their children. Children that
// begin before their parent are read the standard way, others from the song's start.
int64_t ChildBase(const XmlNode& parent, int64_t parentBegin, const TtmlContext& ctx) {
  if (parentBegin == 0) return 0;
  for (const XmlNode& child : parent.children) {
    if (child.IsText()) continue;
    const Interval t = TimesOf(child, ctx);
    if (t.begin && *t.begin < parentBegin) return parentBegin;
  }
  return 0;
}

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A paragraph's text as pieces: each timed span starts one, and what follows a span's
// end up to the next span is sung from that end.
struct PieceWalk {
  const TtmlContext& ctx;
  std::vector<Syllable> pieces{{0, ""}};
  bool timed = false;
  int64_t latest = 0;

  char last = '\n';  // the last character kept; a line's start keeps no space

  void Text(std::string_view text) {
    for (char c : text) {
      if (!IsXmlSpace(c)) {
        pieces.back().text += c;
        last = c;
      } else if (last != ' ' && last != '\n') {
        pieces.back().text += ' ';  // a run of XML white space is one space
        last = ' ';
      }
    }
  }
  void Walk(const XmlNode& node, int64_t base) {
    for (const XmlNode& child : node.children) {
      if (child.IsText()) {
        Text(child.text);
        continue;
      }
      if (child.name == "br") {
        pieces.back().text += '\n';
        last = '\n';
        continue;
      }
      // Metadata and animation are not shown; translations and romanisations that some
      // files put beside the words are no part of the sung line.
      if (child.name == "metadata" || child.name == "set" || child.name == "animate") continue;
      if (const std::string* role = child.Attribute("role");
          role && (*role == "x-translation" || *role == "x-roman")) {
        continue;
      }
      const Interval t = TimesOf(child, ctx);
      if (child.name != "span" || !t.begin) {
        Walk(child, base);
        continue;
      }
      const int64_t begin = *t.begin + base;
      pieces.push_back({begin, ""});
      timed = true;
      latest = std::max(latest, begin);
      Walk(child, ChildBase(child, begin, ctx));
      if (t.end) {
        pieces.push_back({*t.end + base, ""});
        latest = std::max(latest, *t.end + base);
      }
    }
  }
};

// Pieces of white space join the word before them; empty ones go, except a last one
// that ends the singing before the cue does.
std::vector<Syllable> Tidy(std::vector<Syllable> pieces, const SubtitleCue& cue) {
  std::vector<Syllable> out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    Syllable& p = pieces[i];
    const bool blank = p.text.find_first_not_of(" \n") == std::string::npos;
    const bool last = i + 1 == pieces.size();
    if (blank && !out.empty()) {
      out.back().text += p.text;
      if (last && p.start > out.back().start && p.start < cue.end) out.push_back({p.start, ""});
      continue;
    }
    if (p.text.empty()) continue;
    out.push_back(std::move(p));
  }
  int64_t floor = cue.start;
  for (Syllable& s : out) {
    s.start = std::clamp(s.start, floor, std::max(floor, cue.end));
    floor = s.start;
  }
  return out;
}

void FindMetadata(const XmlNode& node, SubtitleTrack* track) {
  for (const XmlNode& child : node.children) {
    if (child.IsText()) continue;
    const auto text = [&child] {
      std::string t = child.AllText();
      return std::string(TrimAscii(t));
    };
    if (child.name == "title" && track->title.empty()) {
      track->title = text();
    } else if (child.name == "agent" && track->artist.empty()) {
      for (const XmlNode& name : child.children) {
        if (name.name == "name") track->artist = std::string(TrimAscii(name.AllText()));
      }
    } else if (child.name == "item" && child.Attribute("name") &&
               *child.Attribute("name") == "album") {
      track->album = text();
    } else {
      FindMetadata(child, track);
    }
  }
}

void CollectParagraphs(const XmlNode& node, int64_t base, const TtmlContext& ctx,
                       std::vector<SubtitleCue>* cues) {
  for (const XmlNode& child : node.children) {
    if (child.IsText() || child.name == "head") continue;
    const Interval t = TimesOf(child, ctx);
    const int64_t begin = t.begin ? *t.begin + base : base;
    if (child.name != "p") {
      CollectParagraphs(child, ChildBase(child, begin, ctx), ctx, cues);
      continue;
    }
    PieceWalk walk{ctx};
    walk.pieces.front().start = begin;
    walk.Walk(child, ChildBase(child, begin, ctx));
    SubtitleCue cue;
    if (t.begin) {
      cue.start = begin;
    } else if (walk.timed) {
      cue.start = walk.pieces[1].start;  // a paragraph timed by its spans only
      walk.pieces.front().start = cue.start;
    } else {
      continue;
    }
    if (t.end) {
      cue.end = std::max(cue.start, *t.end + base);
    } else {
      cue.end = walk.latest > cue.start ? walk.latest : cue.start + 5000;
    }
    cue.syllables = Tidy(std::move(walk.pieces), cue);
    for (const Syllable& s : cue.syllables) cue.text += s.text;
    if (!walk.timed) cue.syllables.clear();
    cues->push_back(std::move(cue));
  }
}

std::vector<SubtitleCue> ReadTtml(std::string_view text, SubtitleTrack* track, std::string* error) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const XmlNode document = ParseXml(text);
  const XmlNode* tt = nullptr;
  for (const XmlNode& child : document.children) {
    if (child.name == "tt") tt = &child;
  }
  if (!tt) {
    *error = "no <tt> element";
    return {};
  }
  TtmlContext ctx;
  if (const std::string* rate = tt->Attribute("frameRate")) {
    if (const double r = std::atof(rate->c_str()); r > 0) ctx.frameRate = r;
  }
  if (const std::string* rate = tt->Attribute("tickRate")) {
    if (const double r = std::atof(rate->c_str()); r > 0) ctx.tickRate = r;
  }
  for (const XmlNode& child : tt->children) {
    if (child.name == "head") FindMetadata(child, track);
  }
  std::vector<SubtitleCue> cues;
  CollectParagraphs(*tt, 0, ctx, &cues);
  return cues;
}

}  // namespace

std::optional<SubtitleFormat> GuessSubtitleFormat(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);
  if (text.substr(0, 6) == "WEBVTT") return SubtitleFormat::kWebVtt;
  if (StartsWithNoCase(text, "[Script Info]")) return SubtitleFormat::kAss;
  if (text[0] == '<' && text.find("<tt") != std::string_view::npos) return SubtitleFormat::kTtml;
  // An SRT file opens with its first cue: a number, then a timing line.
  for (std::string_view line : SplitLines(text.substr(0, 200))) {
    SubtitleCue cue;
    if (ParseTiming(line, &cue)) return SubtitleFormat::kSrt;
  }
  return std::nullopt;
}

std::optional<SubtitleTrack> ReadSubtitles(std::string_view text, SubtitleFormat format,
                                           std::string* error) {
  SubtitleTrack track;
  std::string why;
  switch (format) {
    case SubtitleFormat::kSrt:
      track.cues = ReadBlocks(text, false, &track);
      break;
    case SubtitleFormat::kWebVtt:
      track.cues = ReadBlocks(text, true, &track);
      break;
    case SubtitleFormat::kAss:
      track.cues = ReadAss(text, &track);
      break;
    case SubtitleFormat::kTtml:
      track.cues = ReadTtml(text, &track, &why);
      break;
  }
  // Cues without text show nothing: they are no lyric line.
  std::erase_if(track.cues, [](const SubtitleCue& cue) {
    return cue.text.find_first_not_of(" \t\n") == std::string::npos;
  });
  if (track.cues.empty()) {
    if (error) *error = why.empty() ? "no cue found" : why;
    return std::nullopt;
  }
  return track;
}

}  // namespace lirotag
