#pragma once

// Time tags and the small text routines every lyric command is built from. Text is UTF-8
// with CR LF between lines; positions and lengths are in bytes. Brackets, dots, colons
// and line breaks are ASCII, and an ASCII byte is never part of a longer UTF-8
// character, so plain byte scanning is safe.

#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

// Times beyond this many seconds (about 31 years) are treated as this many seconds: the
// formatter works in whole microseconds held in 64 bits, and no song is this long.
constexpr double kMaxTimeSeconds = 1e9;

// "mm:ss.xx", or "mm:ss.xxx" when `three`, without brackets. Minutes have at least two
// digits and no upper limit. The time is first rounded to the nearest microsecond and the
// fraction then cut (not rounded) to hundredths or thousandths, so every time that is
// an exact number of hundredths (or thousandths) comes out as written, even after the
// arithmetic of offsets. Negative times (below -0.0000001), NaN and -infinity give
// "00:00.00"; times above kMaxTimeSeconds and +infinity are formatted as kMaxTimeSeconds.
std::string FormatTime(double seconds, bool three);

// The time a tag's text stands for: "[mm:ss.xx]", "mm:ss.xx", "h:mm:ss.xx", ".5",
// "mm:ss:xx" … Only ASCII ':' and '.' separate; fields are read with TextToNumber; a
// fraction of one, two or three characters (full-width digits count as one) is tenths,
// hundredths or thousandths, any other fraction adds nothing. Without a '.', a third
// colon field of one to three digits is the fraction ("01:02:50" is 62.5 s). -1 for an empty text,
// "[]" and a text with more than one '.'; 0 for text without numbers. The result is always finite,
// within ±kMaxTimeSeconds (or -1).
double ParseTime(std::string_view text);

// A header line the tag commands leave alone: its first tag, at the very start of the
// line, begins with a letter or "#" ("[ti:", "[offset:", "[id:", "[length:", "[#:",
// "[Chorus]"), so it is never a time. Full-width letters count as letters, and so does
// any other character that is not ASCII.
bool IsInfoLine(std::string_view line);

// The line without its bracketed parts; an info line unchanged. A '[' without ']' drops
// the rest of the line. With `limit` > 0 only the first `limit` tags go.
std::string StripTags(std::string_view line, int limit = 0);

// The contents of the line's tags joined by CR LF (empty for an info line or a line
// without tags). A tag opens with '['; a ']' with no '[' before it is text.
std::string ExtractTags(std::string_view line);

// The tags of a line: SplitText(ExtractTags(line), "\r\n").
std::vector<std::string> TagList(std::string_view line);

// Pieces between the delimiters. An empty text gives no piece; an empty last piece is
// dropped ("a\r\n" → {"a"}, "\r\n" → {""}). An empty delimiter gives the whole text.
std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter);

// Each element followed by `separator`, except the last one when `trailing` is false.
std::string JoinTexts(const std::vector<std::string>& list, std::string_view separator,
                      bool trailing);

// Removes ASCII spaces and ideographic spaces (U+3000) from both ends; nothing else.
std::string TrimSpaces(std::string_view text);

// Every line break CR LF: LF, CR LF, CR CR LF and a CR not followed by LF each end a line.
std::string NormaliseLineBreaks(std::string_view text);

}  // namespace lirotag
