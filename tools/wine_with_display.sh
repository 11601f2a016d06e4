#!/usr/bin/env bash
# Runs a Windows program under Wine with an X display of its own (Xvfb), for
# the tests that draw with GL: Wine's OpenGL goes through the X server. The
# Wine session in the caller's WINEPREFIX ends before the display does, so
# no Wine process outlives its X server. Exits with the program's status.
#   tools/wine_with_display.sh PROGRAM.exe [ARGUMENTS...]
set -uo pipefail
# 24-bit colour: xvfb-run's default screen is 8-bit, which has no RGBA visual.
exec xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c 'wine "$@"; status=$?; wineserver -w; exit $status' wine_with_display "$@"
