#!/usr/bin/env bash
# Checks the installed layout and the Debian package of an existing build
# (build/ or $REELCARD_BUILD_DIR): installs into a scratch DESTDIR, runs the
# installed tools from another folder and from a moved copy of the
# installation, validates the desktop entry, the AppStream description and
# the file types, then builds the package and checks its file list.
set -euo pipefail
cd "$(dirname "$0")/.."
REELCARD_WITH_INSTALL_CHECKS=1 bash scripts/install-deps.sh
build="$(cd "${REELCARD_BUILD_DIR:-build}" && pwd)"
[ -f "$build/build.ninja" ] || { echo "check-install: no build in $build (run scripts/build.sh first)" >&2; exit 1; }
cmake --build "$build" --parallel "$(nproc)" >/dev/null

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

# The installation, with the prefix the package uses.
DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$scratch/root/usr"
multiarch="$(gcc -print-multiarch 2>/dev/null || true)"
plugins="$usr/lib${multiarch:+/$multiarch}/reelcard/plugins"
for f in bin/reelcard bin/reelcard-cli share/reelcard/default.fmt share/reelcard/formats/four-panel.fmt \
         share/reelcard/samples/mixtape.cas share/reelcard/samples/cassette.bmp share/reelcard/help/index.html \
         share/applications/reelcard.desktop share/mime/packages/reelcard.xml \
         share/metainfo/reelcard.metainfo.xml share/icons/hicolor/scalable/apps/reelcard.svg \
         share/icons/hicolor/16x16/apps/reelcard.png share/icons/hicolor/256x256/apps/reelcard.png \
         share/man/man1/reelcard.1.gz share/man/man1/reelcard-cli.1.gz; do
  [ -f "$usr/$f" ] || fail "missing $f"
done
[ -f "$plugins/pngflt32.so" ] && [ -f "$plugins/tgaflt32.so" ] || fail "plugins not in $plugins"
ls "$usr/bin" | grep -qv '^reelcard\(-cli\)\?$' && fail "unexpected files in bin: $(ls "$usr/bin")"

# The settings and user data of these runs stay in the scratch folder.
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$scratch/elsewhere" && mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen

# A liner whose picture only the PNG plugin reads: the installed icon.
"$usr/bin/reelcard-cli" export "$usr/share/reelcard/samples/mixtape.cas" -o "$scratch/pictured.json"
cp "$usr/share/icons/hicolor/48x48/apps/reelcard.png" "$scratch/icon.png"
sed -e "s|\"cassette.bmp\"|\"$scratch/icon.png\"|" \
    -e 's|"formatIndex": 0|"formatIndex": 3|' "$scratch/pictured.json" >"$scratch/pictured-png.json"
"$usr/bin/reelcard-cli" import "$scratch/pictured-png.json" -o "$scratch/pictured.cas"

