// libFuzzer target: a watcher plug-in (this build's instrumented file) in
// the stand-in host receives, between host ticks, a burst of datagrams that
// the input describes, sent to it over loopback UDP. After each burst the
// host ticks until the watcher's counter record accounts for every datagram
// (accepted + rejected + dropped), then checks its books: no contract
// violation, no failed assertion, no memory block or host string more than
// before the burst. At exit the watcher is disposed and everything it took
// must be back.
//
// Input, a sequence of records until the input ends:
//   0x00-0x7B  raw datagram: u16 little-endian length (taken modulo 4200),
//              then that many bytes (fewer when the input ends first)
//   0x7C       one host tick now, in the middle of the burst
//   0x7D       a setting: next byte, bits 0-3 set name_joints, reverse_x,
//              reverse_y, reverse_z
//   0x7E-0xFF  a 1144-byte frame: a valid frame of suit E46 with N patches
//              (N = next byte & 7), each u16 offset (modulo 1144) and a byte
// At most kMostDatagrams datagrams per input, so a burst stays well inside
// the socket's receive buffer; an empty datagram is sent but not counted
// (the receiver passes over it).

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/watcher_stream_counters.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMostDatagrams = 32;
constexpr size_t kLongestRaw = 4200;  // beyond the receiver's 4096-byte buffer
constexpr size_t kFrameBytes = 1144;
// How long a burst may take to be accounted for before the kernel's drop
// counter is consulted; on a loaded machine a burst takes milliseconds.
constexpr std::chrono::seconds kPatience{5};

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "watcher_network_fuzz: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// UDP datagrams the kernel dropped for full receive buffers (all sockets).
uint64_t KernelReceiveBufferDrops() {
  std::ifstream snmp("/proc/net/snmp");
  std::string header;
  std::string values;
  std::string line;
  while (std::getline(snmp, line)) {
    if (line.rfind("Udp:", 0) != 0) continue;
    if (header.empty()) {
      header = line;
    } else {
      values = line;
      break;
    }
  }
  std::istringstream names(header);
  std::istringstream numbers(values);
  std::string name;
  std::string number;
  while (names >> name && numbers >> number) {
    if (name == "RcvbufErrors") return std::strtoull(number.c_str(), nullptr, 10);
  }
  return 0;
}

class CWatcherRig {
 public:
  CWatcherRig() {
    mPlugin = &vhost::LoadPlugin(std::string(VORL_FUZZ_PLUGIN_DIR) + "/kavrin_watcher" VORL_FUZZ_PLUGIN_SUFFIX);
    mHost.AssertionLog().Switches().mPrintAssertions = false;
    mSender = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    mPort = FreePort();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(mPort);
    if (connect(mSender, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0)
      Finding(std::string("connect: ") + std::strerror(errno));
    mInstance = &mHost.AddInstance(*mPlugin, "watcher");
    mHost.Create(*mInstance);
    mHost.PresetInput(*mInstance, mHost.InputIndex(*mInstance, "recv_ip_port"),
                      vhost::CHostValue::Integer(mPort));
    mHost.Activate(*mInstance);
    for (const char* key : {"name_joints", "reverse_x", "reverse_y", "reverse_z"})
      mSettings.push_back(mHost.InputIndex(*mInstance, key));
    mFrame = EncodeSuitFrame(CWalkingFigure(0).FrameAt("E46", 1.0, 7));
    // The receiver binds its port on its own thread after the first tick.
    // The sender is connected, so a frame that found no socket comes back
    // as ECONNREFUSED and is sent again; one frame taken shows the watcher
    // receives, and the books as they stand then are the baseline.
    mHost.Tick();
    const auto deadline = Clock::now() + kPatience;
    bool inFlight = false;
    while (Total() == 0) {
      if (Clock::now() > deadline) Finding("the watcher never took a frame on port " + std::to_string(mPort));
      if (!inFlight) {
        Send(mFrame.data(), mFrame.size());
        inFlight = true;
      }
      mHost.Tick();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      if (TakePendingError() == ECONNREFUSED) inFlight = false;
    }
    CheckBooks("setting up");
  }

  ~CWatcherRig() {
    mHost.Dispose(*mInstance);
    if (!mHost.Violations().empty()) Finding("after disposal: " + mHost.Violations().front());
    if (mHost.Memory().LiveBlocks() != 0) Finding("memory blocks left after disposal");
    if (mHost.Strings().LiveStrings() != 0) Finding("host strings left after disposal");
    if (!mHost.Receivers().All().empty()) Finding("message receivers left after disposal");
    close(mSender);
  }

  void Run(const uint8_t* data, size_t size) {
    const uint64_t before = Total();
    const uint64_t kernelDropsBefore = KernelReceiveBufferDrops();
    uint64_t sent = 0;
    size_t datagrams = 0;
    std::vector<uint8_t> bytes;
    size_t at = 0;
    mHost.Tick();
    while (at < size && datagrams < kMostDatagrams) {
      const uint8_t kind = data[at++];
      if (kind == 0x7C) {
        mHost.Tick();
        continue;
      }
      if (kind == 0x7D) {
        const uint8_t bits = at < size ? data[at++] : 0;
        for (size_t i = 0; i < mSettings.size(); ++i)
          mHost.SetInput(*mInstance, mSettings[i], vhost::CHostValue::Integer((bits >> i) & 1));
        continue;
      }
      if (kind < 0x7C) {
        size_t length = 0;
        if (at < size) length = data[at++];
        if (at < size) length |= static_cast<size_t>(data[at++]) << 8;
        length %= kLongestRaw;
        length = std::min(length, size - at);
        bytes.assign(data + at, data + at + length);
        at += length;
      } else {
        bytes = mFrame;
        const size_t patches = at < size ? data[at++] & 7 : 0;
        for (size_t i = 0; i < patches && at + 3 <= size; ++i, at += 3) {
          const size_t offset = (data[at] | static_cast<size_t>(data[at + 1]) << 8) % kFrameBytes;
          bytes[offset] = data[at + 2];
        }
      }
      Send(bytes.data(), bytes.size());
      ++datagrams;
      if (!bytes.empty()) ++sent;
    }
    // Tick until the watcher accounts for the burst.
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
      mHost.Tick();
      const uint64_t taken = Total() - before;
      if (taken == sent) break;
      if (taken > sent) Finding("the watcher counted " + std::to_string(taken) + " datagrams of " +
                                std::to_string(sent) + " sent");
      if (Clock::now() > deadline) {
        if (KernelReceiveBufferDrops() != kernelDropsBefore) break;  // the kernel's loss
        Finding("the watcher accounted for " + std::to_string(taken) + " of " + std::to_string(sent) +
                " datagrams and the kernel dropped none");
      }
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    CheckBooks("after a burst");
    mHost.Recorder().Clear();
  }

 private:
  uint16_t FreePort() {
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::perror("watcher_network_fuzz: no free loopback port");
      std::abort();
    }
    close(probe);
    return ntohs(address.sin_port);
  }

