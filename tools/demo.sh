#!/usr/bin/env bash
# The demo: builds everything, then shows the plug-ins in the stand-in host.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
if [ -x build/tools/actorhost/actorhost ]; then
  build/tools/actorhost/actorhost inspect build/plugins/*.so
else
  ls -l build/plugins
fi
