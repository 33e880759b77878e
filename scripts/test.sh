#!/usr/bin/env bash
# Builds the presets and runs every test: natively with sanitizers, short
# fuzz runs, and both Windows builds under Wine (the 32-bit one, which users
# get, under WoW64) with a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
install_deps "$@"
# Every suite runs, the 32-bit ones (the program users get) included.
if [ "${VAXU_WIN32:-yes}" != yes ]; then
  echo "test.sh: stopped before building: the win32 suites cannot run, as 32-bit programs do not start" >&2
  echo "here (install-deps.sh said why, above). Make them start (README: \"Machines that run no" >&2
  echo "32-bit programs\"), then run bash scripts/test.sh again." >&2
  exit 1
fi

jobs=$(nproc)
# Here, unlike in a build of one's own, a compiler warning fails the build.
export VAXU_CONFIGURE_ARGS="-DVAXU_WERROR=ON"
for preset in native win64 win32; do
  echo "== build $preset"
  cmake --preset "$preset" $VAXU_CONFIGURE_ARGS >/dev/null
  cmake --build --preset "$preset" -j "$jobs" >/dev/null
done

echo "== test native"
ctest --preset native

echo "== fuzz (short runs; scripts/fuzz.sh SECONDS for longer ones)"
bash scripts/fuzz.sh 15

start_xvfb
trap 'stop_wine build/win64/wineprefix; stop_wine build/win32/wineprefix; stop_xvfb' EXIT
for preset in win32 win64; do
  echo "== test $preset (Wine)"
  ctest --preset "$preset"
  stop_wine "build/$preset/wineprefix"
done
