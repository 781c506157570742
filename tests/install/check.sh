#!/usr/bin/env bash
# Kelpie installed as a desktop would see it. Usage:
#   tests/install/check.sh BUILD_DIR [MINGW_BUILD_DIR]
# From BUILD_DIR (a native build): `cmake --install` into a scratch prefix,
# then the entry and AppStream data validate, the desktop names our type for
# a screen file (also beside another type claiming *.scr) and Kelpie as its
# application, the installed thumbnailer command writes a thumbnail of the
# asked size, the icons match their SVG; the .deb passes lintian, its
# Depends resolve on a bare system, and it installs and purges cleanly in a
# scratch root. From MINGW_BUILD_DIR: the .zip holds the programs and the
# README. Every check runs; the status is 1 if any failed.
set -euo pipefail

build=$(cd "$1" && pwd)
mingw_build=${2:+$(cd "$2" && pwd)}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
app_id=org.kelpie.Kelpie
screen_type=image/x-zx-spectrum-screen

work=$(mktemp -d "${TMPDIR:-/tmp}/kelpie-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
pass() { echo "ok    $*"; }
fail() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}
# expect DESCRIPTION EXPECTED ACTUAL
expect() {
  if [ "$2" = "$3" ]; then pass "$1: ${3:-(none)}"; else fail "$1: expected '$2', got '$3'"; fi
}

# Width and height of a PNG, from its IHDR chunk ("" when not a PNG).
png_size() {
  [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return 0
  local bytes
  read -ra bytes <<<"$(od -An -tu1 -j16 -N8 "$1")"
  echo "$(((bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]))x$(((bytes[4] << 24) | (bytes[5] << 16) | (bytes[6] << 8) | bytes[7]))"
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
share=$prefix/share
installed_files=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)

for file in bin/kelpie bin/kelpie-render share/applications/$app_id.desktop \
  share/metainfo/$app_id.metainfo.xml share/mime/packages/$app_id.xml \
  share/thumbnailers/kelpie.thumbnailer share/icons/hicolor/scalable/apps/$app_id.svg \
  share/man/man1/kelpie.1.gz share/man/man1/kelpie-render.1.gz; do
  [ -f "$prefix/$file" ] || fail "installed: $file is missing"
done

if desktop-file-validate "$share/applications/$app_id.desktop"; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate"
fi
if appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log"; then
  pass "appstreamcli validate --no-net"
else
  cat "$work/appstream.log"
  fail "appstreamcli validate --no-net"
fi

# The caches a package's triggers would build.
# (XDG_DATA_DIRS names them, or update-mime-database warns that it does not.)
XDG_DATA_DIRS="$share" update-mime-database "$share/mime"
update-desktop-database "$share/applications"

# A bare session: no user settings, GNOME's way of typing files (xdg-mime asks
# gio, which reads the shared-mime-info databases on XDG_DATA_DIRS; without a
# desktop it asks file(1), which knows nothing of them), the default
# application from mimeinfo.cache (there is no mimeapps.list).
mkdir -p "$work/home/config" "$work/home/data" "$work/config-dirs" "$work/files"
session() {
  env -i PATH="$prefix/bin:$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" \
    XDG_DATA_HOME="$work/home/data" XDG_CONFIG_DIRS="$work/config-dirs" \
    XDG_CURRENT_DESKTOP=GNOME GIO_USE_VFS=local "$@"
}
cp "$source_dir/samples/testcard.scr" "$work/files/testcard.scr"
expect "xdg-mime query filetype testcard.scr" "$screen_type" \
  "$(session XDG_DATA_DIRS="$share:/usr/share" xdg-mime query filetype "$work/files/testcard.scr")"
expect "xdg-mime query default $screen_type" "$app_id.desktop" \
  "$(session XDG_DATA_DIRS="$share:/usr/share" xdg-mime query default "$screen_type")"

# Another type claiming *.scr, as for screensavers: an executable (magic
# "MZ") keeps its type, a screen (no magic) stays ours, whichever comes first.
other=$work/other/share
mkdir -p "$other/mime/packages"
cat >"$other/mime/packages/screensaver.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-ms-dos-executable"><glob pattern="*.scr"/></mime-type>
</mime-info>
XML
XDG_DATA_DIRS="$other" update-mime-database "$other/mime"
{
  printf 'MZ\x90\x00\x03\x00\x00\x00'
  head -c 1016 /dev/zero
} >"$work/files/saver.scr"
for dirs in "$share:$other:/usr/share" "$other:$share:/usr/share"; do
  order=$([ "${dirs%%:*}" = "$share" ] && echo "ours first" || echo "other first")
  expect "beside another *.scr type ($order): testcard.scr" "$screen_type" \
    "$(session XDG_DATA_DIRS="$dirs" xdg-mime query filetype "$work/files/testcard.scr")"
  expect "beside another *.scr type ($order): saver.scr" application/x-ms-dos-executable \
    "$(session XDG_DATA_DIRS="$dirs" xdg-mime query filetype "$work/files/saver.scr")"
done

# The thumbnailer's command as a file manager runs it: Exec split into words,
# %s the size, %i the input path (with a space), %o the output PNG.
exec_line=$(sed -n 's/^Exec=//p' "$share/thumbnailers/kelpie.thumbnailer")
expect "thumbnailer MimeType" "$screen_type;" \
  "$(sed -n 's/^MimeType=//p' "$share/thumbnailers/kelpie.thumbnailer")"
cp "$source_dir/samples/testcard.scr" "$work/files/test card.scr"
for size in 128 256; do
  output=$work/files/thumbnail-$size.png
  command=()
  read -ra words <<<"$exec_line"
  for word in "${words[@]}"; do
    case $word in
      %s) command+=("$size") ;;
      %i) command+=("$work/files/test card.scr") ;;
      %o) command+=("$output") ;;
      *) command+=("$word") ;;
    esac
  done
  if session timeout 120 "${command[@]}"; then
    # 768 x 576 fitted into size x size.
    expect "thumbnail at size $size" "${size}x$((size * 3 / 4))" "$(png_size "$output")"
  else
    fail "thumbnailer command at size $size: ${command[*]}"
  fi
