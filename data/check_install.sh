#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the tree as a desktop and a
# user would: every file in its place, the desktop entry, file type and metadata valid,
# the installed programs running and finding their skins.
set -euo pipefail
build=$1 datadir=$2 libdir=$3 version=$4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=/usr/local
DESTDIR=$root cmake --install "$build" --prefix "$prefix" >/dev/null
p=$root$prefix
fail() { echo "install_test: $*" >&2; exit 1; }
for f in bin/lirotag bin/lirotag-cli \
         "$datadir/applications/lirotag.desktop" "$datadir/mime/packages/lirotag.xml" \
         "$datadir/metainfo/io.github.lirotag.Lirotag.metainfo.xml" \
         "$datadir/icons/hicolor/scalable/apps/lirotag.svg" \
         "$datadir/icons/hicolor/48x48/apps/lirotag.png" \
         "$datadir/icons/hicolor/256x256/apps/lirotag.png" \
         "$datadir/man/man1/lirotag-cli.1" "$datadir/man/man1/lirotag.1" \
         "$datadir/lirotag/Skin/浅色.she" "$datadir/lirotag/Skin/深色.she"; do
  [ -e "$p/$f" ] || fail "missing $f"
done
[ -d "$p/$libdir/lirotag/Plugins" ] || fail "missing the plug-in folder"
[ -f "$p/$libdir/lirotag/liblirotag_engine.so" ] || fail "missing the audio engine"
desktop-file-validate "$p/$datadir/applications/lirotag.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$p/$datadir/metainfo/io.github.lirotag.Lirotag.metainfo.xml" \
  >/dev/null || fail "metainfo"
grep -q 'glob pattern="\*.lrc"' "$p/$datadir/mime/packages/lirotag.xml" || fail "mime type"
head -1 "$p/$datadir/man/man1/lirotag-cli.1" | grep -q "^\.TH LIROTAG-CLI 1 .*\"Lirotag $version\"" ||
  fail "manual page"
# The newest release the metadata lists is this one.
grep -m1 '<release ' "$p/$datadir/metainfo/io.github.lirotag.Lirotag.metainfo.xml" |
  grep -q "version=\"$version\"" || fail "metainfo's newest release is not $version"
"$p/bin/lirotag-cli" --help >/dev/null || fail "lirotag-cli --help"
# The installed programs find their engine without help from the build folder.
sox -n -r 8000 -c 1 "$root/tone.wav" synth 0.5 sine 440
"$p/bin/lirotag-cli" probe "$root/tone.wav" | grep -q "^sample_rate: 8000" ||
  fail "lirotag-cli does not find its audio engine"
paths=$(QT_QPA_PLATFORM=offscreen "$p/bin/lirotag" --paths)
echo "$paths" | grep -qx "skins: $p/$datadir/lirotag/Skin" || fail "skins not found: $paths"
echo "$paths" | grep -qx "plugins: $p/$libdir/lirotag/Plugins" || fail "plug-ins not found: $paths"
