#!/usr/bin/env bash
# Static analysis: clang-tidy (.clang-tidy) over every translation unit of
# ours in a clang compile_commands.json, then cppcheck (tools/cppcheck.supp)
# over our sources. Fails on any finding of either.
#   tools/static_analysis.sh            # the CI run: clang-tidy on the product's
#                                       # code (plug-ins, framework, host, tools)
#   tools/static_analysis.sh --full     # also tests/, bench/ and fuzz/, with the
#                                       # path-sensitive analyzer everywhere (the
#                                       # CI run keeps it to the shipped code)
#   tools/static_analysis.sh FILE...    # clang-tidy on these files only
#   VORL_CLANG_TIDY=clang-tidy-15 tools/static_analysis.sh   # another clang-tidy
set -euo pipefail
cd "$(dirname "$0")/.."

full=0
files=()
for arg in "$@"; do
  case "$arg" in
    --full) full=1 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) files+=("$arg") ;;
  esac
done

bash tools/install_deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
clang_tidy=${VORL_CLANG_TIDY:-clang-tidy-14}

# A configure-only clang tree: its compile commands, benchmarks and fuzz
# targets included, nothing built.
build=build-tidy
mkdir -p "$build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DVORL_BUILD_FUZZ=ON -DVORL_BUILD_BENCH=ON \
  >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }

if ((${#files[@]} == 0)); then
  # Every one of our sources the tree compiles, once each. The signature-
  # mismatch fixture is meant not to compile.
  mapfile -t files < <(python3 - "$build/compile_commands.json" "$PWD" "$full" <<'PY'
import json, os, sys
root = sys.argv[2] + "/"
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = path[len(root):] if path.startswith(root) else None
    if rel is None or rel in seen or "/signature_mismatch/" in rel:
        continue
    # The test, benchmark and fuzz sources double the run's time; CI checks
    # them with cppcheck and the clang -Werror builds, --full adds them here.
    if sys.argv[3] == "0" and rel.split("/")[0] in ("tests", "bench", "fuzz"):
        continue
    seen.add(rel)
    print(rel)
PY
)
fi

echo "== clang-tidy: ${#files[@]} files, $jobs jobs"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$SECONDS
# The plug-ins, framework/ and skeleton/ (the code that ships) get every
# check. host/ and tools/ (and, with --full, the tests) get the bugprone,
# concurrency and style checks; the path-sensitive analyzer, four times as
# slow, runs on them only with --full (the sanitizer builds, memcheck and
# the fuzzers run the host).
# A clang-tidy that crashes (a signal, a stack dump) or fails without naming
# a finding has not checked its file: that fails the run as a finding does,
# with a line "clang-tidy did not finish: FILE (exit N)".
printf '%s\n' "${files[@]}" | xargs -P "$jobs" -I{} sh -c '
  f="$1"; extra=""
  case "$f" in tests/*|tools/*|host/*) [ "$2" = 1 ] || extra="--checks=-clang-analyzer-*" ;; esac
  status=0
  "$5" -p "$3" --quiet $extra "$f" >"$4.$$" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$4.$$"
    if [ "$status" -gt 128 ] || grep -q "Stack dump" "$4.$$" || ! grep -qE "(error|warning): " "$4.$$"; then
      echo "clang-tidy did not finish: $f (exit $status)"
    fi
  fi
  rm -f "$4.$$"' _ {} "$full" "$build" "$log" "$clang_tidy" >"$log.out" || true
tidy_failed=0
if grep -qE '(error|warning): |^clang-tidy did not finish: ' "$log.out"; then
  grep -vE '^[0-9]+ warnings? (generated|treated)|^Suppressed |^Use -header-filter|^Error while processing' "$log.out"
  tidy_failed=1
fi
rm -f "$log.out"
echo "== clang-tidy: $((SECONDS - start)) s"

echo "== cppcheck"
start=$SECONDS
cppcheck_failed=0
cppcheck --std=c++20 --language=c++ --library=googletest \
  --enable=warning,performance,portability --inline-suppr \
  --suppressions-list=tools/cppcheck.supp --error-exitcode=1 -j "$jobs" --quiet \
  -I . -D__linux__ -D__GNUC__ \
  skeleton framework suit_receiver joint_decoder skeleton_renderer host tools fuzz bench tests \
  || cppcheck_failed=1
echo "== cppcheck: $((SECONDS - start)) s"

if ((tidy_failed || cppcheck_failed)); then
  echo "static analysis: findings above (clang-tidy: $tidy_failed, cppcheck: $cppcheck_failed)" >&2
  exit 1
fi
echo "== static analysis: no findings"
