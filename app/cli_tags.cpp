// lirotag-cli tags [--picture OUT] FILE…
// For each file, in the order given, one line holding a JSON object: "file" and the
// eight song tags by their names, or "file" and "error" when the file's type has no tag
// reader ("unsupported") or the file cannot be opened (why). Exit status 0 when every
// file was read, 2 otherwise or on bad usage (one line on standard error).

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "files/encoding.h"
#include "files/file_io.h"
#include "tags/read_song_tags.h"

namespace lirotag {
namespace {

// The object for one file; false when it could not be read.
bool TagsLine(const std::string& path, std::string* picture, std::string* line) {
  *line = "{\"file\": " + Json(path);
  const TagFormat format = TagFormatOf(path);
  std::unique_ptr<ByteSource> src;
  std::string err;
  if (format == TagFormat::kNone) err = "unsupported";
  if (err.empty() && OpenFileSource(path, &src, &err)) {
    SongTags tags;
    ReadTagsOfFormat(format, *src, &tags, picture, picture != nullptr);
    for (int i = 0; i < SongTags::kFieldCount; ++i) {
      *line += ", " + Json(std::string(kSongTagNames[i])) + ": " + Json(tags.Field(i));
    }
    *line += "}";
    return true;
  }
  *line += ", \"error\": " + Json(err) + "}";
  return false;
}

}  // namespace

int Fail(const std::string& why) {
  std::fprintf(stderr, "lirotag-cli: %s\n", why.c_str());
  return 2;
}

int Usage(const std::string& why) {
  return Fail(why + " (lirotag-cli --help tells how to use it)");
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : RepairUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

int RunTagsCommand(int argc, char** argv) {
  std::string picture_out;
  std::vector<std::string> files;
  bool options = true;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--picture") {
      if (i + 1 >= argc) return Usage("--picture needs a file name");
      picture_out = argv[++i];
    } else if (options && a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return Usage("tags needs at least one file");
  if (!picture_out.empty() && files.size() > 1) return Usage("--picture takes a single file");
  int rc = 0;
  std::string picture, line;
  for (const std::string& f : files) {
    if (!TagsLine(f, picture_out.empty() ? nullptr : &picture, &line)) rc = 2;
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
  std::string err;
  RealFileSystem fs;
  if (!picture.empty() && !fs.WriteFileAtomic(picture_out, picture, &err)) {
    std::fprintf(stderr, "lirotag-cli: %s\n", err.c_str());
    return 2;
  }
  return rc;
}

}  // namespace lirotag