  void Send(const uint8_t* bytes, size_t length) {
    if (send(mSender, bytes, length, 0) < 0) Finding(std::string("send: ") + std::strerror(errno));
  }

  // The error the kernel reported for the sender (ECONNREFUSED: a datagram
  // reached no socket), and clears it; 0 when none.
  int TakePendingError() {
    int error = 0;
    socklen_t length = sizeof(error);
    getsockopt(mSender, SOL_SOCKET, SO_ERROR, &error, &length);
    return error;
  }

  uint64_t Total() {
    const auto counters = vhost::ReadWatcherStreamCounters(mHost, *mInstance);
    if (!counters) Finding("the watcher has no counter record");
    return counters->mFramesAccepted + counters->mDatagramsRejected + counters->mMessagesDropped;
  }

  void CheckBooks(const char* when) {
    if (!mHost.Violations().empty()) Finding(std::string(when) + ": " + mHost.Violations().front());
    if (!mHost.Assertions().empty()) Finding(std::string(when) + ": a failed assertion");
    if (mBlocks == kUnset) {
      mBlocks = mHost.Memory().LiveBlocks();
      mStrings = mHost.Strings().LiveStrings();
    } else if (mHost.Memory().LiveBlocks() != mBlocks || mHost.Strings().LiveStrings() != mStrings) {
      Finding(std::string(when) + ": the watcher holds " + std::to_string(mHost.Memory().LiveBlocks()) +
              " memory blocks and " + std::to_string(mHost.Strings().LiveStrings()) +
              " host strings, not " + std::to_string(mBlocks) + " and " + std::to_string(mStrings));
    }
  }

  static constexpr size_t kUnset = ~size_t{0};
  vhost::CHost mHost;
  const vhost::CPlugin* mPlugin = nullptr;
  vhost::CActorInstance* mInstance = nullptr;
  std::vector<uint16_t> mSettings;
  SuitDatagram mFrame;
  int mSender = -1;
  uint16_t mPort = 0;
  size_t mBlocks = kUnset;
  size_t mStrings = kUnset;
};

CWatcherRig* gRig = nullptr;

void DisposeRig() {
  delete gRig;
  gRig = nullptr;
}

}  // namespace

// The plug-in is loaded before fuzzing starts, so libFuzzer counts its
// coverage from the first input on.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gRig = new CWatcherRig;
  std::atexit(DisposeRig);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gRig->Run(data, size);
  return 0;
}
