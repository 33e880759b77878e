#!/usr/bin/env bash
# Builds all three presets and runs every test: natively with sanitizers,
# short fuzz runs, and the Windows build under Wine with its own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/lib.sh

jobs=$(nproc)
for preset in native win64 win32; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" >/dev/null
done

echo "== test native"
ctest --preset native

echo "== fuzz (short runs; scripts/fuzz.sh SECONDS for longer ones)"
bash scripts/fuzz.sh 15

echo "== test win64 (Wine)"
start_xvfb
trap 'stop_wine build/win64/wineprefix; stop_xvfb' EXIT
ctest --preset win64
