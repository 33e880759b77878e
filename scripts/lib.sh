# Shared by the scripts: the packages, a private Xvfb display, Wine clean-up
# and fonts. Sourced from the project's root.

# Installs what is missing, then starts the calling script over, once: a
# running shell does not see a locale generated after it started, so setting
# LC_ALL=ja_JP.UTF-8 in it would only warn ("setlocale: cannot change locale").
# VAXU_WIN32 then says whether 32-bit Windows programs can run here ("yes",
# or "no" once install-deps.sh has said why).
install_deps() {
  [ -n "${VAXU_DEPS_READY:-}" ] && return 0
  local rc=0
  bash scripts/install-deps.sh || rc=$?
  case $rc in
    0) VAXU_WIN32=yes ;;
    3) VAXU_WIN32=no ;;
    *) exit "$rc" ;;
  esac
  VAXU_DEPS_READY=1 VAXU_WIN32=$VAXU_WIN32 exec bash "scripts/${0##*/}" "$@"
}

# Each Windows program starts through its own loader: nothing 64-bit needs
# the 32-bit one, which cannot start where the kernel runs no 32-bit programs.
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine

# The loader for a Windows program, from the machine field of its PE header;
# anything else (a name Wine looks up itself) goes to the 32-bit loader.
loader_for() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  machine=$(od -An -tx2 -j"$((${pe:-0} + 4))" -N2 "$1" 2>/dev/null | tr -d ' ')
  if [ "$machine" = 8664 ]; then echo "$WINE64"; else echo "$WINE32"; fi
}

# Makes the 64-bit prefix $WINEPREFIX, as 64-bit Windows is, and proves it:
# it counts as ready only once a 64-bit and a 32-bit program have started in
# it. A prefix made while 32-bit programs could not start is broken for them
# for good ("could not load kernel32.dll"), so one not proven is made anew;
# only a prefix this project made is ever removed. $1 names the set-up, so a
# prefix set up by an earlier one is made anew too; $2 is a function that
# sets it up further. Fails, saying why, when a program does not start.
make_prefix() {
  local stamp=$WINEPREFIX/vaxu-ready-$1 setup=$2
  [ -f "$stamp" ] && return 0
  if [ -e "$WINEPREFIX/system.reg" ]; then
    if ! ls "$WINEPREFIX"/vaxu-* >/dev/null 2>&1; then
      echo "$WINEPREFIX is a Wine prefix this project did not make; it is left alone" >&2
      return 1
    fi
    stop_wine "$WINEPREFIX"
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  touch "$WINEPREFIX/vaxu-made"
  WINEARCH=win64 "$WINE64" wineboot -i >/dev/null 2>&1
  "$setup"
  stop_wine "$WINEPREFIX"  # settings apply from the next start
  if ! "$WINE64" 'C:\windows\system32\cmd.exe' /c exit 0 >/dev/null 2>&1; then
    echo "A 64-bit program does not start in the Wine prefix $WINEPREFIX" >&2
    return 1
  fi
  # Where 32-bit programs cannot start (VAXU_WIN32=no), a 64-bit-only
  # prefix serves, but is never taken as ready.
  [ "${VAXU_WIN32:-}" = no ] && return 0
  if ! "$WINE32" 'C:\windows\syswow64\cmd.exe' /c exit 0 >/dev/null 2>&1; then
    echo "A 32-bit program does not start in the Wine prefix $WINEPREFIX (scripts/install-deps.sh says why when 32-bit programs cannot start on this machine)" >&2
    return 1
  fi
  touch "$stamp"
}

# Starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${n}" ] && return 0; sleep 0.1; done
  echo "Xvfb did not start" >&2
  return 1
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait "${XVFB_PID:-}" 2>/dev/null || true
}

# Ends every Wine process of a prefix.
stop_wine() {
  local server=/usr/lib/wine/wineserver
  [ -x "$server" ] || server=$(command -v wineserver || true)
  [ -d "$1" ] && [ -n "$server" ] && WINEPREFIX="$(cd "$1" && pwd)" "$server" -k 2>/dev/null || true
}

# Sets a prefix's fonts up as Japanese Windows has them. Its fonts are not
# on Debian; Ume fonts (fonts-horai-umefont) stand in for them:
# - "ＭＳ Ｐゴシック" and "ＭＳ ゴシック", the dialog's: Ume P Gothic and Ume
#   Gothic, whose widths come closest (IPA P Gothic is a pixel or two too
#   wide), so the dialog's texts fit their controls as designed;
# - "MS UI Gothic", the Japanese UI font: Ume UI Gothic. Japanese Windows
#   draws message boxes, captions and menus in it, the fonts of its
#   non-client metrics (set here; Wine's own say "MS Shell Dlg"), and maps
#   "MS Shell Dlg" to it too. Wine follows one substitute, never a chain,
#   so "MS Shell Dlg" names the stand-in itself: left to Wine, it fell back
#   to a wider font, in which boxes broke their lines.
# Takes the Wine loader; applies from the prefix's next start.
japanese_fonts() {
  local wine=$1 face font weight
  local substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  local metrics='HKCU\Control Panel\Desktop\WindowMetrics'
  "$wine" reg add "$substitutes" /v 'ＭＳ Ｐゴシック' /d 'Ume P Gothic' /f >/dev/null 2>&1
  "$wine" reg add "$substitutes" /v 'ＭＳ ゴシック' /d 'Ume Gothic' /f >/dev/null 2>&1
  "$wine" reg add "$substitutes" /v 'MS UI Gothic' /d 'Ume UI Gothic' /f >/dev/null 2>&1
  "$wine" reg add "$substitutes" /v 'MS Shell Dlg' /d 'Ume UI Gothic' /f >/dev/null 2>&1
  # Each metric is a LOGFONTW: height -12 px (9 points at 96 dpi), width,
  # escapement, orientation; weight; italic, underline, strike-out,
  # SHIFTJIS_CHARSET, four default bytes; the face in UTF-16, 32 characters.
  face=$(printf 'MS UI Gothic' | iconv -t UTF-16LE | od -An -tx1 -v | tr -d ' \n')
  face=$face$(printf '%0*d' $((128 - ${#face})) 0)
  for font in CaptionFont:bc02 SmCaptionFont:9001 MenuFont:9001 StatusFont:9001 MessageFont:9001 IconFont:9001; do
    weight=${font#*:}  # 700 (bold) or 400, little-endian
    "$wine" reg add "$metrics" /v "${font%:*}" /t REG_BINARY /f /d "$(printf '%s' \
      f4ffffff 00000000 00000000 00000000 "${weight}0000" 000000 80 00000000 "$face")" >/dev/null 2>&1
  done
}
