#include "tools/suitsim/stop_signal.h"

#include <atomic>
#include <csignal>

namespace {
std::atomic<bool> gStopRequested{false};

extern "C" void OnStopSignal(int) { gStopRequested.store(true); }
}  // namespace

void InstallStopSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return gStopRequested.load(); }
