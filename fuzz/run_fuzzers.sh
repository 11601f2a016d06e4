#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# New inputs go to build-fuzz/corpus-*; the checked-in seeds are only read.
# FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/plugins.sh
seconds=${FUZZ_SECONDS:-30}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVORL_BUILD_FUZZ=ON -DVORL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
# Only the fuzz targets (and the instrumented plug-ins they load).
cmake --build build-fuzz --target suit_datagram_fuzzer joint_selection_fuzz capture_reader_fuzz \
  watcher_network_fuzz $(vorl_host_call_fuzz_targets) patch_parser_fuzz value_text_fuzz property_definition_fuzz

# run BINARY SEEDS MAX_LEN [SECONDS]: SECONDS overrides the default unless
# FUZZ_SECONDS is set.
run() {
  local binary=$1 seeds=$2 max_len=$3
  local seconds=${FUZZ_SECONDS:-${4:-$seconds}}
  local corpus=build-fuzz/corpus-$(basename "$binary")
  mkdir -p "$corpus"
  echo "== $(basename "$binary") for ${seconds}s"
  "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -print_final_stats=1 \
    "$corpus" "$seeds"
}
# Each target runs on one core: two lanes use both. The targets that open
# loopback sockets (the watcher's) share a lane, so that no two of them look
# for ports at once. Each lane's output is shown when both are done.
lane_a() {
  run build-fuzz/fuzz/suit_receiver/suit_datagram_fuzzer fuzz/suit_receiver/corpus 4096
  run build-fuzz/fuzz/suit_receiver/watcher_network_fuzz fuzz/suit_receiver/network_corpus 40000 30
  run build-fuzz/fuzz/host_calls/host_calls_kavrin_watcher_fuzz fuzz/host_calls/corpus-kavrin_watcher 4096 40
  run build-fuzz/fuzz/joint_decoder/joint_selection_fuzz fuzz/joint_decoder/corpus 1024
  run build-fuzz/fuzz/suitsim/capture_reader_fuzz fuzz/suitsim/corpus 65536 30
}
lane_b() {
  run build-fuzz/fuzz/host/patch_parser_fuzz fuzz/host/corpus-patch_parser_fuzz 8192 30
  run build-fuzz/fuzz/host/value_text_fuzz fuzz/host/corpus-value_text_fuzz 256 30
  run build-fuzz/fuzz/host/property_definition_fuzz fuzz/host/corpus-property_definition_fuzz 8192 30
  # Host-call sequences per plug-in (format in fuzz/host_calls/host_call_sequence.h).
  for plugin in "${vorl_plugins[@]}"; do
    [ "$plugin" = kavrin_watcher ] && continue  # in lane a
    run build-fuzz/fuzz/host_calls/host_calls_${plugin}_fuzz fuzz/host_calls/corpus-$plugin 4096 40
  done
}
(set -e; lane_a) > build-fuzz/lane-a.log 2>&1 &
lane_a_pid=$!
(set -e; lane_b) > build-fuzz/lane-b.log 2>&1 &
lane_b_pid=$!
status=0
wait "$lane_a_pid" || status=1
wait "$lane_b_pid" || status=1
cat build-fuzz/lane-a.log build-fuzz/lane-b.log
if ((status)); then
  echo "run_fuzzers.sh: a fuzz target failed (its output is above)" >&2
  exit 1
fi
