#!/usr/bin/env bash
# Prints the instructions Bonesplit executes per skeleton arrival, counted by
# callgrind inside the measured calls less the inclusive cost of the bench
# host's services, so only the plug-in's own work (with the C library
# functions it calls) is left,
# next to the goals: 10,000 for an ordinary arrival, 150,000 for a layout
# change.
#   bench/joint_decoder/measure_instructions.sh [build dir]   (default: build)
set -euo pipefail
build=${1:-build}
bench=$build/bench/joint_decoder/bonesplit_instruction_bench
plugin=$build/plugins/bonesplit.so
calls=100
for f in "$bench" "$plugin"; do
  [ -e "$f" ] || { echo "missing $f: build target bonesplit_instruction_bench first" >&2; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

status=0
for scenario in ordinary layout; do
  valgrind --tool=callgrind --collect-atstart=no --toggle-collect='BenchMeasured_*' \
    --callgrind-out-file="$out/$scenario.out" "$bench" "$plugin" "$scenario" "$calls" \
    > "$out/$scenario.log" 2>&1 || { cat "$out/$scenario.log" >&2; exit 1; }
  total=$(awk '/^(summary|totals):/ {print $2; exit}' "$out/$scenario.out")
  # The bench host's services, with what they call, are not the plug-in's.
  # callgrind_annotate may list a function once per spelling of its source
  # path; each counts once.
  host=$(callgrind_annotate --inclusive=yes --threshold=100 --auto=no "$out/$scenario.out" |
         awk 'match($0, /:BenchHost_[A-Za-z]+/) {
                name = substr($0, RSTART + 1, RLENGTH - 1); gsub(",", "", $1)
                if ($1 + 0 > cost[name]) cost[name] = $1 + 0
              }
              END { for (n in cost) sum += cost[n]; print sum + 0 }')
  per_call=$(((total - host) / calls))
  goal=$([ "$scenario" = ordinary ] && echo 10000 || echo 150000)
  verdict=$([ "$per_call" -le "$goal" ] && echo "within goal" || echo "OVER GOAL")
  printf '%-9s %7d instructions per arrival (goal <= %d): %s\n' "$scenario" "$per_call" "$goal" "$verdict"
  [ "$per_call" -le "$goal" ] || status=1
done
exit $status
