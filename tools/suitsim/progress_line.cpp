#include "tools/suitsim/progress_line.h"

#include <fmt/core.h>
#include <unistd.h>

#include <cstdio>

CProgressLine::CProgressLine(bool enabled)
    : mEnabled(enabled),
      mTerminal(isatty(STDERR_FILENO) != 0),
      mLast(std::chrono::steady_clock::now()) {}

void CProgressLine::Update(const std::string& text) {
  if (!mEnabled) return;
  const auto now = std::chrono::steady_clock::now();
  const auto interval = mTerminal ? std::chrono::milliseconds(500) : std::chrono::seconds(5);
  if (now - mLast < interval) return;
  mLast = now;
  if (mTerminal) {
    fmt::print(stderr, "\r{}\x1b[K", text);
  } else {
    fmt::print(stderr, "{}\n", text);
  }
  std::fflush(stderr);
  mShown = true;
}

void CProgressLine::Finish() {
  if (mEnabled && mTerminal && mShown) fmt::print(stderr, "\n");
  mShown = false;
}
