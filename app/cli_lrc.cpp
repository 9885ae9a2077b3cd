// lirotag-cli lrc COMMAND [options] FILE: one of the editor's commands on a lyric file,
// the whole text as the highlighted range, the result as UTF-8 on standard output.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "files/encoding.h"
#include "files/file_io.h"
#include "files/lyric_encodings.h"
#include "files/lyric_file.h"
#include "lyrics/edit_commands.h"
#include "lyrics/text_box.h"

namespace lirotag {

const char kLrcHelp[] =
    "lrc     runs one of the editor's commands on the whole text of a lyric file (read\n"
    "        as the editor reads it: byte-order mark, UTF-16 by its zero bytes, UTF-8\n"
    "        (a few bad bytes shown as U+FFFD), else GBK unless the file is clearly in\n"
    "        another encoding) and writes the resulting lines as UTF-8 to standard\n"
    "        output, separated by LF (CR LF with --crlf), with a final one when the\n"
    "        file ends with a line break.\n"
    "        COMMAND is fold, delete-blank, integrate-offset, split, sort,\n"
    "        add-tag --time SECONDS, replace-tags --time SECONDS, delete-tag,\n"
    "        add-word-tag --time SECONDS (the next word of every line gets its\n"
    "        \"<mm:ss.xx>\" word tag, a line without a line tag that too) or\n"
    "        strip-words (every word tag removed: plain line timing);\n"
    "        --three-decimals writes tags in thousandths. An offset that is no number\n"
    "        or beyond 24 hours either way is not integrated; a warning says so.\n"
    "lrc convert [--from ENCODING] --encoding N IN OUT\n"
    "        writes IN's text to OUT as the editor saves it: N 0 is GBK, 1 UTF-16 LE\n"
    "        with byte-order mark, 2 UTF-8 with byte-order mark; OUT is replaced whole\n"
    "        or not at all. With 0, a warning names the characters GBK cannot hold\n"
    "        (written in GB18030's four-byte form, which strict GBK readers reject).\n"
    "        --from reads IN in ENCODING instead of detecting it: GBK (cp936), Big5\n"
    "        (cp950), Big5-HKSCS, Shift_JIS (cp932, sjis), EUC-JP, ISO-2022-JP, EUC-KR\n"
    "        (cp949), UTF-8, UTF-16LE, UTF-16BE, windows-1250 to 1254 and 1257,\n"
    "        ISO-8859-1, -2, -5, -7, -9, -13, -15, KOI8-R, KOI8-U, or another name ICU\n"
    "        has for one of them.\n"
    "lrc detect FILE...\n"
    "        prints one JSON object per file: the encoding the editor reads it in and\n"
    "        the confidence (0 to 100) of that answer, or why the file cannot be read.\n";

namespace {

bool ReadFile(const std::string& path, std::string* bytes, std::string* err) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    *err = "cannot read " + path + ": no such file";
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    *err = "cannot read " + path + ": not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *err = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *err = "cannot read " + path;
    return false;
  }
  return true;
}

void Warn(const std::string& what) {
  std::fprintf(stderr, "lirotag-cli: warning: %s\n", what.c_str());
}

}  // namespace

namespace {

int Convert(int argc, char** argv) {
  std::vector<std::string> files;
  long encoding = -1;
  const LyricEncoding* from = nullptr;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--from") {
      if (i + 1 >= argc) return Usage("--from needs an encoding");
      from = FindLyricEncoding(argv[++i]);
      if (!from) return Usage(std::string("unknown encoding '") + argv[i] + "'");
    } else if (a == "--encoding") {
      char* end = nullptr;
      if (i + 1 >= argc) return Usage("--encoding needs 0, 1 or 2");
      encoding = std::strtol(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || encoding < 0 || encoding > 0x7FFFFFFF)
        return Usage("--encoding needs 0, 1 or 2");
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (encoding < 0) return Usage("convert needs --encoding N");
  if (files.size() != 2) return Usage("convert needs an input and an output file");
  std::string bytes, err;
  if (!ReadFile(files[0], &bytes, &err)) return Fail(err);
  const std::string text = LyricTextFromBytes(bytes, from);
  if (encoding == 0) {
    // Strict GBK readers reject the four-byte sequences these become.
    const std::vector<std::string> lacking = CharactersGbkLacks(text);
    if (!lacking.empty()) {
      std::string list;
      for (const std::string& c : lacking) list += (list.empty() ? "" : " ") + c;
      Warn("GBK cannot hold " + list + "; " + files[1] +
           " holds them as GB18030 four-byte sequences, which GBK-only players reject "
           "(--encoding 1 or 2 keeps them)");
    }
  }
  RealFileSystem fs;
  if (!fs.WriteFileAtomic(files[1], EncodeLyricText(text, static_cast<int>(encoding)), &err))
    return Fail("cannot write " + files[1] + ": " + err);
  return 0;
}

int Detect(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.size() > 1 && a[0] == '-') return Usage("unknown option '" + a + "'");
    files.push_back(a);
  }
  if (files.empty()) return Usage("detect needs at least one file");
  int rc = 0;
  for (const std::string& file : files) {
    std::string bytes, err, line = "{\"file\": " + Json(file);
    if (ReadFile(file, &bytes, &err)) {
      const EncodingGuess guess = DetectLyricEncoding(bytes);
      line += ", \"encoding\": " + Json(guess.encoding->name) +
              ", \"confidence\": " + std::to_string(guess.confidence) + "}";
    } else {
      // The object names the file already.
      const std::string prefix = "cannot read " + file + ": ";
      if (err.starts_with(prefix)) err.erase(0, prefix.size());
      line += ", \"error\": " + Json(err) + "}";
      rc = 2;
    }
    std::printf("%s\n", line.c_str());
  }
  if (std::fflush(stdout) != 0) return Fail("cannot write the result");
  return rc;
}

}  // namespace

