#include "tools/suitsim/replay_command.h"

#include <fmt/core.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tools/suitsim/datagram_file.h"
#include "tools/suitsim/progress_line.h"
#include "tools/suitsim/stop_signal.h"
#include "tools/suitsim/udp_endpoint.h"

namespace {
using Clock = std::chrono::steady_clock;
}

int RunReplayCommand(const ReplayOptions& options) {
  std::string error;
  const auto to = ParseUdpEndpoint(options.mTo, error);
  if (!to) {
    fmt::print(stderr, "suitsim replay: {}\n", error);
    return 2;
  }
  CDatagramFileReader reader;
  if (!reader.Open(options.mFile)) {
    fmt::print(stderr, "suitsim replay: {}\n", reader.GetError());
    return 1;
  }
  const int fd = OpenSenderSocket(*to, options.mTtl, error);
  if (fd < 0) {
    fmt::print(stderr, "suitsim replay: {}\n", error);
    return 1;
  }

  InstallStopSignalHandlers();
  CProgressLine progress(!options.mQuiet);
  uint64_t sent = 0;
  uint64_t errors = 0;
  int lastError = 0;
  int exitCode = 0;
  bool haveFirst = false;
  uint64_t firstArrival = 0;
  const Clock::time_point start = Clock::now();
  RecordedDatagram record;

  while (!StopRequested()) {
    const auto status = reader.Next(record);
    if (status == CDatagramFileReader::Status::kEnd) break;
    if (status != CDatagramFileReader::Status::kRecord) {
      fmt::print(stderr, "suitsim replay: {}: {}\n", options.mFile, reader.GetError());
      exitCode = status == CDatagramFileReader::Status::kTruncated ? 0 : 1;
      break;
    }
    if (!haveFirst) {
      haveFirst = true;
      firstArrival = record.mArrivalNanoseconds;
    }
    if (!options.mFast && record.mArrivalNanoseconds > firstArrival) {
      std::this_thread::sleep_until(
          start + std::chrono::nanoseconds(record.mArrivalNanoseconds - firstArrival));
    }
    const int sendError = SendDatagram(fd, *to, record.mBytes.data(), record.mBytes.size());
    if (sendError != 0) {
      ++errors;
      lastError = sendError;
    } else {
      ++sent;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    progress.Update(fmt::format("replayed {} datagrams, {:.1f} datagrams/s", sent,
                                elapsed > 0 ? static_cast<double>(sent) / elapsed : 0.0));
  }
  progress.Finish();
  close(fd);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  fmt::print("replayed {} datagrams from {} to {} in {:.2f} s", sent, options.mFile, to->mText,
             elapsed);
  if (errors > 0) fmt::print("; {} send errors (last: {})", errors, std::strerror(lastError));
  fmt::print("\n");
  return exitCode;
}
