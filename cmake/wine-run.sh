#!/usr/bin/env bash
# Runs a Windows program under Wine: the prefix is WINEPREFIX when set,
# otherwise "wineprefix" in the current (build) directory; the ANSI code
# page is 932; without a display the program gets its own Xvfb.
set -u
export WINEPREFIX="${WINEPREFIX:-$PWD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
source "$(dirname "$0")/../scripts/lib.sh"

# The tests see the fonts the pictures show, on a virtual desktop: windows
# open and close at once, with no window manager to wait for.
test_setup() {
  japanese_fonts "$WINE64"
  "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
}

# First use: make the prefix once, even when tests start side by side.
mkdir -p "$(dirname "$WINEPREFIX")"
( flock 9; make_prefix tests-3 test_setup ) 9>"$WINEPREFIX.lock" || exit 1

# The prefix is a 64-bit one, as on 64-bit Windows: 32-bit programs run in
# it under WoW64.
loader=$(loader_for "$1")
# Wine's helper processes outlive the program and inherit its output; a
# file instead of our caller's pipe keeps them from holding it open.
out=$(mktemp)
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" "$loader" "$@" >"$out" 2>&1 </dev/null
else
  "$loader" "$@" >"$out" 2>&1 </dev/null
fi
rc=$?
cat "$out"
rm -f "$out"
exit $rc
