#!/usr/bin/env bash
# Builds the Debian package from the build folder (cpack on the tree already built), unpacks it
# into a temporary root and checks it there: every file in its place and nothing else, the
# desktop entry, AppStream metadata and manual page accepted by their tools, the command line
# answered without a display, and a first start through the bin/ link that builds the address
# book and hands over the help file beside the real program. Changes nothing on the machine.
set -uo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Each tool with the Debian package that brings it; scripts/deps.sh installs them all.
for tool in cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev desktop-file-validate:desktop-file-utils \
  appstreamcli:appstream lexgrog:man-db xdg-mime:xdg-utils xchm:xchm sqlite3:sqlite3 file:file; do
  command -v "${tool%%:*}" >/dev/null || fail "${tool%%:*} is missing (${tool#*:}): run scripts/deps.sh"
done

build=${VC_BUILD_DIR:?VC_BUILD_DIR must name the build folder}
plugins=${VC_PLUGIN_DIR:?VC_PLUGIN_DIR must name the test plugins folder}
id=${VC_APP_ID:?}
version=${VC_VERSION:?}
work=$(mktemp -d)
# All the program's runs start from an empty environment, keeping only the search path and, in a
# sanitizer build, where the sanitizers report.
base=(PATH="$PATH")
for v in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  [ -z "${!v:-}" ] || base+=("$v=${!v}")
done
trap 'rm -rf "$work"' EXIT

# The package, from the build as it stands.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack could not build the package"; }
deb="$work/out/vellicard_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls -l "$work/out"; fail "no $(basename "$deb")"; }

# Dependencies computed from the program, a help viewer and the opener recommended.
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
for lib in libc6 libqt6widgets6 libqt6printsupport6 libsqlite3-0 libqt6keychain1 libsecret-1-0; do
  [[ $depends == *"$lib ("* ]] || fail "Depends does not name $lib: $depends"
done
for pkg in xchm xdg-utils; do
  [[ ", $recommends," == *", $pkg,"* ]] || fail "Recommends does not name $pkg: $recommends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb cannot unpack the package"

# Every file the package holds, what it must be, and nothing else.
expected=$(
  cat <<EOF
program usr/lib/vellicard/vellicard
chm     usr/lib/vellicard/help.chm
link    usr/bin/vellicard ../lib/vellicard/vellicard
file    usr/share/applications/$id.desktop
png     usr/share/icons/hicolor/48x48/apps/$id.png 48
png     usr/share/icons/hicolor/128x128/apps/$id.png 128
png     usr/share/icons/hicolor/256x256/apps/$id.png 256
svg     usr/share/icons/hicolor/scalable/apps/$id.svg
file    usr/share/metainfo/$id.metainfo.xml
file    usr/share/man/man1/vellicard.1
file    usr/share/doc/vellicard/copyright
EOF
)
while read -r kind path extra; do
  f="$root/$path"
  case $kind in
    program) [ -f "$f" ] && [ -x "$f" ] && file -b "$f" | grep -q ELF ;;
    chm) [ -f "$f" ] && [ "$(head -c 4 "$f")" = ITSF ] ;;
    link) [ -L "$f" ] && [ "$(readlink "$f")" = "$extra" ] ;;
    png) [ -f "$f" ] && file -b "$f" | grep -q "^PNG image data, $extra x $extra," ;;
    svg) [ -f "$f" ] && grep -q '<svg' "$f" ;;
    file) [ -f "$f" ] && [ -s "$f" ] ;;
  esac || fail "$path is missing or not a $kind ${extra:-}"
done <<<"$expected"
diff <(cut -c9- <<<"$expected" | cut -d' ' -f1 | sort) \
  <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) >"$work/files.diff" ||
  { cat "$work/files.diff"; fail "the package holds other files than these (< expected, > found)"; }

# The desktop's tools accept the menu entry, the metadata and the manual page.
desktop="$root/usr/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
grep -qx 'Exec=vellicard' "$desktop" || fail "the menu entry does not start vellicard"
grep -qx "Icon=$id" "$desktop" || fail "the menu entry does not name the icon $id"
for category in Office ContactManagement; do
  grep -qE "^Categories=(.*;)?$category;" "$desktop" || fail "the menu entry is not in $category"
