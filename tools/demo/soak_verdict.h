// What a soak measured and whether it held up: memory flat after the
// warm-up, nothing lost beyond what the kernel dropped, the host thread
// never held up for a tick.
//
//   memory   resident memory at the end at most `mRssToleranceKb` above the
//            sample taken after the warm-up; the host's ledgers (memory
//            blocks and bytes, strings, image buffers, message receivers,
//            recorded outputs held) back at their values after the warm-up,
//            since nothing is in flight once the senders stopped and the
//            last frames were taken in.
//   frames   sent - received - dropped by the kernel on the port = 0, and
//            no watcher rejected a datagram or dropped a message from its
//            queue.
//   ticks    no single tick longer than one tick period, and the thread never
//            worked longer than one period between two sleeps (ticks,
//            renders and bookkeeping together). The longest gap between two
//            tick starts is reported beside it with the latest wake-up from
//            a sleep: on a loaded machine the system runs the thread late,
//            which is not the host holding it up.
//
// Thread-safety: plain data and pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/demo/udp_drop_counters.h"

struct SSoakSample {
  double mSeconds = 0;          // since the senders started
  uint64_t mRssKb = 0;
  uint64_t mLiveBlocks = 0;     // memory ledger
  uint64_t mLiveBytes = 0;
  uint64_t mLiveStrings = 0;    // string ledger
  uint64_t mImageBuffers = 0;
  uint64_t mReceivers = 0;      // message receivers registered
  uint64_t mRecorded = 0;       // output records the host holds
};

struct SSoakStream {
  std::string mName;
  uint64_t mSent = 0;
  uint64_t mReceived = 0;
  uint64_t mRejected = 0;         // the watcher's counter record
  uint64_t mMessagesDropped = 0;  // the watcher's counter record
};

struct SSoakFigures {
  double mRate = 0;               // frames per second per suit
  double mWarmupSeconds = 0;
  SSoakSample mStart;             // after the warm-up
  SSoakSample mEnd;               // after the last frames came in
  uint64_t mPeakRssKb = 0;        // highest sample after the warm-up
  uint64_t mRssToleranceKb = 0;
  std::vector<SSoakStream> mStreams;
  int mPort = 0;
  std::optional<uint64_t> mSocketDrops;  // the port's sockets, over their life
  std::optional<SUdpErrors> mUdpErrorsStart, mUdpErrorsEnd;  // whole machine
  double mTickPeriodMs = 0;
  // False in a sanitizer build: its renders and ticks are several times
  // slower, so the timing figures are shown but do not decide the verdict.
  bool mJudgeTicks = true;
  uint64_t mTicks = 0;            // after the warm-up
  double mLongestGapMs = 0;
  double mLongestTickMs = 0;
  double mLongestRenderMs = 0;
  double mLongestWakeDelayMs = 0;  // a sleep that ended late: the system, not the host
  double mLongestWorkMs = 0;       // the thread's longest stretch between sleeps
  uint64_t mLateTicks = 0;        // gaps over two periods
};

struct SSoakCheck {
  std::string mName;  // "memory", "frames", "ticks"
  bool mPassed = false;
  std::string mText;  // the figures that decided it
};

std::vector<SSoakCheck> CheckSoak(const SSoakFigures& figures);
// The figures and the checks as lines for a person, ending with
// "soak: PASSED" or "soak: FAILED (memory, ticks)".
std::string SoakReport(const SSoakFigures& figures, const std::vector<SSoakCheck>& checks);
// The same as JSON. False with `error` set when the file cannot be written.
bool WriteSoakJson(const std::string& path, const SSoakFigures& figures, const std::vector<SSoakCheck>& checks,
                   std::string* error);
