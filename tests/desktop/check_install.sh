#!/bin/bash
# Installs the build into a staging folder and checks what a desktop sees of it: exactly the
# expected files, launcher entry, document type and AppStream data that agree with each other
# and pass the freedesktop validators, icons of the sizes their folders name, and the
# document type recognised by xdg-mime once the MIME package is installed for a user; and that
# an install without DESTDIR refreshes the MIME database and opener cache under its prefix.
#
# check_install.sh BUILD_DIR PROJECT_VERSION WITH_UI
# The validators and xdg-mime are used when present; a missing one is reported as skipped.
set -euo pipefail

build=$1
version=$2
with_ui=$3

app_id=example.quillworks.velmora
mime_type=application/x-velmora-trm
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
stage=$work/stage
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

skip() {
  echo "SKIPPED: $*"
}

# --- install ---------------------------------------------------------------------------
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log"
share=$stage/usr/share

{
  echo ./usr/bin/trmtool
  if [ "$with_ui" = ON ]; then
    echo ./usr/bin/velmora
    echo "./usr/share/applications/$app_id.desktop"
    for size in 16 32 48 64 128 256; do
      echo "./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    done
    echo "./usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    echo "./usr/share/metainfo/$app_id.metainfo.xml"
    echo "./usr/share/mime/packages/$app_id.xml"
  fi
} | LC_ALL=C sort >"$work/expected"
(cd "$stage" && find . ! -type d | LC_ALL=C sort) >"$work/actual"
diff -u "$work/expected" "$work/actual" || fail "the staging folder does not hold exactly the expected files"

for program in "$stage"/usr/bin/*; do
  [ -x "$program" ] || fail "$program is not executable"
done

if [ "$with_ui" != ON ]; then
  [ "$failures" -eq 0 ] || exit 1
  echo "Built without the UI: only trmtool is installed; the desktop files were not checked."
  exit 0
fi

# --- the files agree with each other ---------------------------------------------------
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
mime_package=$share/mime/packages/$app_id.xml

desktop_value() {
  sed -n "s/^$1=//p" "$desktop"
}
[ "$(desktop_value Name)" = ヴェルモラ ] || fail "launcher name is '$(desktop_value Name)'"
[ "$(desktop_value Exec)" = "velmora %f" ] || fail "launcher command is '$(desktop_value Exec)'"
[ "$(desktop_value MimeType)" = "$mime_type;" ] || fail "launcher types are '$(desktop_value MimeType)'"
[ "$(desktop_value Icon)" = "$app_id" ] || fail "launcher icon is '$(desktop_value Icon)'"
grep -q "<mime-type type=\"$mime_type\">" "$mime_package" || fail "the MIME package does not define $mime_type"
grep -q '<glob pattern="\*\.trm"/>' "$mime_package" || fail "the MIME package has no *.trm glob"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the AppStream data does not launch $app_id.desktop"
grep -q "<mediatype>$mime_type</mediatype>" "$metainfo" || fail "the AppStream data does not list $mime_type"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream data has no release $version"

# A PNG's width and height are the big-endian words at offsets 16 and 20.
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}
for icon in "$share"/icons/hicolor/*x*/apps/$app_id.png; do
  folder=$(basename "$(dirname "$(dirname "$icon")")")
  [ "$(png_size "$icon")" = "$folder" ] || fail "$icon is $(png_size "$icon"), not $folder"
done

# --- validators ------------------------------------------------------------------------
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the launcher entry"
else
  skip "desktop-file-validate is not installed (Debian package desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the AppStream data"
else
  skip "appstreamcli is not installed (Debian package appstream)"
fi

# --- the document type as a desktop sees it --------------------------------------------
if ! command -v update-mime-database >/dev/null; then
  skip "update-mime-database is not installed (Debian package shared-mime-info)"
elif ! command -v xdg-mime >/dev/null || ! command -v mimetype >/dev/null; then
  skip "xdg-mime or mimetype is not installed (Debian packages xdg-utils, libfile-mimeinfo-perl)"
