#!/usr/bin/env bash
# Runs a Windows program under Wine: the prefix is WINEPREFIX when set,
# otherwise "wineprefix" in the current (build) directory; the ANSI code
# page is 932; without a display the program gets its own Xvfb.
set -u
export WINEPREFIX="${WINEPREFIX:-$PWD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The prefix is always a 64-bit one, as on 64-bit Windows; 32-bit programs
# run in it under WoW64 through the 32-bit loader, which hands 64-bit ones
# on to the 64-bit loader.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
loader=/usr/lib/wine/wine
[ -x "$loader" ] || loader=$wine
export WINEARCH=win64

mkdir -p "$WINEPREFIX"
# First use: create and set up the prefix once, even when tests start side
# by side. The stamp names the set-up: a prefix set up by an earlier one
# (the Japanese UI fonts came with the second) is set up again.
stamp=$WINEPREFIX/vaxu-setup-2
if [ ! -f "$stamp" ]; then
  (
    flock 9
    if [ ! -f "$stamp" ]; then
      [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1
      # The tests see the fonts the pictures show.
      source "$(dirname "$0")/../scripts/lib.sh"
      japanese_fonts "$wine"
      # A virtual desktop: windows open and close at once, with no window
      # manager to wait for.
      "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
      "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
      "$(dirname "$wine")/wineserver" -k 2>/dev/null  # the desktop and fonts apply from the next start
      touch "$stamp"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

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
