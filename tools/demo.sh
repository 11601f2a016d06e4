#!/usr/bin/env bash
# The demo: installs what is missing, builds what is missing, then runs
# build/tools/demo/demo: two simulated suits (E46 and 404) on a free loopback
# port, a watcher per suit, Bonesplit and a Bonescope per watcher, a live view
# of every stream for 10 s, then pictures and summary.json in demo-output/.
# Arguments go to the demo program (tools/demo.sh --help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target demo suitsim kavrin_watcher_plugin bonesplit_plugin bonescope_plugin >/dev/null
exec build/tools/demo/demo "$@"
