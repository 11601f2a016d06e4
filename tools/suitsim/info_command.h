// `suitsim info FILE`: what a capture holds: the number of UDP datagrams, the
// time they span and their rate, their lengths, the ports they went to and
// the suit IDs of the datagrams that have a suit frame's length.
//
// Thread-safety: runs on the calling thread.
#pragma once

#include <string>

struct InfoOptions {
  std::string mFile;
  int mPort = 0;  // only datagrams to this port; 0: all
};

// Returns the process exit code: 0, or 1 when the file cannot be read.
int RunInfoCommand(const InfoOptions& options);
