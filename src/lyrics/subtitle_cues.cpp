// The cue model's two ends that speak LRC: a lyric text into cues, cues into lyric lines.

#include <algorithm>
#include <cmath>

#include "files/ascii.h"
#include "lyrics/editing.h"
#include "lyrics/info_tags.h"
#include "lyrics/subtitles.h"
#include "lyrics/tag_index.h"
#include "lyrics/time_tags.h"
#include "lyrics/words.h"

namespace lirotag {

namespace {

// Long enough to read a line, short enough that an instrumental break clears the screen.
constexpr int64_t kMaxCueMs = 10000;
// The last cue's length when the song's is unknown.
constexpr int64_t kLastCueMs = 5000;

int64_t Ms(double seconds) {
  return std::llround(seconds * 1000.0);
}

// Spaces (ASCII, tab, ideographic) at the front or the back of `s`, in bytes.
size_t LeadingBlanks(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
    } else if (s.substr(i, 3) == "\xE3\x80\x80") {
      i += 3;
    } else {
      break;
    }
  }
  return i;
}
size_t TrailingBlanks(std::string_view s) {
  size_t n = s.size();
  while (n > 0) {
    if (s[n - 1] == ' ' || s[n - 1] == '\t') {
      --n;
    } else if (n >= 3 && s.substr(n - 3, 3) == "\xE3\x80\x80") {
      n -= 3;
    } else {
      break;
    }
  }
  return s.size() - n;
}

std::string Trimmed(std::string_view s) {
  const size_t lead = LeadingBlanks(s);
  s.remove_prefix(lead);
  s.remove_suffix(TrailingBlanks(s));
  return std::string(s);
}

// A lyric line as it is sung: its time tags, and its text cut at its word tags.
struct TimedLine {
  std::vector<int64_t> times;       // the line's time tags, in line order
  std::string text;                 // trimmed, without tags
  std::vector<Syllable> syllables;  // word times as written, for the earliest time tag
};

// None for a header line and a line without a time.
std::optional<TimedLine> ReadLine(std::string_view line) {
  if (IsInfoLine(line)) return std::nullopt;
  const std::vector<std::string> tags = TagList(line);
  // A line whose first tag is not a time ("[la:en]", "[Chorus]") is a header line.
  if (tags.empty() || !IsTimeTag(tags.front())) return std::nullopt;
  TimedLine out;
  for (const std::string& tag : tags) {
    // A tag that only starts like a time ("[00:01.2.3]") times nothing.
    const double t = IsTimeTag(tag) ? ParseTime(tag) : -1;
    if (t >= 0) out.times.push_back(Ms(t));
  }
  if (out.times.empty()) return std::nullopt;
  const LineWords words = FindWords(line);
  // The text between word tags, bracketed parts dropped as StripTags drops them; no word
  // tag stands inside brackets, so each piece can be stripped on its own.
  std::vector<Syllable> pieces;
  size_t from = 0;
  int64_t start = -1;  // the first piece is timed by the line tag
  for (const WordTag& tag : words.tags) {
    pieces.push_back({start, StripTags(line.substr(from, tag.begin - from), 0)});
    start = Ms(tag.time);
    from = tag.end;
  }
  pieces.push_back({start, StripTags(line.substr(from), 0)});
  // Spaces around the line are no text, also when they sit in the first or last piece.
  for (Syllable& p : pieces) {
    const size_t lead = LeadingBlanks(p.text);
    p.text.erase(0, lead);
    if (!p.text.empty()) break;
  }
  for (auto p = pieces.rbegin(); p != pieces.rend(); ++p) {
    p->text.resize(p->text.size() - TrailingBlanks(p->text));
    if (!p->text.empty()) break;
  }
  for (const Syllable& p : pieces) out.text += p.text;
  if (!words.tags.empty()) {
    // The piece before the first word tag only matters when it holds text.
    if (pieces.front().text.empty()) pieces.erase(pieces.begin());
    out.syllables = std::move(pieces);
  }
  return out;
}

}  // namespace

std::optional<SubtitleFormat> SubtitleFormatFromName(std::string_view name) {
  if (EqualsNoCase(name, "srt")) return SubtitleFormat::kSrt;
  if (EqualsNoCase(name, "vtt") || EqualsNoCase(name, "webvtt")) return SubtitleFormat::kWebVtt;
  if (EqualsNoCase(name, "ass") || EqualsNoCase(name, "ssa")) return SubtitleFormat::kAss;
  if (EqualsNoCase(name, "ttml")) return SubtitleFormat::kTtml;
  return std::nullopt;
}

std::optional<SubtitleFormat> SubtitleFormatOfPath(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return std::nullopt;
  const std::string_view ext = path.substr(dot + 1);
  if (EqualsNoCase(ext, "webvtt")) return std::nullopt;  // a name, not an extension
  return SubtitleFormatFromName(ext);
}

const char* SubtitleExtension(SubtitleFormat format) {
  switch (format) {
    case SubtitleFormat::kSrt:
      return "srt";
    case SubtitleFormat::kWebVtt:
      return "vtt";
    case SubtitleFormat::kAss:
      return "ass";
    case SubtitleFormat::kTtml:
      return "ttml";
  }
  return "";
}

bool SubtitleNeedsBom(SubtitleFormat format) {
  return format == SubtitleFormat::kSrt || format == SubtitleFormat::kAss;
}