int RunLrcCommand(int argc, char** argv) {
  if (argc >= 1 && std::string(argv[0]) == "convert") return Convert(argc - 1, argv + 1);
  if (argc >= 1 && std::string(argv[0]) == "detect") return Detect(argc - 1, argv + 1);
  using Command = std::function<void(LyricEditor&, double, bool)>;
  std::string refusedOffset;
  const std::map<std::string, std::pair<bool, Command>> commands = {
      {"fold", {false, [](LyricEditor& e, double, bool) { e.FoldText(); }}},
      {"delete-blank", {false, [](LyricEditor& e, double, bool) { e.RemoveBlankLines(); }}},
      {"integrate-offset",
       {false, [&refusedOffset](LyricEditor& e, double,
                                bool three) { e.IntegrateOffsetTags(three, &refusedOffset); }}},
      {"split", {false, [](LyricEditor& e, double, bool) { e.SplitRangeTags(); }}},
      {"sort", {false, [](LyricEditor& e, double, bool) { e.SortRangeByTime(); }}},
      {"add-tag",
       {true, [](LyricEditor& e, double t, bool three) { e.AddTag([t] { return t; }, three); }}},
      {"replace-tags",
       {true,
        [](LyricEditor& e, double t, bool three) { e.ReplaceTags([t] { return t; }, three); }}},
      {"delete-tag", {false, [](LyricEditor& e, double, bool) { e.DeleteTag(); }}},
      {"add-word-tag",
       {true,
        [](LyricEditor& e, double t, bool three) { e.AddWordTag([t] { return t; }, three); }}},
      {"strip-words", {false, [](LyricEditor& e, double, bool) { e.StripRangeWordTags(); }}},
  };
  if (argc < 1) return Usage("lrc needs a command");
  const auto command = commands.find(argv[0]);
  if (command == commands.end()) return Usage(std::string("unknown lrc command '") + argv[0] + "'");
  const bool takesTime = command->second.first;

  std::string file;
  double time = 0;
  bool timeGiven = false, three = false;
  const char* lineBreak = "\n";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--time") {
      if (!takesTime) return Usage("--time belongs to add-tag, replace-tags and add-word-tag");
      char* end = nullptr;
      if (i + 1 >= argc) return Usage("--time needs a number of seconds");
      time = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !std::isfinite(time))
        return Usage("--time needs a number of seconds");
      timeGiven = true;
    } else if (a == "--three-decimals") {
      three = true;
    } else if (a == "--crlf") {
      lineBreak = "\r\n";
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (file.empty()) {
      file = a;
    } else {
      return Usage("more than one lyric file given");
    }
  }
  if (file.empty()) return Usage("no lyric file given");
  if (takesTime && !timeGiven) return Usage(std::string(argv[0]) + " needs --time SECONDS");

  std::string bytes, err;
  if (!ReadFile(file, &bytes, &err)) return Fail(err);
  // The file's final line break ends its last line; it starts no empty line for the
  // commands to stamp, sort or multiply, and the output ends as the file does.
  std::string text = LyricTextFromBytes(bytes);
  const bool finalBreak = text.ends_with("\r\n");
  if (finalBreak) text.resize(text.size() - 2);
  TextLyricBox box = TextLyricBox::FromText(text);
  const bool endedBlank = box.lines().back().empty();
  LyricEditor editor(box);
  box.SelectLines(0, box.LineCount() - 1);
  editor.RangeFromSelection();
  command->second.second(editor, time, three);
  if (!refusedOffset.empty()) {
    Warn(refusedOffset + " is no usable offset (not a number, or beyond 24 hours either way); " +
         "nothing changed");
  }

  std::vector<std::string> lines = box.lines();
  // Integrating ends every line with a break, the last one too: that break ends the
  // last line here, unless the text already ended with an empty line of its own.
  if (command->first == "integrate-offset" && lines.size() > 1 && lines.back().empty() &&
      !endedBlank)
    lines.pop_back();
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size() || finalBreak) out += lineBreak;
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
    return Fail("cannot write the result");
  return 0;
}

}  // namespace lirotag
