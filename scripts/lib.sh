# Shared by the scripts: a private Xvfb display and Wine clean-up.

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

# Windows' Japanese UI fonts are not here. Ume P Gothic stands in for them:
# its widths come closest to "ＭＳ Ｐゴシック", so the dialog's texts fit their
# controls as designed (IPA P Gothic is a pixel or two too wide).
substitute_fonts() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  "$1" reg add "$key" /v 'ＭＳ Ｐゴシック' /d 'Ume P Gothic' /f >/dev/null 2>&1
  "$1" reg add "$key" /v 'ＭＳ ゴシック' /d 'Ume Gothic' /f >/dev/null 2>&1
  "$1" reg add "$key" /v 'MS UI Gothic' /d 'Ume P Gothic' /f >/dev/null 2>&1
}
