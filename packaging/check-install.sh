#!/usr/bin/env bash
# Install check (CTest "install_tree"): installs a build tree into a temporary
# root with the package's prefix, lists what arrived and fails when a file is
# missing, an installed program does not answer --version and --help, the
# desktop entry lacks a key, the data file type does not name the type the
# entry opens, or an icon is not the size its folder names.
#   check-install.sh BUILD_DIR VERSION [--desktop] PROGRAM...
set -euo pipefail

build="$1"
version="$2"
shift 2
desktop=0
if [ "${1:-}" = "--desktop" ]; then
  desktop=1
  shift
fi
programs=("$@")

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
prefix=/usr
DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >/dev/null

echo "installed into $root$prefix:"
(cd "$root" && find . -mindepth 1 \( -type f -o -type l \) | sed 's|^\./|  /|' | sort)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expected=("$prefix/share/doc/gpsupdate/README.md" "$prefix/share/doc/gpsupdate/docs/operator.md")
for program in "${programs[@]}"; do
  expected+=("$prefix/bin/$program")
done
icon_sizes=(16 22 24 32 48 64 128 256)
if ((desktop)); then
  expected+=("$prefix/share/applications/gpsupdate.desktop"
             "$prefix/share/mime/packages/gpsupdate.xml"
             "$prefix/share/icons/hicolor/scalable/apps/gpsupdate.svg")
  for size in "${icon_sizes[@]}"; do
    expected+=("$prefix/share/icons/hicolor/${size}x${size}/apps/gpsupdate.png")
  done
  for program in "${programs[@]}"; do
    if [ "$program" = gpsupdate-history ]; then
      expected+=("$prefix/share/applications/gpsupdate-history.desktop")
    fi
    [ "$program" = gpsupdate-station ] &&
      expected+=("$prefix/share/applications/gpsupdate-station.desktop")
  done
fi
for file in "${expected[@]}"; do
  [ -s "$root$file" ] || fail "missing $file"
done

# Each installed program runs from where it was installed and answers the
# two information options (neither needs a display).
for program in "${programs[@]}"; do
  bin="$root$prefix/bin/$program"
  [ -x "$bin" ] || continue
  answer="$("$bin" --version 2>&1)" || fail "$program --version exits with $?"
  [ "$answer" = "$program $version" ] ||
    fail "$program --version says \"$answer\", expected \"$program $version\""
  help="$("$bin" --help 2>&1)" || fail "$program --help exits with $?"
  case "$help" in
    *"$program"*) ;;
    *) fail "$program --help does not name the program" ;;
  esac
done

if ((desktop)); then
  entry="$root$prefix/share/applications/gpsupdate.desktop"
  for key in Type=Application 'Name=' 'Name\[zh_TW\]=' 'Comment=' 'Icon=gpsupdate$' \
             'Exec=gpsupdate %f$' 'Categories=' 'MimeType=application/x-gpsupdate-apd;$'; do
    grep -q "^$key" "$entry" || fail "the desktop entry has no line ${key//\\/}"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
    station="$root$prefix/share/applications/gpsupdate-station.desktop"
    if [ -e "$station" ]; then
      desktop-file-validate "$station" || fail "desktop-file-validate rejects the station's entry"
    fi
  fi
  # The type the entry opens is the one the package registers for *.apd.
  mime="$root$prefix/share/mime/packages/gpsupdate.xml"
  if [ -s "$mime" ]; then
    grep -q '<mime-type type="application/x-gpsupdate-apd">' "$mime" &&
      grep -q '<glob pattern="\*.apd"/>' "$mime" ||
      fail "the data file type does not register *.apd as application/x-gpsupdate-apd"
  fi
  # PNG: the width and height are the big-endian words at bytes 16 and 20.
  for size in "${icon_sizes[@]}"; do
    png="$root$prefix/share/icons/hicolor/${size}x${size}/apps/gpsupdate.png"
    [ -s "$png" ] || continue
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))
    height=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
      fail "icon ${size}x${size} is ${width}x${height}"
  done
fi

if ((failures)); then
  echo "install check: $failures failure(s)" >&2
  exit 1
fi
echo "install check: ${#expected[@]} files present, ${#programs[@]} programs answer --version $version"
