// `suitsim replay FILE`: sends the datagrams of a recorded file again, byte
// for byte, with their original spacing in time or as fast as possible.
//
// Thread-safety: runs on the calling thread.
#pragma once

#include <string>

struct ReplayOptions {
  std::string mFile;
  std::string mTo = "127.0.0.1:14043";
  int mTtl = 1;
  bool mFast = false;  // ignore the recorded times
  bool mQuiet = false;
};

// Returns the process exit code.
int RunReplayCommand(const ReplayOptions& options);
