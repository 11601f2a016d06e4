// The demo: simulated suits -> one watcher per suit (with its suit filter)
// -> Bonesplit on the first watcher and a Bonescope per watcher, in the
// stand-in host, with a live view of every stream, then pictures and a
// summary in the output folder.
//
// Latency is measured on the real path: each simulator reports the steady
// clock (CLOCK_MONOTONIC, shared between processes) just before its sendto,
// with the hip record's position bits; the demo finds those bits, unchanged,
// in the watcher's skeleton output and reads the clock again right after the
// host tick on which the watcher sent it with its recv_pkt trigger.
//
// Thread-safety: one thread runs it.
#pragma once

#include "tools/demo/demo_options.h"
#include "tools/demo/demo_summary.h"

// Returns the exit status: 0 when every stream was healthy; 1 with a message
// on stderr saying what to do otherwise.
int RunDemo(const SDemoOptions& options);
