#!/usr/bin/env bash
# Builds the converter and runs it on a sample installation of the
# launcher, in a throwaway Wine prefix (never your own).
# With a display (and not under CI) the converter opens on it for you to
# use. Without one it runs under Xvfb, answered automatically: every
# message is printed, then the new vaxu.ini and vaxu_cmd.txt, and a
# picture of each window is saved in build/demo/shots (the README's
# pictures are asked-01-dialog, asked-02-dialog-typed and detected-01-message).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
install_deps "$@"

# The program users get is the 32-bit build. Where 32-bit programs cannot
# start (install-deps.sh has said why), the 64-bit build is shown instead.
if [ "${VAXU_WIN32:-yes}" = yes ]; then
  preset=win32
  echo "== building the converter (mingw-w64, 32-bit: the program users get)"
else
  preset=win64
  echo "== building the converter (mingw-w64, 64-bit): 32-bit programs cannot start here, so this"
  echo "   shows the 64-bit build, not the 32-bit program users get"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target vaxuconv vaxu_demo >/dev/null

demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo/shots"
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
bin=$PWD/build/$preset/bin
wine=$(loader_for "$bin/VaxuConverter.exe")
sjis() { iconv -f UTF-8 -t CP932 | sed 's/$/\r/'; }
utf8() { iconv -f CP932 -t UTF-8 | tr -d '\r'; }

interactive=false
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then interactive=true; fi
if ! $interactive; then
  start_xvfb
fi
trap 'stop_wine "$WINEPREFIX"; $interactive || stop_xvfb' EXIT

# Fonts as on Japanese Windows; under Xvfb a fixed desktop for the pictures.
# The launcher's installer is a 32-bit program: its HKLM values are in the
# 32-bit view. Caption buttons are Marlett glyphs: Wine 8 finds its bitmap
# fonts in its data folder but registers its own TrueType fonts only from
# C:\windows\Fonts, and Debian ships them apart (fonts-wine).
demo_setup() {
  japanese_fonts "$WINE64"
  if ! $interactive; then
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
  fi
  "$WINE64" reg add 'HKLM\SoftWare\VAXU' /v Version /d 0.70 /f /reg:32 >/dev/null 2>&1
  "$WINE64" reg add 'HKLM\SoftWare\VAXU' /v InstFolder /d 'C:\Program Files\VAXU\' /f /reg:32 >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\SoftWare\VAXU' /v Folder /d 'C:\VAXU053\' /f >/dev/null 2>&1
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}

echo "== preparing a sample launcher installation in $WINEPREFIX"
make_prefix demo demo_setup
drive=$WINEPREFIX/drive_c
mkdir -p "$drive/VAXU053" "$drive/Program Files/VAXU" "$drive/shots"
sjis < samples/path.txt > "$drive/VAXU053/path.txt"
printf '[古いコマンド]\nPATH=C:\\old\\tool.exe\n' | sjis > "$drive/Program Files/VAXU/vaxu_cmd.txt"
echo "   registry: HKLM\\SoftWare\\VAXU Version=0.70, InstFolder=C:\\Program Files\\VAXU\\"
echo "             HKCU\\SoftWare\\VAXU Folder=C:\\VAXU053\\"
echo "   old settings: C:\\VAXU053\\path.txt (from samples/path.txt, in Shift-JIS)"

show_files() {
  for f in vaxu.ini vaxu_cmd.txt vaxu_cmd.txt.bak; do
    echo
    echo "== C:\\Program Files\\VAXU\\$f"
    if [ -f "$drive/Program Files/VAXU/$f" ]; then utf8 < "$drive/Program Files/VAXU/$f"; else echo "(not there)"; fi
  done
}

if $interactive; then
  echo "== running the converter on your display"
  "$wine" "$bin/VaxuConverter.exe" >/dev/null 2>&1 || true
  show_files
  exit 0
fi

echo "== running the converter under Xvfb, answering it automatically"
echo
( cd "$drive" && "$wine" "$bin/vaxu_demo.exe" 'C:\shots\detected-' 'C:\VAXU053\path.txt' detected ) >"$demo/log" 2>&1 || true
cat "$demo/log"  # the demo prints UTF-8; a shell's or Wine's error stays as it was printed
show_files

echo
echo "== once more, with no old file to find: the dialog asks for it"
mv "$drive/VAXU053/path.txt" "$drive/VAXU053/old-settings.txt"
( cd "$drive" && "$wine" "$bin/vaxu_demo.exe" 'C:\shots\asked-' 'C:\VAXU053\old-settings.txt' dialog ) >"$demo/log" 2>&1 || true
cat "$demo/log"
for bmp in "$drive"/shots/*.bmp; do
  [ -e "$bmp" ] && convert "$bmp" "$demo/shots/$(basename "${bmp%.bmp}").png"
done
echo
echo "== pictures of each window, in $demo/shots:"
ls "$demo/shots"
