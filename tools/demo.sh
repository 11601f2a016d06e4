#!/usr/bin/env bash
# The demo: builds everything, starts a simulated suit, and runs the three
# plug-ins in the stand-in host: suit -> watcher -> Bonesplit (live numbers)
# and Bonescope (rendered frames, saved as PNG files).
#   DEMO_DIR     where the frames go (default demo-output)
#   DEMO_PATCH   another patch to run instead (default tools/patches/demo.patch)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh
root=$PWD
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target suitsim actorhost kavrin_watcher_plugin bonesplit_plugin bonescope_plugin

out=${DEMO_DIR:-demo-output}
patch=$(realpath "${DEMO_PATCH:-tools/patches/demo.patch}")
mkdir -p "$out"
echo "== simulated suit E46 -> udp 127.0.0.1:14043 (log: $out/suitsim.log)"
build/tools/suitsim/suitsim send --suit E46 --rate 100 --duration 30 >"$out/suitsim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
sleep 0.3
echo "== actorhost run $patch"
# save folders are relative to the patch file: run a copy that sits in $out.
cp "$patch" "$out/run.patch"
"$root/build/tools/actorhost/actorhost" run "$out/run.patch" --plugin-dir "$root/build/plugins"
echo "== frames: $(ls "$out"/demo-frames/*.png 2>/dev/null | wc -l) PNG files in $out/demo-frames/"
