#include "shell/ini_file.h"

#include "files/ascii.h"
#include "files/encoding.h"
#include "files/file_io.h"

namespace lirotag {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// "[name]" → name (between '[' and the last ']', trimmed).
bool ParseSectionHeader(std::string_view text, std::string_view* name) {
  const std::string_view t = Trim(text);
  if (t.empty() || t.front() != '[') return false;
  const size_t close = t.rfind(']');
  if (close == std::string_view::npos || close == 0) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

// "key = value" → key and the value as the profile functions return it, before the cut.
bool ParseKeyLine(std::string_view text, std::string_view* key, std::string_view* value) {
  const std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';') return false;
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(t.substr(0, eq));
  std::string_view v = Trim(t.substr(eq + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  *value = v;
  return true;
}

// Cut to the read buffer's size without splitting a UTF-8 character.
std::string CapValue(std::string_view value) {
  if (value.size() <= IniFile::kMaxValueBytes) return std::string(value);
  size_t n = IniFile::kMaxValueBytes;
  while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80) --n;
  return std::string(value.substr(0, n));
}

std::string WithoutLineBreaks(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

// The text to put after '=' so that reading gives `value` back exactly.
std::string QuoteIfNeeded(const std::string& value) {
  const bool loses_blanks = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  const bool loses_quotes = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                            value.back() == value.front();
  if (loses_blanks || loses_quotes) return "\"" + value + "\"";
  return value;
}

}  // namespace

void IniFile::Parse(std::string_view bytes) {
  lines_.clear();
  line_break_ = "\r\n";
  if (bytes.substr(0, 3) == kUtf8Bom) {
    encoding_ = Encoding::kUtf8Bom;
    bytes.remove_prefix(3);
  } else if (bytes.substr(0, 2) == "\xFF\xFE") {
    encoding_ = Encoding::kUtf16Le;
    bytes.remove_prefix(2);
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    encoding_ = Encoding::kUtf16Be;
    bytes.remove_prefix(2);
  } else {
    encoding_ = IsValidUtf8(bytes) ? Encoding::kUtf8 : Encoding::kGbk;
  }

  bool first_break = true;
  auto add = [&](std::string raw, std::string text, std::string_view eol) {
    if (first_break && !eol.empty()) {
      line_break_ = std::string(eol);
      first_break = false;
    }
    lines_.push_back(Line{std::move(text), std::string(eol), std::move(raw), true});
  };

  if (encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be) {
    const std::u16string units = Utf16FromBytes(bytes, encoding_ == Encoding::kUtf16Be);
    size_t start = 0;  // in units; unit i is bytes [2i, 2i + 2)
    while (start < units.size()) {
      const size_t lf = units.find(u'\n', start);
      const bool last = lf == std::u16string::npos;
      size_t end = last ? units.size() : lf;
      std::string_view eol = last ? "" : "\n";
      if (!last && end > start && units[end - 1] == u'\r') {
        --end;
        eol = "\r\n";
      }
      // The last line takes every remaining byte, an odd one included.
      std::string raw(last ? bytes.substr(2 * start) : bytes.substr(2 * start, 2 * (end - start)));
      add(std::move(raw), Utf16ToUtf8(std::u16string_view(units).substr(start, end - start)), eol);
      start = last ? units.size() : lf + 1;
    }
    return;
  }

  // LF (0x0A) is never part of a longer UTF-8 or GB18030 character.
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t lf = bytes.find('\n', start);
    const bool last = lf == std::string_view::npos;
    size_t end = last ? bytes.size() : lf;
    std::string_view eol = last ? "" : "\n";
    if (!last && end > start && bytes[end - 1] == '\r') {
      --end;
      eol = "\r\n";
    }
    const std::string_view raw = bytes.substr(start, end - start);
    add(std::string(raw), encoding_ == Encoding::kGbk ? GbkToUtf8(raw) : RepairUtf8(raw), eol);
    start = last ? bytes.size() : lf + 1;
  }
}

std::string IniFile::Encode(std::string_view utf8) const {
  switch (encoding_) {
    case Encoding::kGbk:
      return Utf8ToGbk(utf8);
    case Encoding::kUtf16Le:
      return Utf16ToBytes(Utf8ToUtf16(utf8), false);
    case Encoding::kUtf16Be:
      return Utf16ToBytes(Utf8ToUtf16(utf8), true);
    case Encoding::kUtf8:
    case Encoding::kUtf8Bom:
      break;
  }
  return std::string(utf8);
}

std::string IniFile::Serialize() const {
  std::string out;
  switch (encoding_) {
    case Encoding::kUtf8Bom:
      out = kUtf8Bom;
      break;
    case Encoding::kUtf16Le:
      out = "\xFF\xFE";
      break;
    case Encoding::kUtf16Be:
      out = "\xFE\xFF";
      break;
    case Encoding::kUtf8:
    case Encoding::kGbk:
      break;
  }
  for (const Line& line : lines_) {
    out += line.original ? line.raw : Encode(line.text);
    out += Encode(line.eol);
  }
  return out;
}

void IniFile::set_encoding(Encoding encoding) {
  if (encoding == encoding_) return;
  encoding_ = encoding;
  // The bytes read belong to the old encoding.
  for (Line& line : lines_) line.original = false;
}

bool IniFile::Load(FileSystem& fs, const std::string& path, std::string* err) {
  std::string bytes;
  if (!fs.ReadFile(path, &bytes, err, kMaxFileBytes)) {
    *this = IniFile();
    return false;
  }
  Parse(bytes);
  return true;
}

bool IniFile::Save(FileSystem& fs, const std::string& path, std::string* err) const {
  return fs.WriteFileAtomic(path, Serialize(), err);
}

size_t IniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (ParseSectionHeader(lines_[i].text, &name) && EqualsNoCase(name, section)) return i;
  }
  return lines_.size();
}

