// End-to-end loss measurement of the suit receiver on loopback.
//
// A CMotiWearPro listens on a free port with default socket buffers while a
// sender thread paces 1144-byte suit frames (200 suits round robin) at a fixed
// rate for a fixed time; the main thread plays the host and calls Service
// every few milliseconds, counting what reaches a client. Printed per run:
// datagrams sent, received, lost, and the received rate; then the median of
// the runs.
//
//   suit_receiver_loopback [--rate N] [--seconds S] [--runs K] [--busy T] [--service-ms M]
//
// --service-ms M is how often the host's side collects (default 5 ms).
// --busy T starts T spinning threads during each run, to see the loss when
// the cores are taken by other work.

#include <arpa/inet.h>
#include <fmt/core.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "suit_receiver/motiwear_message.h"
#include "suit_receiver/motiwear_pro.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  double mRate = 20000;
  double mSeconds = 5;
  int mRuns = 5;
  int mBusyThreads = 0;
  int mServiceMilliseconds = 5;
};

struct RunResult {
  uint64_t mSent = 0;
  uint64_t mReceived = 0;
  uint64_t mDecoded = 0;
  double mSeconds = 0;
};

struct Counter {
  uint64_t mMessages = 0;
  uint64_t mDecoded = 0;
};

void Count(void* context, CMotiWearMessage* message) {
  auto* counter = static_cast<Counter*>(context);
  ++counter->mMessages;
  if (message->mData->mNewData) ++counter->mDecoded;
}

uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  socklen_t size = sizeof(address);
  const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  if (fd >= 0) close(fd);
  return bound ? ntohs(address.sin_port) : 0;
}

bool PortTaken(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  const bool taken = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0;
  close(fd);
  return taken;
}

RunResult MeasureOnce(const Settings& settings, const std::vector<std::vector<uint8_t>>& frames) {
  const uint16_t port = FreePort();
  auto* pro = new CMotiWearPro(nullptr, nullptr, "", port);
  Counter counter;
  CMotiWearClient client{Count, &counter, ""};
  pro->mClients.AddClient(&client);
  while (!PortTaken(port)) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  std::atomic<bool> busyStop{false};
  std::vector<std::thread> busy;
  for (int i = 0; i < settings.mBusyThreads; ++i) {
    busy.emplace_back([&] {
      volatile uint64_t spin = 0;
      while (!busyStop.load(std::memory_order_relaxed)) spin = spin + 1;
    });
  }

  std::atomic<bool> sending{true};
  RunResult result;
  std::thread sender([&] {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto total = static_cast<uint64_t>(settings.mRate * settings.mSeconds);
    const Clock::time_point start = Clock::now();
    uint64_t sent = 0;
    while (sent < total) {
      // Send what is due by now, then sleep a little: paced in 0.5 ms steps.
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      const auto due =
          std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * settings.mRate) + 1);
      while (sent < due) {
        const auto& frame = frames[sent % frames.size()];
        if (sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof(to)) == static_cast<ssize_t>(frame.size())) {
          ++result.mSent;
        }
        ++sent;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    result.mSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(fd);
    sending = false;
  });

  // The host's side: collect every few milliseconds.
  while (sending.load()) {
    pro->Service();
    std::this_thread::sleep_for(std::chrono::milliseconds(settings.mServiceMilliseconds));
  }
  sender.join();
  // Let the last datagrams through the socket and the queue.
  for (int quiet = 0; quiet < 20;) {
    const uint64_t before = counter.mMessages;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    pro->Service();
    quiet = counter.mMessages == before ? quiet + 1 : 0;
  }
  busyStop = true;
  for (auto& thread : busy) thread.join();

  result.mReceived = counter.mMessages;
  result.mDecoded = counter.mDecoded;
  pro->mClients.RemoveClient(&client);
  pro->Release();
  while (CMotiWearPro::sMotiWearThreadsRunning.load() != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const double value = std::atof(argv[i + 1]);
    if (option == "--rate")
      settings.mRate = value;
    else if (option == "--seconds")
      settings.mSeconds = value;
    else if (option == "--runs")
      settings.mRuns = static_cast<int>(value);
    else if (option == "--busy")
      settings.mBusyThreads = static_cast<int>(value);
    else if (option == "--service-ms")
      settings.mServiceMilliseconds = static_cast<int>(value);
    else {
      fmt::print(stderr,
                 "usage: {} [--rate N] [--seconds S] [--runs K] [--busy T] [--service-ms M]\n",
                 argv[0]);
      return 2;
    }
  }

  // 200 suits, each a walking figure at its own phase, sent round robin.
  std::vector<std::vector<uint8_t>> frames;
  for (int suit = 0; suit < 200; ++suit) {
    const std::string id =
        fmt::format("{:c}{:02d}", static_cast<char>('A' + suit / 100), suit % 100);
    frames.push_back(EncodeSuitFrame(CWalkingFigure(suit % 8).FrameAt(id, suit * 0.01, suit)));
  }

  fmt::print("rate {:.0f}/s for {:.1f} s, {} runs, {} busy threads\n", settings.mRate,
             settings.mSeconds, settings.mRuns, settings.mBusyThreads);
  std::vector<RunResult> results;
  for (int run = 0; run < settings.mRuns; ++run) {
    const RunResult r = MeasureOnce(settings, frames);
    const uint64_t lost = r.mSent - std::min(r.mSent, r.mReceived);
    fmt::print("run {}: sent {} received {} (decoded {}) lost {} ({:.3f} %), {:.0f} received/s\n",
               run + 1, r.mSent, r.mReceived, r.mDecoded, lost,
               r.mSent ? 100.0 * static_cast<double>(lost) / static_cast<double>(r.mSent) : 0.0,
               r.mSeconds > 0 ? static_cast<double>(r.mReceived) / r.mSeconds : 0.0);
    results.push_back(r);
  }
  std::vector<uint64_t> losses;
  for (const auto& r : results) losses.push_back(r.mSent - std::min(r.mSent, r.mReceived));
  std::sort(losses.begin(), losses.end());
  const uint64_t median = losses[losses.size() / 2];
  const uint64_t sent = results.empty() ? 0 : results[0].mSent;
  fmt::print("median lost: {} of {} ({:.3f} %)\n", median, sent,
             sent ? 100.0 * static_cast<double>(median) / static_cast<double>(sent) : 0.0);
  return 0;
}
