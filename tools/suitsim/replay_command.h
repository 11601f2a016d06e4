// `suitsim replay FILE`: sends the UDP datagrams of a capture (pcap or pcapng
// from any tool, or a recorded datagram file) again, byte for byte, with their
// original spacing in time, faster or slower, or as fast as possible. A gap
// longer than a limit (10 s unless told otherwise) is shortened to the limit,
// with a line on stderr, so a capture spanning days replays in minutes. Ctrl-C
// and SIGTERM end the replay at once, also in the middle of a wait.
//
// Thread-safety: runs on the calling thread.
#pragma once

#include <string>

struct ReplayOptions {
  std::string mFile;
  std::string mTo = "127.0.0.1:14043";
  int mPort = 0;         // only datagrams the capture shows going to this port; 0: all
  double mSpeed = 1.0;   // 2: twice as fast as recorded
  double mMaxGap = 10.0; // seconds; a longer wait (after mSpeed) is shortened to this; 0: never
  int mTtl = 1;
  bool mFast = false;    // ignore the recorded times
  bool mQuiet = false;
};

// Returns the process exit code: 0, 1 when the file cannot be used or no
// datagram could be sent, 2 for bad options.
int RunReplayCommand(const ReplayOptions& options);
