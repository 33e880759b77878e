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

echo "== building the converter (mingw-w64, 32-bit: the program users get)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target vaxuconv vaxu_demo >/dev/null

demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo/shots"
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64   # makes and sets up the 64-bit prefix
wine32=/usr/lib/wine/wine  # runs the 32-bit converter under WoW64
bin=$PWD/build/win32/bin
sjis() { iconv -f UTF-8 -t CP932 | sed 's/$/\r/'; }
utf8() { iconv -f CP932 -t UTF-8 | tr -d '\r'; }

interactive=false
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then interactive=true; fi
if ! $interactive; then
  start_xvfb
fi
trap 'stop_wine "$WINEPREFIX"; $interactive || stop_xvfb' EXIT

echo "== preparing a sample launcher installation in $WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1
japanese_fonts "$wine"
if ! $interactive; then
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
fi
# The launcher's installer is a 32-bit program: its HKLM values are in the 32-bit view.
"$wine" reg add 'HKLM\SoftWare\VAXU' /v Version /d 0.70 /f /reg:32 >/dev/null 2>&1
"$wine" reg add 'HKLM\SoftWare\VAXU' /v InstFolder /d 'C:\Program Files\VAXU\' /f /reg:32 >/dev/null 2>&1
"$wine" reg add 'HKCU\SoftWare\VAXU' /v Folder /d 'C:\VAXU053\' /f >/dev/null 2>&1
drive=$WINEPREFIX/drive_c
# Caption buttons are Marlett glyphs. Wine 8 finds its bitmap fonts in its
# data folder but registers its own TrueType fonts only from C:\windows\Fonts,
# and Debian ships them apart (fonts-wine) without putting them there.
cp /usr/share/wine/fonts/marlett.ttf "$drive/windows/Fonts/"
stop_wine "$WINEPREFIX"  # the desktop settings and the font apply from the next start
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
  "$wine32" "$bin/VaxuConverter.exe" >/dev/null 2>&1 || true
  show_files
  exit 0
fi

echo "== running the converter under Xvfb, answering it automatically"
echo
( cd "$drive" && "$wine32" "$bin/vaxu_demo.exe" 'C:\shots\detected-' 'C:\VAXU053\path.txt' detected ) >"$demo/log" 2>&1 || true
utf8 < "$demo/log"
show_files

echo
echo "== once more, with no old file to find: the dialog asks for it"
mv "$drive/VAXU053/path.txt" "$drive/VAXU053/old-settings.txt"
( cd "$drive" && "$wine32" "$bin/vaxu_demo.exe" 'C:\shots\asked-' 'C:\VAXU053\old-settings.txt' dialog ) >"$demo/log" 2>&1 || true
utf8 < "$demo/log"
for bmp in "$drive"/shots/*.bmp; do
  [ -e "$bmp" ] && convert "$bmp" "$demo/shots/$(basename "${bmp%.bmp}").png"
done
echo
echo "== pictures of each window, in $demo/shots:"
ls "$demo/shots"
