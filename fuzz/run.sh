#!/usr/bin/env bash
# Builds the fuzzers with clang into BUILD_DIR and runs each for SECONDS (the tag readers
# and the subtitle readers and writers), seeded from the test fixtures, the kept regression
# inputs and the tag libraries' test data when present. Exits non-zero on the first
# finding (its input is left in BUILD_DIR).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?build dir}"
seconds="${2:-8}"
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
"$build/fuzz_seeds" "$build/seeds"
shared="$here/../../shared/corpus/tag-libraries"
for reader in id3v2 id3v1 ape asf mp4 flac ogg; do
  mkdir -p "$build/corpus/$reader" "$build/findings"
  extra=()
  for d in "$here/../tests/tags/regressions" "$shared/taglib" "$shared/mutagen"; do
    [ -d "$d" ] && extra+=("$d")
  done
  echo "fuzz_$reader: ${seconds}s"
  "$build/fuzz_$reader" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=5 \
    -artifact_prefix="$build/findings/$reader-" -print_final_stats=0 \
    "$build/corpus/$reader" "$build/seeds/$reader" "${extra[@]}" 2>"$build/$reader.log" ||
    { tail -40 "$build/$reader.log"; exit 1; }
done
# The subtitle readers and writers, also seeded with the real lyric files.
mkdir -p "$build/corpus/subtitles"
extra=()
[ -d "$here/../../shared/corpus/lrc" ] && extra+=("$here/../../shared/corpus/lrc")
echo "fuzz_subtitles: ${seconds}s"
"$build/fuzz_subtitles" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=5 \
  -artifact_prefix="$build/findings/subtitles-" -print_final_stats=0 \
  "$build/corpus/subtitles" "$build/seeds/subtitles" "${extra[@]}" 2>"$build/subtitles.log" ||
  { tail -40 "$build/subtitles.log"; exit 1; }
