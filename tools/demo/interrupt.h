// Ctrl-C for the demo, and whether standard output is a terminal (POSIX).
//
// Thread-safety: Interrupted() may be read from any thread.
#pragma once

// SIGINT and SIGTERM set a flag instead of ending the process.
void InstallInterruptHandler();
bool Interrupted();
bool StdoutIsTerminal();