run_installed() {  # prefix
  local prefix="$1"
  # Each installation is met by a first start: the program, ended in order,
  # keeps its settings, and those name the format folder of the other place.
  rm -rf "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
  ( cd "$scratch/elsewhere"
    "$prefix/bin/reelcard-cli" --version | grep -qx "reelcard-cli $version" || fail "$prefix: reelcard-cli --version"
    "$prefix/bin/reelcard" --version | grep -qx "reelcard $version" || fail "$prefix: reelcard --version"
    "$prefix/bin/reelcard-cli" render "$prefix/share/reelcard/samples/mixtape.cas" -o mixtape.png --dpi 60 \
      2>render.err || fail "$prefix: render failed: $(cat render.err)"
    [ -s mixtape.png ] && [ ! -s render.err ] || fail "$prefix: render: $(cat render.err)"
    "$prefix/bin/reelcard-cli" render "$scratch/pictured.cas" -o pictured.png --dpi 60 2>pictured.err ||
      fail "$prefix: the PNG plugin: $(cat pictured.err)"
    [ ! -s pictured.err ] || fail "$prefix: the PNG plugin: $(cat pictured.err)"
    # A liner of the earlier generation is merged into the installed default format.
    "$prefix/bin/reelcard-cli" convert "$older" -o merged.cas 2>/dev/null || fail "$prefix: convert of an older liner"
    # The program itself: it starts offscreen with the sample and keeps running.
    set +e
    timeout 4 "$prefix/bin/reelcard" "$prefix/share/reelcard/samples/mixtape.cas" >reelcard.out 2>&1
    status=$?
    set -e
    # (Qt's offscreen platform mentions what it cannot do with a window, and
    # the program says that timeout's SIGTERM ended it.)
    grep -v -e "does not support propagateSizeHints" -e "^reelcard: ending on signal 15 " reelcard.out >reelcard.err || true
    [ "$status" = 124 ] && [ ! -s reelcard.err ] || fail "$prefix: reelcard ended with $status: $(cat reelcard.out)"
    # On a display, its window shows the sample's name: the default format
    # and the sample were read without a question.
    QT_QPA_PLATFORM=xcb xvfb-run -a sh -c '
      "$1" "$2" & pid=$!
      for i in $(seq 40); do
        xdotool search --name "^mixtape.cas - Reelcard\$" >/dev/null 2>&1 && { kill $pid; exit 0; }
        sleep 0.25
      done
      kill $pid; exit 1' sh "$prefix/bin/reelcard" "$prefix/share/reelcard/samples/mixtape.cas" ||
      fail "$prefix: reelcard did not show the sample's window"
    rm -f mixtape.png pictured.png merged.cas )
}
older="$PWD/fuzz/corpus/older_version/older-plain"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
run_installed "$usr"
# A moved installation finds its data and plugins all the same.
mv "$usr" "$scratch/moved"
run_installed "$scratch/moved"
mv "$scratch/moved" "$usr"

desktop-file-validate "$usr/share/applications/reelcard.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/reelcard.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$usr/share/metainfo/reelcard.metainfo.xml"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/reelcard.metainfo.xml" || fail "metainfo version"

# The file types: by name, and a liner without an extension by its first bytes.
XDG_DATA_DIRS="$usr/share:/usr/share" update-mime-database "$usr/share/mime"
cp "$usr/share/reelcard/samples/mixtape.cas" "$scratch/elsewhere/no-extension"
for pair in "$usr/share/reelcard/samples/mixtape.cas=application/x-reelcard-cas" \
            "$usr/share/reelcard/formats/four-panel.fmt=application/x-reelcard-fmt" \
            "$scratch/elsewhere/no-extension=application/x-reelcard-cas"; do
  type="$(XDG_DATA_DIRS="$usr/share:/usr/share" xdg-mime query filetype "${pair%%=*}")"
  [ "$type" = "${pair#*=}" ] || fail "${pair%%=*} is '$type', not ${pair#*=}"
done

# The package.
( cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null )
deb="$scratch/package/reelcard_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$scratch/package.list"
for f in /usr/bin/reelcard /usr/bin/reelcard-cli "/usr/lib${multiarch:+/$multiarch}/reelcard/plugins/pngflt32.so" \
         "/usr/lib${multiarch:+/$multiarch}/reelcard/plugins/tgaflt32.so" /usr/share/reelcard/default.fmt \
         /usr/share/reelcard/samples/mixtape.cas /usr/share/reelcard/help/index.html \
         /usr/share/applications/reelcard.desktop /usr/share/mime/packages/reelcard.xml \
         /usr/share/metainfo/reelcard.metainfo.xml /usr/share/icons/hicolor/scalable/apps/reelcard.svg \
         /usr/share/icons/hicolor/48x48/apps/reelcard.png /usr/share/man/man1/reelcard-cli.1.gz; do
  grep -qx "$f" "$scratch/package.list" || fail "the package lacks $f"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for d in libqt6widgets6 libqt6network6 libdiscid0 libpng16-16 qt6-qpa-plugins fonts-liberation; do
  grep -q "$d" <<<"$depends" || fail "the package does not depend on $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
echo "check-install: $(basename "$deb"), $(wc -l <"$scratch/package.list") entries, $(du -k "$deb" | cut -f1) KB: ok"