size_t IniFile::SectionEnd(size_t header) const {
  std::string_view name;
  size_t i = header + 1;
  while (i < lines_.size() && !ParseSectionHeader(lines_[i].text, &name)) ++i;
  return i;
}

bool IniFile::FindKey(std::string_view section, std::string_view key, size_t* line,
                      std::string* value) const {
  const size_t header = FindSection(section);
  if (header == lines_.size()) return false;
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (ParseKeyLine(lines_[i].text, &k, &v) && EqualsNoCase(k, key)) {
      *line = i;
      *value = std::string(v);
      return true;
    }
  }
  return false;
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
  size_t line;
  std::string value;
  return FindKey(section, key, &line, &value);
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view fallback) const {
  size_t line;
  std::string value;
  if (!FindKey(section, key, &line, &value)) return CapValue(fallback);
  return CapValue(value);
}

void IniFile::InsertLine(size_t at, std::string text) {
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = line_break_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                Line{std::move(text), line_break_, std::string(), false});
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string clean_section = WithoutLineBreaks(section);
  const std::string clean_key = WithoutLineBreaks(key);
  const std::string clean_value = WithoutLineBreaks(value);
  const std::string written = QuoteIfNeeded(clean_value);

  size_t line;
  std::string current;
  if (FindKey(clean_section, clean_key, &line, &current)) {
    if (current == clean_value) return;
    std::string_view file_key, unused;
    ParseKeyLine(lines_[line].text, &file_key, &unused);
    lines_[line].text = std::string(file_key) + "=" + written;
    lines_[line].original = false;
    return;
  }
  const size_t header = FindSection(clean_section);
  if (header == lines_.size()) {
    InsertLine(lines_.size(), "[" + clean_section + "]");
    InsertLine(lines_.size(), clean_key + "=" + written);
    return;
  }
  // After the section's last non-blank line, so that blank lines separating it from the
  // next section stay where they are.
  size_t at = SectionEnd(header);
  while (at > header + 1 && Trim(lines_[at - 1].text).empty()) --at;
  InsertLine(at, clean_key + "=" + written);
}

}  // namespace lirotag