done
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metadata"
# The metadata, menu entry and icons together: the launchable and the icon are found.
appstreamcli validate-tree --no-net "$root/usr" || fail "appstreamcli rejects the installed tree"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata names no release $version"
lexgrog "$root/usr/share/man/man1/vellicard.1" | grep -q 'vellicard - ' ||
  fail "the manual page has no NAME line"
warnings=$(LC_ALL=C.UTF-8 man --warnings -l -Tutf8 "$root/usr/share/man/man1/vellicard.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page does not format cleanly: $warnings"

# The command line, answered without any display and without touching the data folder.
program="$root/usr/bin/vellicard"
cmdhome="$work/cmdhome"
mkdir -p "$cmdhome"
while IFS='|' read -r args want stream pattern; do
  # shellcheck disable=SC2086  # args split into words on purpose
  env -i "${base[@]}" HOME="$cmdhome" timeout 120 "$program" $args >"$work/out.txt" 2>"$work/err.txt"
  status=$?
  [ "$status" = "$want" ] || fail "vellicard $args: status $status, not $want ($(cat "$work/err.txt"))"
  grep -qE -- "$pattern" "$work/$stream.txt" ||
    fail "vellicard $args: '$pattern' not in std$stream: $(cat "$work/$stream.txt")"
  [ ! -e "$cmdhome/QuorvaSoftWare" ] || fail "vellicard $args created the data folder"
done <<EOF
--version|0|out|^Vellicard $version\$
--help|0|out|--version
--bogus|2|err|Unknown option 'bogus'
stray|2|err|Unexpected argument 'stray'
--version --bogus|2|err|Unknown option 'bogus'
EOF

# A first start through the bin/ link: the address book is built, and Help hands the desktop the
# help file beside the real program. The driver plugin chooses Help and closes the window once
# the stand-in opener has written down what it was given.
mkdir -p "$work/fakebin" "$work/home"
cat >"$work/fakebin/xdg-open" <<'EOF'
#!/bin/sh
printf '%s\n' "$1" >"$VC_OPENED_FILE.part" && mv "$VC_OPENED_FILE.part" "$VC_OPENED_FILE"
EOF
chmod +x "$work/fakebin/xdg-open"
env -i "${base[@]}" PATH="$work/fakebin:$PATH" HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  QT_PLUGIN_PATH="$plugins" QT_QPA_GENERIC_PLUGINS=vc_helpdriver VC_OPENED_FILE="$work/opened" \
  timeout 300 "$program" >"$work/run.log" 2>&1
status=$?
[ "$status" = 0 ] || { cat "$work/run.log"; fail "the first start through the link ended with status $status"; }
db="$work/home/QuorvaSoftWare/Vellicard2/Vellicard.db"
[ "$(sqlite3 "$db" 'SELECT count(*) FROM Customers' 2>&1)" = 3 ] ||
  fail "the first start did not build the address book with its three contacts at $db"
want="$(readlink -f "$root/usr/lib/vellicard")/help.chm"
[ "$(cat "$work/opened")" = "$want" ] || fail "Help handed over '$(cat "$work/opened")', not $want"

# With the viewer installed, the desktop has a program for the help file the window hands over.
mimehome="$work/mimehome"
mkdir -p "$mimehome"
type=$(env -i "${base[@]}" HOME="$mimehome" xdg-mime query filetype "$want")
[ "$type" = application/vnd.ms-htmlhelp ] || fail "help.chm is taken for '$type'"
viewer=$(env -i "${base[@]}" HOME="$mimehome" xdg-mime query default application/vnd.ms-htmlhelp)
[ -n "$viewer" ] || fail "no program is registered for application/vnd.ms-htmlhelp"
[ -f "/usr/share/applications/$viewer" ] || fail "the registered viewer $viewer has no desktop entry"
echo "package: $(basename "$deb"), Depends: $depends; Recommends: $recommends; help viewer: $viewer"
