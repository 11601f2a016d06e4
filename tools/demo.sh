#!/usr/bin/env bash
# The demo: installs what is missing, builds what is missing, then runs
# build/tools/demo/demo: two simulated suits (E46 and 404) on a free loopback
# port, a watcher per suit, Bonesplit and a Bonescope per watcher, a live view
# of every stream for 10 s, then pictures and summary.json in demo-output/.
# Arguments go to the demo program (tools/demo.sh --help lists them).
#
# It also builds every program README runs after it (actorhost, suitsim and
# the plug-ins), so that the next sections work as they stand. The build is
# quiet when it succeeds; when it fails its messages are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/plugins.sh
bash tools/install_deps.sh

# run LOG COMMAND...: runs COMMAND with its output in LOG, shown when it fails.
run() {
  local log=$1
  shift
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "demo.sh: '$*' failed (its output above, also in $log)" >&2
    exit 1
  fi
}
mkdir -p build
[ -f build/build.ninja ] || run build/demo-configure.log cmake -S . -B build -G Ninja
run build/demo-build.log cmake --build build --target demo actorhost suitsim $(vorl_plugin_targets)
exec build/tools/demo/demo "$@"
