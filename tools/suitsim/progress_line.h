// CProgressLine: the one-line progress display of the suit simulator.
//
// On a terminal the line is rewritten in place about twice a second; when
// stderr is not a terminal a plain line is written every few seconds so logs
// stay readable.
//
// Thread-safety: used by one thread.
#pragma once

#include <chrono>
#include <string>

class CProgressLine {
 public:
  explicit CProgressLine(bool enabled);

  // Shows `text` if enough time has passed since the last update.
  void Update(const std::string& text);
  // Ends the line so the summary starts on a fresh one.
  void Finish();

 private:
  bool mEnabled;
  bool mTerminal;
  bool mShown = false;
  std::chrono::steady_clock::time_point mLast;
};
