#include "tools/suitsim/send_command.h"

#include <fmt/core.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "tools/suitsim/progress_line.h"
#include "tools/suitsim/stop_signal.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/udp_endpoint.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string GeneratedSuitID(int index) {
  return fmt::format("{:c}{:02d}", static_cast<char>('A' + (index / 100) % 26), index % 100);
}

struct SendTotals {
  uint64_t mFrames = 0;  // ticks completed, per suit
  uint64_t mDatagrams = 0;
  uint64_t mBytes = 0;
  uint64_t mDamaged = 0;
  uint64_t mErrors = 0;
  int mLastError = 0;
};

// One line per datagram sent: "frame SUIT TICK NANOSECONDS X Z DAMAGED", the
// time read just before sendto (steady clock, CLOCK_MONOTONIC on Linux and
// so comparable between processes) and the bit patterns of the hip record's
// wire floats at bytes 44 and 48, which a receiver finds unchanged in its
// output and so can tell which frame it got.
void ReportSend(const SuitFrame& frame, uint64_t tick, Clock::time_point sentAt, bool damaged) {
  uint32_t x = 0;
  uint32_t z = 0;
  for (const SuitRecord& record : frame.mRecords) {
    if (record.mHeader[0] != kSuitHipAddress) continue;
    std::memcpy(&x, &record.mWirePosition[0], 4);
    std::memcpy(&z, &record.mWirePosition[1], 4);
  }
  const auto nanoseconds =
      std::chrono::duration_cast<std::chrono::nanoseconds>(sentAt.time_since_epoch()).count();
  fmt::print("frame {} {} {} {:08x} {:08x} {}\n", frame.mSuitID, tick, nanoseconds, x, z,
             damaged ? 1 : 0);
}

}  // namespace

int RunSendCommand(const SendOptions& options) {
  std::vector<std::string> suits = options.mSuitIDs;
  for (int i = 0; i < options.mGeneratedSuits; ++i) suits.push_back(GeneratedSuitID(i));
  if (suits.empty()) suits.push_back("E46");
  for (const std::string& id : suits) {
    if (id.size() != 3) {
      fmt::print(stderr, "suitsim send: suit ID '{}' must have exactly 3 characters\n", id);
      return 2;
    }
  }
  if (!(options.mRate > 0.0)) {
    fmt::print(stderr, "suitsim send: --rate must be above 0\n");
    return 2;
  }
  std::vector<SuitFault> faults;
  for (const std::string& name : options.mFaults) {
    const auto fault = ParseSuitFault(name);
    if (!fault) {
      fmt::print(stderr, "suitsim send: unknown fault '{}'\n", name);
      return 2;
    }
    faults.push_back(*fault);
  }

  std::string error;
  const auto to = ParseUdpEndpoint(options.mTo, error);
  if (!to) {
    fmt::print(stderr, "suitsim send: {}\n", error);
    return 2;
  }
  const int fd = OpenSenderSocket(*to, options.mTtl, error);
  if (fd < 0) {
    fmt::print(stderr, "suitsim send: {}\n", error);
    return 1;
  }

  std::vector<CWalkingFigure> figures;
  for (size_t i = 0; i < suits.size(); ++i) figures.emplace_back(options.mFirstFigure + static_cast<int>(i));

  InstallStopSignalHandlers();
  if (!options.mQuiet) {
    fmt::print("sending {} suit{} to {} at {} frames/s\n", suits.size(),
               suits.size() == 1 ? "" : "s", to->mText, options.mRate);
    std::fflush(stdout);
  }

  std::mt19937 rng(options.mSeed);
  CProgressLine progress(!options.mQuiet);
  SendTotals totals;
  size_t nextFault = 0;
  uint64_t burstLeft = 0;
  const auto period = std::chrono::duration<double>(1.0 / options.mRate);
  const Clock::time_point start = Clock::now();
  uint8_t frameBytes[kSuitFrameBytes];

  for (uint64_t tick = 0;; ++tick) {
    if (options.mCount > 0 && tick >= static_cast<uint64_t>(options.mCount)) break;
    if (StopRequested()) break;
    const auto due =
        start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(tick));
    if (options.mDuration > 0.0 &&
        due - start >= std::chrono::duration<double>(options.mDuration)) {
      break;
    }
    if (burstLeft > 0) {
      --burstLeft;
    } else {
      std::this_thread::sleep_until(due);
    }

    const double seconds = static_cast<double>(tick) / options.mRate;
    const bool damaged = !faults.empty() && (tick + 1) % options.mFaultEvery == 0;
    const SuitFault fault = damaged ? faults[nextFault++ % faults.size()] : SuitFault::kBurst;
    if (damaged && fault == SuitFault::kBurst) burstLeft = options.mBurstSize;
    const bool damageBytes = damaged && fault != SuitFault::kBurst;

    for (size_t s = 0; s < suits.size(); ++s) {
      SuitFrame frame = figures[s].FrameAt(suits[s], seconds, static_cast<uint32_t>(tick));
      if (options.mShuffle) ShuffleSuitRecords(frame, rng);
      const uint8_t* bytes = frameBytes;
      size_t length = kSuitFrameBytes;
      SuitDatagram damagedBytes;
      if (damageBytes) {
        damagedBytes = EncodeSuitFrame(frame);
        ApplySuitFault(fault, damagedBytes, rng);
        bytes = damagedBytes.data();
        length = damagedBytes.size();
        ++totals.mDamaged;
      } else {
        EncodeSuitFrame(frame, frameBytes);
      }
      const auto sentAt = Clock::now();
      const int sendError = SendDatagram(fd, *to, bytes, length);
      if (sendError != 0) {
        ++totals.mErrors;
        totals.mLastError = sendError;
      } else {
        ++totals.mDatagrams;
        totals.mBytes += length;
        if (options.mReportSends) ReportSend(frame, tick, sentAt, damageBytes);
      }
    }
    if (options.mReportSends) std::fflush(stdout);
    totals.mFrames = tick + 1;

    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    progress.Update(fmt::format("sent {} frames per suit, {} datagrams, {:.1f} frames/s",
                                totals.mFrames, totals.mDatagrams,
                                elapsed > 0 ? static_cast<double>(totals.mFrames) / elapsed : 0.0));
  }
  // The last frame owns its period too, so N frames at rate R take N / R s.
  if (!StopRequested() && totals.mFrames > 0) {
    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                              period * static_cast<double>(totals.mFrames)));
  }
  progress.Finish();
  close(fd);

  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  fmt::print(
      "sent {} frames per suit for {} suit{}: {} datagrams ({} damaged), {} bytes in {:.2f} s, "
      "{:.1f} frames/s per suit",
      totals.mFrames, suits.size(), suits.size() == 1 ? "" : "s", totals.mDatagrams,
      totals.mDamaged, totals.mBytes, elapsed,
      elapsed > 0 ? static_cast<double>(totals.mFrames) / elapsed : 0.0);
  if (totals.mErrors > 0) {
    fmt::print("; {} send errors (last: {})", totals.mErrors, std::strerror(totals.mLastError));
  }
  fmt::print("\n");
  if (totals.mErrors > 0 && totals.mDatagrams == 0) {
    fmt::print(stderr, "suitsim send: no datagram could be sent to {} ({})\n", to->mText,
               std::strerror(totals.mLastError));
    return 1;
  }
  return 0;
}
