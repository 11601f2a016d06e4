// Ctrl-C and SIGTERM end a running command cleanly (summary printed, capture
// file closed) instead of killing it, also while the command waits.
//
// Thread-safety: the flag is an atomic set from a signal handler; the handler
// also writes a byte to a pipe, so a wait that polls the pipe ends at once.
#pragma once

#include <chrono>

// Installs the handlers for SIGINT and SIGTERM.
void InstallStopSignalHandlers();
// True once SIGINT or SIGTERM arrived.
bool StopRequested();
// Waits until `deadline` or until a stop signal arrives, whichever is first
// (also one that arrived before the call). True when the deadline came,
// false when a stop was requested.
bool WaitUnlessStopped(std::chrono::steady_clock::time_point deadline);
