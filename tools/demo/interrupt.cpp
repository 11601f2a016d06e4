#include "tools/demo/interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace {
std::atomic<bool> gInterrupted{false};
extern "C" void OnInterrupt(int) { gInterrupted.store(true); }
}  // namespace

void InstallInterruptHandler() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

bool Interrupted() { return gInterrupted.load(); }

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
