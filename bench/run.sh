#!/usr/bin/env bash
# Builds the optimised tools and runs the flash benchmark against palmsim, printing its
# figures. Options go to the benchmark (for a quick look: bench/run.sh --size 256K).
# KESTREL_BUILD_DIR chooses the build folder (default: the release preset's, build/release).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTREL_BUILD_DIR:-$root/build/release}"

cd "$root"
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target flash_bench palmsim mkupd >/dev/null

exec "$build/bench/flash_bench" \
  --palmsim "$build/sim/palmsim" \
  --mkupd "$build/sim/mkupd/mkupd" \
  "$@"
