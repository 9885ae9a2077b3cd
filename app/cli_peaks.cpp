// lirotag-cli peaks SONG [--columns N] [--from T] [--seconds D]
// Prints the waveform strip's columns as one JSON object: the song's length, then for
// each of N columns spread evenly over the song (or over D seconds from T) the lowest
// and the highest sample, read from a decoder of its own as the editor's strip is.
// Exit status 0, or 2 on bad usage or a song that cannot be opened.

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "app/cli_commands.h"
#include "audio/engine_module.h"
#include "audio/peaks.h"

namespace lirotag {
namespace {

constexpr long kMaxColumns = 1000000;

bool ParseNumber(const char* s, double* out) {
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s || *end != '\0' || !(v >= 0) || v > 1e12) return false;
  *out = v;
  return true;
}

}  // namespace

const char kPeaksHelp[] =
    "peaks   prints {\"length\": seconds, \"columns\": [[min, max], ...]}: the lowest and\n"
    "        the highest sample of each of N columns (--columns, 1000 unless given)\n"
    "        spread over the song, or over D seconds (--seconds) from T (--from).\n";

int RunPeaksCommand(int argc, char** argv) {
  std::string song;
  double columns = 1000, from = 0, seconds = -1;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--columns" || a == "--from" || a == "--seconds") {
      double* v = a == "--columns" ? &columns : a == "--from" ? &from : &seconds;
      if (i + 1 >= argc || !ParseNumber(argv[++i], v))
        return Usage(a + " needs a number, 0 or more");
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else if (song.empty()) {
      song = a;
    } else {
      return Usage("more than one song given");
    }
  }
  if (song.empty()) return Usage("no song given");
  if (columns < 1 || columns > kMaxColumns || columns != static_cast<long>(columns))
    return Usage("--columns needs a whole number from 1 to 1000000");
  std::string why;
  if (!LoadEngineModule(&why)) return Fail("cannot load the audio engine: " + why);
  std::mutex mu;
  std::condition_variable cv;
  auto table = PeakTable::Start(song, [&] {
    std::lock_guard<std::mutex> lk(mu);
    cv.notify_all();
  });
  if (!table) return Fail("cannot open " + song + ": unreadable, or not a song this program plays");
  {
    std::unique_lock<std::mutex> lk(mu);
    cv.wait(lk, [&] { return table->Done(); });
  }
  const double length = table->Seconds();
  if (seconds < 0) seconds = length - from;
  const int n = static_cast<int>(columns);
  std::string out;
  out.reserve(static_cast<size_t>(n) * 24 + 64);
  char buf[64];
  std::snprintf(buf, sizeof buf, "{\"length\": %.6f, \"columns\": [", length);
  out += buf;
  const auto cols = table->Columns(from, from + seconds, n);
  for (int c = 0; c < n; ++c) {
    std::snprintf(buf, sizeof buf, "%s[%.5f, %.5f]", c ? ", " : "", cols[c].min, cols[c].max);
    out += buf;
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

}  // namespace lirotag
