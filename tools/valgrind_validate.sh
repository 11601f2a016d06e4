#!/usr/bin/env bash
# memcheck of `actorhost validate` on the three plug-ins: zero errors, and no
# memory definitely or indirectly lost, or the script fails.
#
#   tools/valgrind_validate.sh [BUILD_DIR]     (default: build/, built if needed)
#   VORL_VALGRIND_LEVEL=4 tools/valgrind_validate.sh    another validator level
#
# The validator runs its tests in its own process (--in-process), one
# plug-in per run: memcheck then sees every test's calls into the plug-in
# and checks for leaks once, after the last disposal and unload, instead of
# in children that end with _exit and leave their memory behind unfreed.
# The only suppressions are Mesa's (tools/valgrind/mesa.supp, each one
# explained). One log per plug-in in BUILD_DIR/valgrind/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/plugins.sh

build=${1:-build}
level=${VORL_VALGRIND_LEVEL:-10}
echo "== valgrind memcheck of actorhost validate (level $level)"
bash tools/install_deps.sh
if [ ! -x "$build/tools/actorhost/actorhost" ]; then
  cmake -S . -B "$build" -G Ninja
  cmake --build "$build" --target actorhost $(vorl_plugin_targets)
fi
mkdir -p "$build/valgrind"

# memcheck runs a program's threads one at a time: the plug-ins go two at a
# time, one per core, and are reported in list order.
check() {
  local plugin=$1 log="$build/valgrind/$1.log" start=$SECONDS status=0
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --track-origins=yes --num-callers=30 --suppressions=tools/valgrind/mesa.supp \
    --log-file="$log" \
    "$build/tools/actorhost/actorhost" validate --level "$level" --seed 20261209 --in-process \
      "$build/plugins/$plugin.so" > "$build/valgrind/$plugin.out" 2>&1 || status=$?
  echo "$status $((SECONDS - start))" > "$build/valgrind/$plugin.status"
}
rm -f "$build"/valgrind/*.status
running=0
for plugin in "${vorl_plugins[@]}"; do
  if ((running == 2)); then wait -n; running=$((running - 1)); fi
  check "$plugin" &
  running=$((running + 1))
done
wait

failed=()
for plugin in "${vorl_plugins[@]}"; do
  log="$build/valgrind/$plugin.log"
  read -r status seconds < "$build/valgrind/$plugin.status"
  summary=$(grep -h "ERROR SUMMARY" "$log" | tail -1 | sed 's/^==[0-9]*== //')
  echo "$plugin: $summary; validator exit $status; $seconds s"
  if [ "$status" -ne 0 ]; then
    failed+=("$plugin")
    tail -n 20 "$build/valgrind/$plugin.out"
    grep -v '^==[0-9]*== *$' "$log" | head -n 80
  fi
done
if ((${#failed[@]})); then
  echo "valgrind_validate.sh: memcheck or the validator failed for: ${failed[*]} (logs in $build/valgrind/)" >&2
  exit 1
fi
