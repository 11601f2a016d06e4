#!/usr/bin/env bash
# The soak: the demo's actors at 1,000 frames/s per suit (two suits), with
# memory, frames and tick timing checked after the run (demo --soak). Exits
# non-zero when a check fails; the figures are printed and left in
# soak-output/soak.json.
#
#   tools/soak.sh [BUILD_DIR] [demo options...]   e.g. tools/soak.sh build --duration 600
#
# BUILD_DIR (default build/) must hold the demo, suitsim and the plug-ins; a
# sanitizer build works too (CI runs a short soak in build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then build=$1; shift; fi
if [ ! -x "$build/tools/demo/demo" ]; then
  echo "soak: no $build/tools/demo/demo; build it first (cmake --build $build --target demo)" >&2
  exit 1
fi
# A sanitizer's leak check runs at exit; its report fails the run too.
# AddressSanitizer holds freed memory back (256 MB by default) and so grows
# for minutes; a small hold fills during the warm-up and keeps the resident
# memory meaningful.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=8}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$build/tools/demo/demo" --soak --output soak-output "$@" </dev/null
