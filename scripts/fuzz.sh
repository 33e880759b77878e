#!/usr/bin/env bash
# Runs each libFuzzer target for the given seconds (default 15), starting
# from the starting corpus in fuzz/corpus. For a long run: scripts/fuzz.sh 3600
# Findings are written to build/fuzz/findings and fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
cmake --preset fuzz ${VAXU_CONFIGURE_ARGS:-} >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
rm -rf build/fuzz/findings && mkdir -p build/fuzz/findings
for target in reader strbuf command_file; do
  work=build/fuzz/corpus-$target
  mkdir -p "$work"
  cp -n fuzz/corpus/$target/* "$work"/ 2>/dev/null || true
  echo "== fuzz $target for ${seconds}s"
  build/fuzz/fuzz/${target}_fuzz -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/findings/$target- "$work" 2>&1 |
    grep -E '^(Done|stat::number_of_executed_units|==[0-9]+== ERROR|SUMMARY)' || true
  if ls build/fuzz/findings/$target-* >/dev/null 2>&1; then
    echo "fuzz $target: finding saved in build/fuzz/findings" >&2
    exit 1
  fi
done
