// `suitsim send`: frames of walking figures, one suit per ID, at a steady
// rate, optionally shuffled and damaged.
//
// Frame k of every suit shows the figure at k / rate seconds, so the bytes
// sent depend only on the options (and --seed), never on the clock.
//
// Thread-safety: runs on the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/suitsim/suit_fault.h"

struct SendOptions {
  std::vector<std::string> mSuitIDs;  // 3 characters each; empty: "E46"
  int mFirstFigure = 0;               // figure of the first suit; the next ones follow
  int mGeneratedSuits = 0;            // extra IDs A00, A01, ...
  double mRate = 100.0;               // frames per second per suit
  std::string mTo = "127.0.0.1:14043";
  int mTtl = 1;
  bool mShuffle = false;
  std::vector<std::string> mFaults;  // fault names, used in turn
  uint64_t mFaultEvery = 10;         // every Nth frame of a suit is damaged
  uint64_t mBurstSize = 25;          // frames sent back to back by a burst
  int64_t mCount = 0;                // frames per suit; 0: no limit
  double mDuration = 0.0;            // seconds; 0: no limit
  uint32_t mSeed = 1;
  bool mQuiet = false;
  bool mReportSends = false;  // a "frame ..." line on stdout per datagram sent
};

// Returns the process exit code: 0, 1 when the socket cannot be opened or
// every datagram failed, 2 for bad options.
int RunSendCommand(const SendOptions& options);
