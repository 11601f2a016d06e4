// Ctrl-C and SIGTERM end a running command cleanly (summary printed, capture
// file closed) instead of killing it.
//
// Thread-safety: the flag is an atomic set from a signal handler.
#pragma once

// Installs the handlers for SIGINT and SIGTERM.
void InstallStopSignalHandlers();
// True once SIGINT or SIGTERM arrived.
bool StopRequested();
