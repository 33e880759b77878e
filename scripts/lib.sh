# Shared by the scripts: the packages, a private Xvfb display, Wine clean-up
# and fonts. Sourced from the project's root.

# Installs what is missing, then starts the calling script over, once: a
# running shell does not see a locale generated after it started, so setting
# LC_ALL=ja_JP.UTF-8 in it would only warn ("setlocale: cannot change locale").
install_deps() {
  [ -n "${VAXU_DEPS_READY:-}" ] && return 0
  bash scripts/install-deps.sh
  VAXU_DEPS_READY=1 exec bash "scripts/${0##*/}" "$@"
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
