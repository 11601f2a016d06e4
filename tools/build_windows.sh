#!/usr/bin/env bash
# Cross-builds the Windows x86-64 DLLs and the test programs into
# build-windows/ (the DLLs land in build-windows/plugins/), installing the
# MinGW-w64 compiler and Wine first when they are missing.
#   tools/build_windows.sh          build only
#   tools/build_windows.sh --test   build, then run the tests under Wine
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
case "${1:-}" in
  --test) run_tests=1 ;;
  "") ;;
  -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "build_windows.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
esac

# zlib for the host's PNG files; Xvfb for the tests that draw with GL.
bash tools/install_deps.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 \
  libz-mingw-w64-dev xvfb xauth

start=$SECONDS
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-windows
echo "== built in $((SECONDS - start)) s; DLLs in build-windows/plugins:"
ls build-windows/plugins/*.dll

if ((run_tests)); then
  # A prefix of this build's own, created once per run.
  export WINEPREFIX="$PWD/build-windows/wineprefix"
  export WINEDEBUG=-all
  rm -rf "$WINEPREFIX"
  echo "== creating the Wine prefix"
  wineboot --init >/dev/null 2>&1 || wine wineboot --init >/dev/null 2>&1
  wineserver -w 2>/dev/null || true
  # A Wine session (one wineserver per prefix) started without a display
  # cannot make windows, and so no GL context, for a program that joins it
  # later, display or not (CreateWindowExW fails). So the tests that draw
  # (label "display", each with an X server of its own) run only once every
  # other Wine process has ended.
  status=0
  start=$SECONDS
  echo "== tests under Wine"
  ctest --test-dir build-windows --output-on-failure -j2 -LE display || status=1
  wineserver -w 2>/dev/null || true
  echo "== tests under Wine with a display (Xvfb)"
  ctest --test-dir build-windows --output-on-failure -L display || status=1
  wineserver -k 2>/dev/null || true
  echo "== tests under Wine: $((SECONDS - start)) s"
  exit "$status"
fi
