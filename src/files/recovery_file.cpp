#include "files/recovery_file.h"

#include <cstdio>
#include <cstdlib>

#include "files/file_io.h"

namespace lirotag {

namespace {

constexpr std::string_view kMagic = "Lirotag recovery 1\n";

// Reads "key: value\n" from the front of `bytes`.
bool TakeField(std::string_view* bytes, std::string_view key, std::string* value) {
  if (bytes->substr(0, key.size()) != key) return false;
  const size_t end = bytes->find('\n');
  if (end == std::string_view::npos) return false;
  *value = std::string(bytes->substr(key.size(), end - key.size()));
  bytes->remove_prefix(end + 1);
  return true;
}

std::string OneLine(std::string value) {
  for (char& c : value) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return value;
}

}  // namespace

std::string SerializeRecovery(const RecoveryRecord& r) {
  std::string out(kMagic);
  out += "saved: " + OneLine(r.savedAt) + "\n";
  out += "song: " + OneLine(r.songPath) + "\n";
  out += "range: " + std::to_string(r.rangeFirst) + " " + std::to_string(r.rangeLast) + "\n";
  out += "length: " + std::to_string(r.text.size()) + "\n\n";
  return out + r.text;
}

bool ParseRecovery(std::string_view bytes, RecoveryRecord* r, std::string* err) {
  std::string length;
  if (bytes.substr(0, kMagic.size()) != kMagic) {
    *err = "not a recovery file";
    return false;
  }
  bytes.remove_prefix(kMagic.size());
  if (!TakeField(&bytes, "saved: ", &r->savedAt) || !TakeField(&bytes, "song: ", &r->songPath)) {
    *err = "damaged header";
    return false;
  }
  // Optional: files written before it was kept have none.
  std::string range;
  r->rangeFirst = r->rangeLast = 0;
  if (TakeField(&bytes, "range: ", &range)) {
    int first = 0, last = 0;
    if (std::sscanf(range.c_str(), "%d %d", &first, &last) == 2 && first >= 0 && last >= first) {
      r->rangeFirst = first;
      r->rangeLast = last;
    }
  }
  if (!TakeField(&bytes, "length: ", &length) || bytes.substr(0, 1) != "\n") {
    *err = "damaged header";
    return false;
  }
  bytes.remove_prefix(1);
  char* end = nullptr;
  const unsigned long long size = std::strtoull(length.c_str(), &end, 10);
  if (length.empty() || *end != '\0' || size != bytes.size()) {
    *err = "cut short or grown";
    return false;
  }
  r->text = std::string(bytes);
  return true;
}

std::string RecoveryPreview(std::string_view text, int count, int width) {
  std::string out;
  for (int n = 0; n < count && !text.empty(); ++n) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Cut at a character boundary: count the bytes that start a UTF-8 character.
    size_t cut = 0;
    int chars = 0;
    while (cut < line.size() && chars < width) {
      ++cut;
      while (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) ++cut;
      ++chars;
    }
    out += line.substr(0, cut);
    if (cut < line.size()) out += "…";
    out += '\n';
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return out;
}

std::string RecoveryDir(const char* xdgStateHome, const char* home) {
  // A relative XDG path is to be ignored, as the base-directory rules say.
  if (xdgStateHome && xdgStateHome[0] == '/') return JoinPath(xdgStateHome, "Lirotag");
  return JoinPath(JoinPath(home ? home : "", ".local/state"), "Lirotag");
}

}  // namespace lirotag