elif [ ! -f /usr/share/mime/packages/freedesktop.org.xml ]; then
  skip "the freedesktop.org base types are not installed (Debian package shared-mime-info)"
else
  # Base types in a system folder of our own, so that a copy of the package installed on this
  # machine cannot make the check pass; then ours for the user alone.
  mkdir -p "$work/system/mime/packages" "$work/home/mime/packages" "$work/home/applications" \
    "$work/config" "$work/runtime" "$work/files"
  cp /usr/share/mime/packages/freedesktop.org.xml "$work/system/mime/packages/"
  in_session() {
    env -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID -u MATE_DESKTOP_SESSION_ID -u DESKTOP_SESSION \
      XDG_CURRENT_DESKTOP=X-Generic XDG_RUNTIME_DIR="$work/runtime" \
      XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/config" \
      XDG_DATA_DIRS="$work/system" XDG_DATA_HOME="$work/home" "$@"
  }
  filetype() {
    in_session xdg-mime query filetype "$1"
  }
  in_session update-mime-database "$work/system/mime"

  # A real version-2 document, made by the installed trmtool from an older one.
  printf '<?xml version="1.0" encoding="UTF-8"?><node name="ルート"><text>メモ\r\n</text><node name="子"><text/></node></node>' \
    >"$work/files/old.trm"
  "$stage/usr/bin/trmtool" convert "$work/files/old.trm" "$work/files/x.trm" --encoding sjis
  case $(head -c 80 "$work/files/x.trm") in
    '<?xml version="1.0" encoding="Shift_JIS"?><velmora><file version="2"'*) ;;
    *) fail "trmtool did not write a version-2 document" ;;
  esac
  cp "$work/files/x.trm" "$work/files/unnamed"
  printf '<?xml version="1.0" encoding="UTF-8"?><notes><note/></notes>' >"$work/files/other"

  [ "$(filetype "$work/files/x.trm")" != "$mime_type" ] ||
    fail "x.trm was already $mime_type before the package was installed"

  cp "$mime_package" "$work/home/mime/packages/"
  in_session update-mime-database "$work/home/mime"
  [ "$(filetype "$work/files/x.trm")" = "$mime_type" ] ||
    fail "x.trm is '$(filetype "$work/files/x.trm")', not $mime_type"
  [ "$(filetype "$work/files/unnamed")" = "$mime_type" ] ||
    fail "a document without the extension is '$(filetype "$work/files/unnamed")', not $mime_type"
  [ "$(filetype "$work/files/other")" = application/xml ] ||
    fail "other XML without the extension is '$(filetype "$work/files/other")', not application/xml"

  # The launcher entry makes Velmora the program that opens the type.
  if command -v update-desktop-database >/dev/null; then
    cp "$desktop" "$work/home/applications/"
    in_session update-desktop-database "$work/home/applications"
    opener=$(in_session xdg-mime query default "$mime_type")
    [ "$opener" = "$app_id.desktop" ] || fail "$mime_type opens with '$opener', not $app_id.desktop"
  else
    skip "update-desktop-database is not installed (Debian package desktop-file-utils)"
  fi
fi

# --- a direct install refreshes the caches under its prefix ----------------------------
env -u DESTDIR cmake --install "$build" --prefix "$work/prefix" >"$work/direct-install.log" 2>&1 ||
  fail "the direct install failed: $(cat "$work/direct-install.log")"
if command -v update-mime-database >/dev/null; then
  grep -q "^$mime_type:\*\.trm$" "$work/prefix/share/mime/globs" ||
    fail "the direct install did not register *.trm in its MIME database"
else
  skip "update-mime-database is not installed: the MIME database of a direct install was not checked"
fi
if command -v update-desktop-database >/dev/null; then
  grep -qx "$mime_type=$app_id.desktop;" "$work/prefix/share/applications/mimeinfo.cache" ||
    fail "the direct install did not make Velmora the opener of $mime_type"
else
  skip "update-desktop-database is not installed: the opener cache of a direct install was not checked"
fi

[ "$failures" -eq 0 ]