done

# Each PNG icon: square of its folder's size, the SVG's picture.
for png in "$share"/icons/hicolor/*x*/apps/"$app_id".png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  rsvg-convert --width "${size%x*}" --height "${size%x*}" \
    "$share/icons/hicolor/scalable/apps/$app_id.svg" --output "$work/icon.png"
  if [ "$(png_size "$png")" = "$size" ] &&
    compare -metric AE -fuzz 2% "$png" "$work/icon.png" null: 2>/dev/null; then
    pass "icon $size"
  else
    fail "icon $size: not a $size rendering of the SVG (packaging/icons/render-pngs.sh)"
  fi
done

# The .deb.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack -G DEB"
  exit 1
fi
deb=$(echo "$work"/deb/kelpie_*.deb)
echo "      $(basename "$deb"): Depends: $(dpkg-deb --field "$deb" Depends)"
if lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
  pass "lintian: no errors"
  grep -E '^[EWI]:' "$work/lintian.log" | sed 's/^/      /' || true
else
  cat "$work/lintian.log"
  fail "lintian: errors"
fi

# Depends resolved from the archive for a system with nothing installed (an
# empty dpkg status): apt's plan for `apt install ./kelpie_*.deb` there.
: >"$work/empty-status"
if apt-get install --simulate -o Dir::State::status="$work/empty-status" "$deb" \
  >"$work/apt.log" 2>&1 && grep -q '^Inst kelpie ' "$work/apt.log"; then
  pass "apt install on a bare system resolves ($(grep -c '^Inst ' "$work/apt.log") packages)"
else
  tail -n 20 "$work/apt.log"
  fail "apt cannot install the .deb on a bare system (are apt's package lists there?)"
fi

# Install and purge in a scratch root. The package has no maintainer scripts
# (the desktop caches are the owners' triggers), so nothing has to run inside
# the root: dpkg --root only unpacks and records. Its dependencies are not in
# the root (--force-depends); fakeroot gives a non-root user root's file owners.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
: >"$root/var/lib/dpkg/status"
: >"$root/var/lib/dpkg/available"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(fakeroot)
scratch_dpkg() {
  PATH="$PATH:/usr/sbin:/sbin" "${as_root[@]}" dpkg --root="$root" --log="$work/dpkg.log" \
    --force-not-root --force-depends "$@"
}
deb_files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub("^\\./usr/", "", $6); print $6 }' | sort)
if [ "$deb_files" = "$installed_files" ]; then
  pass "the .deb carries what cmake --install installs ($(echo "$deb_files" | wc -l) files)"
else
  fail "the .deb and cmake --install differ:"
  diff <(echo "$installed_files") <(echo "$deb_files") || true
fi
if scratch_dpkg --install "$deb" >"$work/dpkg-install.log" 2>&1; then
  status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' kelpie)
  expect "dpkg --install in a scratch root" "install ok installed" "$status"
  missing=$(dpkg-query --admindir="$root/var/lib/dpkg" -L kelpie | while read -r path; do
    [ -e "$root$path" ] || echo "$path"
  done)
  expect "packaged files missing from the root" "" "$missing"
else
  cat "$work/dpkg-install.log"
  fail "dpkg --install in a scratch root"
fi
if scratch_dpkg --purge kelpie >"$work/dpkg-purge.log" 2>&1; then
  expect "files left after dpkg --purge" "" "$(find "$root/usr" -mindepth 1 2>/dev/null)"
  expect "package left after dpkg --purge" "" \
    "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' kelpie 2>/dev/null || true)"
else
  cat "$work/dpkg-purge.log"
  fail "dpkg --purge in a scratch root"
fi

# The Windows .zip.
if [ -n "$mingw_build" ]; then
  cpack -G ZIP --config "$mingw_build/CPackConfig.cmake" -B "$work/zip" >"$work/cpack-zip.log" 2>&1 ||
    cat "$work/cpack-zip.log"
  zip=$(echo "$work"/zip/kelpie-*.zip)
  expect "$(basename "$zip") holds" "README.txt kelpie-render.exe kelpie.exe" \
    "$(cmake -E tar tf "$zip" | sed -n 's|^[^/]*/\([^/]\+\)$|\1|p' | sort | xargs)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures install check(s) failed"
  exit 1
fi
echo "all install checks passed"
