#!/usr/bin/env bash
# Line and branch coverage of each plug-in's own code, from the whole test
# suite run once in a gcov build (build-coverage/, g++ -O0 --coverage).
#
#   tools/coverage.sh                 build, test, report; fails when a
#                                     plug-in's lines are under 90 %
#   tools/coverage.sh --report-only   report the counters of the last run
#   VORL_COVERAGE_MIN_LINES=95 tools/coverage.sh   another threshold
#
# Prints one line per plug-in (suit_receiver/: the watcher, joint_decoder/:
# Bonesplit, skeleton_renderer/: Bonescope) and, as shared code reported on
# its own, framework/ and skeleton/. The files behind each figure, with every
# line and branch marked, are in build-coverage/coverage/index.html.
#
# Counted: a plug-in folder's sources as Linux builds them. The Windows-only
# files (*_windows.cpp) are not built here and are left out. Branches are
# gcov's, less the ones the compiler adds for exceptions thrown by any call
# (--exclude-throw-branches) and the ones it proves never taken.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/plugins.sh

build=build-coverage
min_lines=${VORL_COVERAGE_MIN_LINES:-90}
report_only=0
case "${1:-}" in
  --report-only) report_only=1 ;;
  -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) echo "coverage.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
esac

echo "== coverage (gcov build in build-coverage/)"
if ((!report_only)); then
  bash tools/install_deps.sh
  cmake -S . -B "$build" -G Ninja -DVORL_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug \
    -DVORL_BUILD_BENCH=OFF -DVORL_BUILD_FUZZ=OFF
  cmake --build "$build"
  # Counters of an earlier run would add up with this one's.
  find "$build" -name '*.gcda' -delete
  ctest --test-dir "$build" --output-on-failure -j2
fi

areas=()
declare -A what=([framework]="shared" [skeleton]="shared")
for plugin in "${vorl_plugins[@]}"; do
  area=${vorl_plugin_folder[$plugin]}
  areas+=("$area")
  what[$area]=${vorl_plugin_title[$plugin]}
done
areas+=(framework skeleton)
filters=()
for area in "${areas[@]}"; do filters+=(-f "$area/"); done
common=(-r . --exclude-throw-branches --exclude-unreachable-branches -e '.*_windows\.cpp$')

# gcov runs once over every counter file; each figure below reads its result.
gcovr "${common[@]}" "${filters[@]}" --object-directory "$build" -j 2 \
  --json "$build/coverage.json"
mkdir -p "$build/coverage"
gcovr -r . -a "$build/coverage.json" --html-details "$build/coverage/index.html" \
  --html-title "Vorlane actors: coverage of the plug-ins' own code" >/dev/null

failed=()
printf '%-20s %-18s %24s %24s\n' folder code lines branches
for area in "${areas[@]}"; do
  gcovr -r . -a "$build/coverage.json" -f "$area/" --json-summary "$build/coverage-$area.json"
  read -r line_pct line_hit line_all branch_pct branch_hit branch_all < <(python3 - "$build/coverage-$area.json" <<'EOF'
import json, sys
s = json.load(open(sys.argv[1]))
print(s["line_percent"], s["line_covered"], s["line_total"],
      s["branch_percent"], s["branch_covered"], s["branch_total"])
EOF
)
  printf '%-20s %-18s %6.1f %% (%5s of %5s) %6.1f %% (%5s of %5s)\n' "$area/" "${what[$area]}" \
    "$line_pct" "$line_hit" "$line_all" "$branch_pct" "$branch_hit" "$branch_all"
  if [ "${what[$area]}" != shared ] &&
     python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) < float(sys.argv[2]) else 1)" \
       "$line_pct" "$min_lines"; then
    failed+=("$area/ ($line_pct %)")
  fi
done
echo "HTML report: $build/coverage/index.html"
if ((${#failed[@]})); then
  echo "coverage.sh: lines covered under $min_lines % in: ${failed[*]}" >&2
  exit 1
fi
