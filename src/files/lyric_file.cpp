#include "files/lyric_file.h"

#include <algorithm>
#include <array>

#include "files/encoding.h"

namespace lirotag {

namespace {

// A stray NUL in a text file is no end of the text: what follows it is the user's too.
std::string WithoutNuls(std::string_view bytes) {
  std::string out(bytes);
  out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());
  return out;
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Every occurrence of `from`, matched with or without regard to ASCII case, replaced by
// `to`.
void ReplaceAll(std::string* text, std::string_view from, std::string_view to,
                bool ignoreCase = false) {
  std::string lower(*text), key(from);
  if (ignoreCase) {
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    std::transform(key.begin(), key.end(), key.begin(), LowerAscii);
  }
  std::string out;
  size_t done = 0;
  for (size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, done)) {
    out.append(*text, done, at - done);
    out += to;
    done = at + key.size();
  }
  out.append(*text, done);
  *text = std::move(out);
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::string SafeFileNamePart(std::string value) {
#ifdef _WIN32
  constexpr std::string_view kUnsafe = "\\/:*?\"<>|";
#else
  constexpr std::string_view kUnsafe = "\\/";
#endif
  for (char& c : value) {
    if (kUnsafe.find(c) != std::string_view::npos || (c > 0 && c < 0x20)) c = '_';
  }
  if (!value.empty() && value.find_first_not_of('.') == std::string::npos)
    std::fill(value.begin(), value.end(), '_');
  return value;
}

}  // namespace

namespace {

// A file that is UTF-8 apart from a few bad bytes (a character cut off, a Latin-1 letter,
// a line pasted in GBK) is UTF-8: GBK text forms valid multi-byte UTF-8 only here and
// there (a fifth of common characters, as two-byte sequences), so text whose non-ASCII
// bytes are this largely valid UTF-8 is no GBK.
constexpr size_t kMinValidBytesPerBadByte = 8;

// UTF-16 without byte-order mark: lyric files hold tags and line breaks, so the zero high
// bytes of ASCII characters make up at least this share of the units, all on one side.
constexpr size_t kMinZeroShare = 20;  // one unit in 20

const LyricEncoding* Utf16WithoutMark(std::string_view bytes) {
  const size_t units = bytes.size() / 2;
  if (units < 2) return nullptr;
  size_t zeroEven = 0, zeroOdd = 0;
  for (size_t i = 0; i < units * 2; ++i) {
    if (bytes[i] == '\0') ++(i % 2 == 0 ? zeroEven : zeroOdd);
  }
  const auto clear = [&](size_t high, size_t low) {
    // Characters whose low byte is zero (U+4E00 一, U+0100 Ā) are rare; 8-bit text with
    // stray NULs has them on both sides.
    return high >= 2 && high * kMinZeroShare >= units && low * 4 <= high;
  };
  if (clear(zeroOdd, zeroEven)) return FindLyricEncoding("UTF-16LE");
  if (clear(zeroEven, zeroOdd)) return FindLyricEncoding("UTF-16BE");
  return nullptr;
}

std::string_view WithoutLeadingMarks(std::string_view text) {
  while (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

}  // namespace

EncodingGuess DetectLyricEncoding(std::string_view bytes) {
  const auto named = [](const char* name) { return EncodingGuess{FindLyricEncoding(name), 100}; };
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return named("UTF-8");
  if (bytes.substr(0, 2) == "\xFF\xFE") return named("UTF-16LE");
  if (bytes.substr(0, 2) == "\xFE\xFF") return named("UTF-16BE");
  if (const LyricEncoding* utf16 = Utf16WithoutMark(bytes)) return {utf16, 100};
  const std::string text = WithoutNuls(bytes);
  const Utf8Census utf8 = CountUtf8(text);
  if (utf8.badSequences == 0 || utf8.cutAtEnd) return named("UTF-8");
  if (utf8.multiByte > 0 && utf8.badBytes * kMinValidBytesPerBadByte <= utf8.multiByteBytes) {
    const size_t high = utf8.multiByteBytes + utf8.badBytes;
    return {FindLyricEncoding("UTF-8"), static_cast<int>(100 * utf8.multiByteBytes / high)};
  }
  return GuessLegacyEncoding(text);
}

std::string DecodeLyricBytes(std::string_view bytes) {
  return DecodeLyricBytesAs(bytes, *DetectLyricEncoding(bytes).encoding);
}

std::string DecodeLyricBytesAs(std::string_view bytes, const LyricEncoding& encoding) {
  const std::string_view name = encoding.name;
  if (name == "UTF-8") {
    // Every mark: a file saved twice by a tool that adds one has two.
    return RepairUtf8(WithoutNuls(WithoutLeadingMarks(bytes)));
  }
  const bool little = name == "UTF-16LE";
  if (little || name == "UTF-16BE") {
    if (bytes.substr(0, 2) == (little ? "\xFF\xFE" : "\xFE\xFF")) bytes.remove_prefix(2);
    // An odd last byte is no character: it is dropped, not shown as U+FFFD.
    std::u16string text = Utf16FromBytes(bytes.substr(0, bytes.size() & ~size_t{1}), !little);
    text.erase(
        std::remove_if(text.begin(), text.end(), [](char16_t u) { return u == 0xFEFF || u == 0; }),
        text.end());
    return Utf16ToUtf8(text);
  }
  const std::string text = WithoutNuls(bytes);
  std::string out;
  if (name == "GBK" || !ConvertToUtf8(text, encoding.converter, &out)) out = GbkToUtf8(text);
  return std::string(WithoutLeadingMarks(out));
}

std::string CrLfLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      // CR LF is one break, and so is CR CR LF (CR LF written again by a text-mode
      // writer); every other CR is a break of its own.
      size_t run = i;
      while (run < text.size() && text[run] == '\r') ++run;
      if (run < text.size() && text[run] == '\n') {
        out += "\r\n";
        i = run;
      } else {
        for (; i < run; ++i) out += "\r\n";
        --i;
      }
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string LyricTextFromBytes(std::string_view bytes, const LyricEncoding* chosen) {
  std::string text = chosen ? DecodeLyricBytesAs(bytes, *chosen) : DecodeLyricBytes(bytes);
  ReplaceAll(&text, "\xE2\x80\xA8", "\n");  // U+2028
  ReplaceAll(&text, "\xE2\x80\xA9", "\n");  // U+2029
  return CrLfLineBreaks(text);
}

std::string EncodeLyricText(std::string_view text, int encoding) {
  switch (encoding) {
    case 0:
      return Utf8ToGbk(text);
    case 2:
      return "\xEF\xBB\xBF" + RepairUtf8(text);
    default:
      return "\xFF\xFE" + Utf16ToBytes(Utf8ToUtf16(text), false);
  }
}

std::string SplitPath(std::string_view path, PathPart part) {
  const auto separator = std::find_if(path.rbegin(), path.rend(), IsSeparator);
  const size_t nameAt = static_cast<size_t>(path.rend() - separator);
  const std::string_view folder = nameAt == 0 ? std::string_view() : path.substr(0, nameAt - 1);
  const std::string_view full = path.substr(nameAt);
  const size_t dot = full.rfind('.');
  switch (part) {
    case PathPart::kName:
      return std::string(full.substr(0, dot));
    case PathPart::kFullName:
      return std::string(full);
    case PathPart::kExtension:
      return dot == std::string_view::npos ? std::string() : std::string(full.substr(dot + 1));
    case PathPart::kFolder:
      return std::string(folder);
  }
  return {};
}

std::string ExpandSavePath(std::string_view pattern, std::string_view songPath,
                           const SavePathTags& tags) {
  std::string result(pattern);
#ifndef _WIN32
  std::replace(result.begin(), result.end(), '\\', '/');
#endif
  const std::array<std::pair<std::string_view, std::string>, 7> placeholders = {{
      {"%LocalDir%", SplitPath(songPath, PathPart::kFolder)},
      {"%FileName%", SplitPath(songPath, PathPart::kName)},
      {"%FullName%", SplitPath(songPath, PathPart::kFullName)},
      {"%Ext%", SplitPath(songPath, PathPart::kExtension)},
      {"%Title%", SafeFileNamePart(tags.Title)},
      {"%Artist%", SafeFileNamePart(tags.Artist)},
      {"%Album%", SafeFileNamePart(tags.Album)},
  }};
  for (const auto& [name, value] : placeholders) ReplaceAll(&result, name, value, true);
  return result;
}

}  // namespace lirotag
