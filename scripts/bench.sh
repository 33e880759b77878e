#!/usr/bin/env bash
# Conversion benchmark: natively with the project's own INI writer, and
# under Wine with the real profile API. Prints figures; asserts nothing.
#   bash scripts/bench.sh [limit seconds per conversion, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/lib.sh
limit=${1:-60}
cmake --preset bench >/dev/null && cmake --build --preset bench -j "$(nproc)" --target vaxu_bench >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j "$(nproc)" --target vaxu_bench >/dev/null
echo "== native (g++ -O2; key by key: own INI writer)"
build/bench/bench/vaxu_bench "$limit"
echo "== Wine, 32-bit build (key by key: WritePrivateProfileStringA)"
prefix=$PWD/build/win32/wineprefix
trap 'stop_wine "$prefix"' EXIT
WINEPREFIX=$prefix bash cmake/wine-run.sh build/win32/bench/vaxu_bench.exe "$limit"