SubtitleTrack CuesFromLyrics(std::string_view text, std::optional<int64_t> songLengthMs) {
  std::string crlf = NormaliseLineBreaks(text);
  // Players apply the offset; so does the track, through the editor's own command.
  // An unusable offset (not a number, beyond a day) moves nothing, as in the editor.
  if (OffsetIntegration moved = IntegrateOffset(crlf, true);
      moved.outcome == OffsetIntegration::Outcome::kDone)
    crlf = std::move(moved.text);
  std::vector<std::string> lines = SplitText(crlf, "\r\n");

  SubtitleTrack track;
  {
    std::vector<std::string> header = lines;
    AdditionalInfo info;
    ScanInfoTags(&header, &info);
    track.title = Trimmed(info.InfoTi);
    track.artist = Trimmed(info.InfoAr);
    track.album = Trimmed(info.InfoAl);
  }

  std::vector<int64_t> bounds;  // every moment the screen changes: cue starts and clears
  for (const std::string& line : lines) {
    std::optional<TimedLine> timed = ReadLine(line);
    if (!timed) continue;
    bounds.insert(bounds.end(), timed->times.begin(), timed->times.end());
    if (timed->text.empty()) continue;  // a clear mark
    const int64_t earliest = *std::min_element(timed->times.begin(), timed->times.end());
    for (int64_t start : timed->times) {
      SubtitleCue cue;
      cue.start = start;
      cue.text = timed->text;
      for (const Syllable& s : timed->syllables) {
        // Word times belong to the earliest tag; another tag sings them that much later.
        cue.syllables.push_back({s.start < 0 ? start : s.start + start - earliest, s.text});
      }
      track.cues.push_back(std::move(cue));
    }
  }
  std::stable_sort(track.cues.begin(), track.cues.end(),
                   [](const SubtitleCue& a, const SubtitleCue& b) { return a.start < b.start; });
  std::sort(bounds.begin(), bounds.end());

  for (SubtitleCue& cue : track.cues) {
    const auto next = std::upper_bound(bounds.begin(), bounds.end(), cue.start);
    if (next != bounds.end()) {
      cue.end = std::min(*next, cue.start + kMaxCueMs);
    } else if (songLengthMs && *songLengthMs > cue.start) {
      cue.end = *songLengthMs;
    } else {
      cue.end = cue.start + kLastCueMs;
    }
    int64_t floor = cue.start;
    for (Syllable& s : cue.syllables) {
      s.start = std::clamp(s.start, floor, cue.end);
      floor = s.start;
    }
  }
  return track;
}

std::string LyricsFromCues(const SubtitleTrack& track, bool threeDecimals) {
  const auto tag = [threeDecimals](int64_t ms, char open, char close) {
    return open + FormatTime(static_cast<double>(ms) / 1000.0, threeDecimals) + close;
  };
  // What the written tag keeps of a time: tags cut, never round.
  const auto unit = [threeDecimals](int64_t ms) { return threeDecimals ? ms : ms / 10; };

  std::vector<std::string> out;
  for (const auto& [key, value] :
       {std::pair{"[ti:", &track.title}, std::pair{"[ar:", &track.artist},
        std::pair{"[al:", &track.album}}) {
    if (!value->empty()) out.push_back(key + *value + "]");
  }

  std::vector<const SubtitleCue*> cues;
  for (const SubtitleCue& cue : track.cues) cues.push_back(&cue);
  std::stable_sort(cues.begin(), cues.end(),
                   [](const SubtitleCue* a, const SubtitleCue* b) { return a->start < b->start; });

  int64_t shownUntil = 0;
  for (size_t i = 0; i < cues.size(); ++i) {
    const SubtitleCue& cue = *cues[i];
    const std::string head = tag(cue.start, '[', ']');
    // Each text line of the cue, as (start, text) pieces; untimed cues have one piece.
    std::vector<std::vector<Syllable>> textLines(1);
    const std::vector<Syllable> whole =
        cue.syllables.empty() ? std::vector<Syllable>{{cue.start, cue.text}} : cue.syllables;
    for (const Syllable& s : whole) {
      size_t from = 0;
      int64_t start = s.start;
      for (size_t nl; (nl = s.text.find('\n', from)) != std::string::npos; from = nl + 1) {
        textLines.back().push_back({start, s.text.substr(from, nl - from)});
        textLines.emplace_back();
      }
      textLines.back().push_back({start, s.text.substr(from)});
    }
    for (size_t l = 0; l < textLines.size(); ++l) {
      std::vector<Syllable>& pieces = textLines[l];
      std::string line;
      for (size_t p = 0; p < pieces.size(); ++p) {
        std::string text = pieces[p].text;
        if (p == 0) text.erase(0, LeadingBlanks(text));
        if (p + 1 == pieces.size()) text.resize(text.size() - TrailingBlanks(text));
        const bool endOfCue = l + 1 == textLines.size() && p + 1 == pieces.size();
        if (cue.syllables.empty()) {
          line += text;
        } else if (!text.empty()) {
          line += tag(pieces[p].start, '<', '>') + text;
        } else if (endOfCue && p > 0 && !line.empty()) {
          line += tag(pieces[p].start, '<', '>');  // the singing stops before the cue ends
        }
      }
      if (Trimmed(StripWordTags(line)).empty()) continue;  // an empty line would clear
      out.push_back(head + line);
    }
    shownUntil = std::max(shownUntil, cue.end);
    // LRC has no end times: the screen is cleared by a timed line without text.
    if (i + 1 == cues.size() || unit(shownUntil) < unit(cues[i + 1]->start))
      out.push_back(tag(shownUntil, '[', ']'));
  }
  return JoinTexts(out, "\r\n", false);
}

}  // namespace lirotag
