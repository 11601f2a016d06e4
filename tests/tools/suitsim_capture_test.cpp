// suitsim and the capture files of other tools: tcpdump's pcap files replay
// into a watcher, what `suitsim record` writes opens in tcpdump, pcapng and
// the older capture format read, and the command line refuses what it cannot
// use with exit code 2.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "tests/suit_receiver/child_process.h"
#include "tests/suit_receiver/udp_test_support.h"
#include "tools/suitsim/capture_file.h"
#include "tools/suitsim/datagram_file.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using namespace std::chrono_literals;
using vhost::CActorInstance;
using vhost::CHostValue;

const std::string kSuitsim = SUITSIM_PATH;

std::string CaptureDirectory() {
  const char* source = std::getenv("VORL_SOURCE_DIR");  // set by ctest
  return std::string(source != nullptr ? source : ".") + "/tests/tools/captures";
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-" + name))
      .string();
}

// A program found on PATH (or in /usr/sbin, where Debian puts tcpdump).
std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin";
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find(':', start), path.size());
    const std::string candidate = path.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Everything a child prints on stdout, and its exit code.
struct SRun {
  std::vector<std::string> mLines;
  std::optional<int> mExit;
  std::string Text() const {
    std::string text;
    for (const auto& line : mLines) text += line + "\n";
    return text;
  }
};

SRun RunProgram(const std::vector<std::string>& arguments) {
  CChildProcess child(arguments);
  SRun run;
  while (auto line = child.ReadLine(60s)) run.mLines.push_back(*line);
  run.mExit = child.Wait(60s);
  return run;
}

// The same through a shell, stderr joined to stdout.
SRun RunShell(const std::string& command) { return RunProgram({"/bin/sh", "-c", command + " 2>&1"}); }

// A watcher in the stand-in host, counting the frames it publishes.
class CWatcherUnderTest {
 public:
  explicit CWatcherUnderTest(uint16_t port) {
    const char* dir = std::getenv("VORL_PLUGIN_DIR");  // set by ctest
    mPlugin = &vhost::LoadPlugin(std::string(dir != nullptr ? dir : ".") + "/kavrin_watcher.so");
    mHost.AssertionLog().Switches().mPrintAssertions = false;
    mInstance = &mHost.AddInstance(*mPlugin);
    mHost.Create(*mInstance);
    mHost.PresetInput(*mInstance, mHost.InputIndex(*mInstance, "recv_ip_port"),
                      CHostValue::Integer(port));
    mHost.Activate(*mInstance);
    mMark = mHost.Mark();
  }
  ~CWatcherUnderTest() {
    if (mInstance->IsLive()) mHost.Dispose(*mInstance);
  }

  size_t FramesSince(uint64_t mark) { return mHost.OutputsSince(mark, mInstance, "rcpk").size(); }

  // Ticks until `done` holds or 20 s pass.
  bool TickUntil(const std::function<bool()>& done) {
    for (auto deadline = std::chrono::steady_clock::now() + 20s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
      mHost.Tick();
      if (done()) return true;
    }
    return false;
  }

  // Sends a frame until the watcher reports one, so its receiver surely runs.
  bool WaitUntilReceiving(uint16_t port) {
    const SuitDatagram frame = EncodeSuitFrame(CWalkingFigure(0).FrameAt("E46", 0.0, 0));
    for (int attempt = 0; attempt < 200; ++attempt) {
      const uint64_t mark = mHost.Mark();
      SendUdp(port, frame);
      for (int i = 0; i < 20; ++i) {
        mHost.Tick();
        if (FramesSince(mark) > 0) return true;
        std::this_thread::sleep_for(5ms);
      }
    }
    return false;
  }

  vhost::CHost mHost;

 private:
  const vhost::CPlugin* mPlugin = nullptr;
  CActorInstance* mInstance = nullptr;
  uint64_t mMark = 0;
};

// Replays `file` (only datagrams to `capturedPort`) into a fresh watcher and
// returns how many frames it published.
size_t ReplayIntoWatcher(const std::string& file, int capturedPort, size_t expected) {
  const uint16_t port = FindFreeUdpPort();
  CWatcherUnderTest watcher(port);
  EXPECT_TRUE(watcher.WaitUntilReceiving(port));
  const uint64_t mark = watcher.mHost.Mark();
  const SRun replay = RunProgram({kSuitsim, "replay", file, "--port", std::to_string(capturedPort), "--to",
                           "127.0.0.1:" + std::to_string(port), "--quiet"});
  EXPECT_EQ(0, replay.mExit) << replay.Text();
  watcher.TickUntil([&] { return watcher.FramesSince(mark) >= expected; });
  return watcher.FramesSince(mark);
}

TEST(TcpdumpCaptures, ReplayIntoAWatcherFromLoopbackAndAnyInterfaceFiles) {
  // Both made with tcpdump 4.99: `-i lo` (Ethernet headers) and `-i any`
  // (Linux cooked headers), 6 frames each of suits E46 and 404 to port 14999
  // or 14998.
  EXPECT_EQ(12u, ReplayIntoWatcher(CaptureDirectory() + "/tcpdump_loopback.pcap", 14999, 12));
  EXPECT_EQ(12u, ReplayIntoWatcher(CaptureDirectory() + "/tcpdump_any_interface.pcap", 14998, 12));

  const SRun info = RunProgram({kSuitsim, "info", CaptureDirectory() + "/tcpdump_any_interface.pcap"});
  EXPECT_EQ(0, info.mExit);
  const std::string text = info.Text();
  EXPECT_NE(text.find("datagrams: 12 (13728 bytes)"), std::string::npos) << text;
  EXPECT_NE(text.find("lengths:   1144 (12)"), std::string::npos) << text;
  EXPECT_NE(text.find("suits:     404 (6), E46 (6)"), std::string::npos) << text;

  const SRun otherPort = RunProgram({kSuitsim, "replay", CaptureDirectory() + "/tcpdump_loopback.pcap",
                              "--port", "1", "--to", "127.0.0.1:9", "--quiet"});
  EXPECT_EQ(1, otherPort.mExit) << "a port the capture never saw sends nothing";
}

TEST(TcpdumpCaptures, ALiveTcpdumpCaptureReplays) {
  const std::string tcpdump = FindProgram("tcpdump");
  if (tcpdump.empty()) GTEST_SKIP() << "tcpdump is not installed";
  const uint16_t port = FindFreeUdpPort();
  const std::string file = TempPath("live.pcap");
  CChildProcess capture({"/bin/sh", "-c",
                         "exec " + tcpdump + " -i lo -n -U -c 10 -w " + file + " udp dst port " +
                             std::to_string(port) + " 2>&1"});
  bool listening = false;
  while (auto line = capture.ReadLine(20s)) {
    if (line->find("listening on") != std::string::npos) {
      listening = true;
      break;
    }
  }
  if (!listening) GTEST_SKIP() << "tcpdump cannot capture on lo here";
  const SRun send = RunProgram({kSuitsim, "send", "--to", "127.0.0.1:" + std::to_string(port), "--count",
                         "10", "--quiet"});
  ASSERT_EQ(0, send.mExit) << send.Text();
  ASSERT_EQ(0, capture.Wait(60s)) << "tcpdump ends after 10 packets";
  EXPECT_EQ(10u, ReplayIntoWatcher(file, port, 10));
  std::filesystem::remove(file);
}

TEST(SuitsimRecord, WritesPcapThatTcpdumpReads) {
  const std::string tcpdump = FindProgram("tcpdump");
  if (tcpdump.empty()) GTEST_SKIP() << "tcpdump is not installed";
  const std::string file = TempPath("recorded.pcap");
  CChildProcess recorder({kSuitsim, "record", file, "--port", "0", "--count", "8", "--quiet"});
  const auto line = recorder.ReadLine(20s);
  ASSERT_TRUE(line && line->rfind("recording on port ", 0) == 0);
  const std::string port = line->substr(std::strlen("recording on port "));
  const SRun send = RunProgram({kSuitsim, "send", "--suit", "E46", "--suit", "404", "--to",
                         "127.0.0.1:" + port, "--count", "4", "--quiet"});
  ASSERT_EQ(0, send.mExit);
  ASSERT_EQ(0, recorder.Wait(60s));

  const SRun read = RunShell(tcpdump + " -n -r " + file);
  EXPECT_EQ(0, read.mExit) << read.Text();
  size_t packets = 0;
  for (const std::string& text : read.mLines) {
    if (text.find("IP 127.0.0.1.") != std::string::npos &&
        text.find(" > 127.0.0.1." + port + ": UDP, length 1144") != std::string::npos) {
      ++packets;
    }
  }
  EXPECT_EQ(8u, packets) << read.Text();
  EXPECT_NE(read.Text().find("link-type EN10MB"), std::string::npos);

  // And back: the payloads are the frames sent, in order per suit.
  CCaptureReader reader;
  ASSERT_TRUE(reader.Open(file)) << reader.GetError();
  CapturedDatagram datagram;
  std::vector<std::string> suits;
  while (reader.Next(datagram) == CCaptureReader::Status::kRecord) {
    ASSERT_EQ(kSuitFrameBytes, datagram.mBytes.size());
    EXPECT_EQ(std::to_string(datagram.mDestinationPort), port);
    suits.emplace_back(datagram.mBytes.begin(), datagram.mBytes.begin() + 3);
  }
  EXPECT_EQ(suits, (std::vector<std::string>{"E46", "404", "E46", "404", "E46", "404", "E46", "404"}));
  std::filesystem::remove(file);
}

// A pcapng file as Wireshark writes one: section header, one Ethernet
// interface with nanosecond time stamps, enhanced packet blocks.
class CPcapngBuilder {
 public:
  CPcapngBuilder() {
    Block(0x0A0D0D0A, {0x1A2B3C4D, 0x00000001, 0xFFFFFFFF, 0xFFFFFFFF});
    // Interface: link type 1, snap length 0; option if_tsresol = 9 (ns).
    Block(0x00000001, {0x00000001, 0x00000000, 0x00010009 /* code 9, length 1 */, 0x00000009, 0});
  }
  void Packet(uint64_t nanoseconds, const std::vector<uint8_t>& frame) {
    std::vector<uint32_t> words = {0, static_cast<uint32_t>(nanoseconds >> 32),
                                   static_cast<uint32_t>(nanoseconds),
                                   static_cast<uint32_t>(frame.size()),
                                   static_cast<uint32_t>(frame.size())};
    std::vector<uint8_t> padded = frame;
    padded.resize((frame.size() + 3) / 4 * 4, 0);
    for (size_t i = 0; i < padded.size(); i += 4) {
      uint32_t word;
      std::memcpy(&word, padded.data() + i, 4);
      words.push_back(word);
    }
    Block(0x00000006, words);
  }
  void Save(const std::string& path) const {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(mBytes.data()), static_cast<std::streamsize>(mBytes.size()));
  }

 private:
  void Block(uint32_t type, const std::vector<uint32_t>& body) {
    const uint32_t length = static_cast<uint32_t>(12 + body.size() * 4);
    Word(type);
    Word(length);
    for (uint32_t word : body) Word(word);
    Word(length);
  }
  void Word(uint32_t word) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&word);
    mBytes.insert(mBytes.end(), bytes, bytes + 4);
  }
  std::vector<uint8_t> mBytes;
};

// Ethernet + IPv4 + UDP around `payload`.
std::vector<uint8_t> UdpFrame(uint16_t port, const std::vector<uint8_t>& payload, uint8_t protocol = 17) {
  std::vector<uint8_t> frame(14 + 20 + 8 + payload.size(), 0);
  frame[12] = 0x08;
  frame[14] = 0x45;
  const size_t ipLength = 20 + 8 + payload.size();
  frame[16] = static_cast<uint8_t>(ipLength >> 8);
  frame[17] = static_cast<uint8_t>(ipLength);
  frame[23] = protocol;
  frame[34 + 2] = static_cast<uint8_t>(port >> 8);
  frame[34 + 3] = static_cast<uint8_t>(port);
  frame[34 + 4] = static_cast<uint8_t>((8 + payload.size()) >> 8);
  frame[34 + 5] = static_cast<uint8_t>(8 + payload.size());
  std::copy(payload.begin(), payload.end(), frame.begin() + 42);
  return frame;
}

TEST(CaptureReader, ReadsPcapngKeepingTimesAndTakingOnePort) {
  const std::vector<uint8_t> a(1144, 0xA1);
  const std::vector<uint8_t> b(5, 0xB2);
  CPcapngBuilder builder;
  builder.Packet(1'000'000'000, UdpFrame(14043, a));
  builder.Packet(1'010'000'000, UdpFrame(5000, b));
  builder.Packet(1'020'000'000, UdpFrame(14043, b, 6));  // TCP: not taken
  builder.Packet(1'030'000'000, UdpFrame(14043, b));
  const std::string file = TempPath("wireshark.pcapng");
  builder.Save(file);

  CCaptureReader reader;
  ASSERT_TRUE(reader.Open(file)) << reader.GetError();
  CapturedDatagram datagram;
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram, 14043));
  EXPECT_EQ(0u, datagram.mArrivalNanoseconds);
  EXPECT_EQ(a, datagram.mBytes);
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram, 14043));
  EXPECT_EQ(30'000'000u, datagram.mArrivalNanoseconds);
  EXPECT_EQ(b, datagram.mBytes);
  EXPECT_EQ(CCaptureReader::Status::kEnd, reader.Next(datagram, 14043));
  EXPECT_EQ(1u, reader.GetSkippedPackets());
  EXPECT_EQ(1u, reader.GetOtherPortDatagrams());
  std::filesystem::remove(file);
}

TEST(CaptureReader, PassesOverFragmentsAndPacketsCutByTheSnapLength) {
  std::vector<uint8_t> fragment = UdpFrame(14043, std::vector<uint8_t>(100, 1));
  fragment[20] = 0x20;  // more fragments
  std::vector<uint8_t> whole = UdpFrame(14043, std::vector<uint8_t>(100, 2));
  CapturedDatagram out;
  EXPECT_FALSE(ExtractUdpPayload(1, fragment.data(), fragment.size(), fragment.size(), out));
  EXPECT_FALSE(ExtractUdpPayload(1, whole.data(), 60, whole.size(), out)) << "snap length 60";
  EXPECT_FALSE(ExtractUdpPayload(1, whole.data(), 20, whole.size(), out));
  EXPECT_FALSE(ExtractUdpPayload(147, whole.data(), whole.size(), whole.size(), out))
      << "a link type not known";
  ASSERT_TRUE(ExtractUdpPayload(1, whole.data(), whole.size(), whole.size(), out));
  EXPECT_EQ(std::vector<uint8_t>(100, 2), out.mBytes);
  // A UDP length that claims more than the IP packet holds.
  whole[38] = 0x10;
  EXPECT_FALSE(ExtractUdpPayload(1, whole.data(), whole.size(), whole.size(), out));
}

TEST(CaptureReader, StillReadsTheOlderCaptureFormat) {
  const std::string file = TempPath("older.sdg");
  {
    CDatagramFileWriter writer;
    ASSERT_TRUE(writer.Open(file));
    const uint8_t bytes[3] = {'E', '4', '6'};
    ASSERT_TRUE(writer.Write(5, bytes, 3));
    ASSERT_TRUE(writer.Close());
  }
  CCaptureReader reader;
  ASSERT_TRUE(reader.Open(file)) << reader.GetError();
  EXPECT_EQ(CCaptureReader::Format::kDatagramFile, reader.GetFormat());
  CapturedDatagram datagram;
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram, 14043));
  EXPECT_EQ(5u, datagram.mArrivalNanoseconds);
  EXPECT_EQ(CCaptureReader::Status::kEnd, reader.Next(datagram));
  std::filesystem::remove(file);

  const std::string junk = TempPath("junk.bin");
  std::ofstream(junk) << "not a capture at all";
  EXPECT_FALSE(reader.Open(junk));
  EXPECT_NE(reader.GetError().find("not a pcap, pcapng or recorded datagram file"), std::string::npos);
  std::filesystem::remove(junk);
}

TEST(SuitsimCommandLine, RefusesWhatItCannotUseWithExitCodeTwoAndPlainWords) {
  struct SCase {
    std::string mCommand;
    std::string mSays;
  };
  const std::vector<SCase> cases = {
      {"send --count -1", "--count: must be a whole number from 0 to"},
      {"send --duration -1", "--duration: must be a number of 0 or more, not '-1'"},
      {"send --fault-every 0", "--fault-every: must be a whole number from 1 to"},
      {"send --rate 0", "--rate: must be a number above 0, not '0'"},
      {"record x.pcap --port 70000", "--port: must be a whole number from 0 to 65535"},
      {"record x.pcap --count -1", "--count: must be a whole number from 0 to"},
      {"replay x.pcap --speed 0", "--speed: must be a number above 0"},
      {"send --no-such-option", "no-such-option"},
      {"", "A subcommand is required"},
  };
  for (const SCase& c : cases) {
    const SRun run = RunShell(kSuitsim + " " + c.mCommand);
    EXPECT_EQ(2, run.mExit) << c.mCommand << "\n" << run.Text();
    EXPECT_NE(run.Text().find(c.mSays), std::string::npos) << c.mCommand << "\n" << run.Text();
    EXPECT_EQ(run.Text().find("1797693134862315708145"), std::string::npos) << run.Text();
  }
  EXPECT_EQ(0, RunShell(kSuitsim + " replay --help").mExit);
}

TEST(SuitsimCommandLine, SendFailsWhenNoDatagramCouldBeSent) {
  // Broadcast without permission: every sendto fails locally, nothing leaves.
  const SRun run = RunShell(kSuitsim + " send --to 255.255.255.255:9 --count 3 --quiet");
  EXPECT_EQ(1, run.mExit) << run.Text();
  EXPECT_NE(run.Text().find("no datagram could be sent"), std::string::npos) << run.Text();
}

// A loopback socket on a port of its own that a replay sends to.
class CReplayTarget {
 public:
  CReplayTarget() {
    mSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(mSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(mSocket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      mPort = ntohs(address.sin_port);
    }
  }
  ~CReplayTarget() { close(mSocket); }
  std::string Address() const { return "127.0.0.1:" + std::to_string(mPort); }
  // The next datagram, or nothing when none comes within `timeout`.
  std::optional<std::vector<uint8_t>> Receive(std::chrono::milliseconds timeout) {
    pollfd wait{mSocket, POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
    std::vector<uint8_t> bytes(65536);
    const ssize_t got = recv(mSocket, bytes.data(), bytes.size(), 0);
    if (got < 0) return std::nullopt;
    bytes.resize(static_cast<size_t>(got));
    return bytes;
  }

 private:
  int mSocket = -1;
  uint16_t mPort = 0;
};

// A file of the older format with one small datagram at each of `times`.
std::string WriteTimedCapture(const std::string& name, const std::vector<uint64_t>& times) {
  const std::string file = TempPath(name);
  CDatagramFileWriter writer;
  EXPECT_TRUE(writer.Open(file));
  for (size_t i = 0; i < times.size(); ++i) {
    const uint8_t bytes[2] = {'#', static_cast<uint8_t>(i)};
    EXPECT_TRUE(writer.Write(times[i], bytes, sizeof bytes));
  }
  EXPECT_TRUE(writer.Close());
  return file;
}

constexpr uint64_t kHour = 3600ull * 1'000'000'000ull;
constexpr uint64_t kTenYears = 10ull * 365 * 24 * kHour;
constexpr uint64_t kLatestStamp = 0x7FFF'FFFF'FFFF'FFFFull;

TEST(SuitsimReplayTiming, AStopSignalEndsAWaitAtOnceWithTheSummary) {
  for (const int signal : {SIGTERM, SIGINT}) {
    const std::string file = WriteTimedCapture("gap.sdg", {0, kHour, kHour + 1});
    CReplayTarget target;
    CChildProcess replay({kSuitsim, "replay", file, "--to", target.Address(), "--max-gap", "0"});
    ASSERT_TRUE(replay.IsRunning());
    // The first datagram goes out at once; then the replay waits an hour.
    ASSERT_TRUE(target.Receive(60s)) << "signal " << signal;
    ASSERT_TRUE(replay.Signal(signal));
    SRun run;
    while (auto line = replay.ReadLine(60s)) run.mLines.push_back(*line);
    run.mExit = replay.Wait(60s);
    EXPECT_EQ(0, run.mExit) << "signal " << signal << "\n" << run.Text();
    EXPECT_NE(run.Text().find("replayed 1 datagrams"), std::string::npos) << run.Text();
    EXPECT_NE(run.Text().find("stopped by a signal"), std::string::npos) << run.Text();
    EXPECT_FALSE(target.Receive(0ms)) << "nothing after the stop";
    std::filesystem::remove(file);
  }
}

TEST(SuitsimReplayTiming, GapsLongerThanTheLimitAreShortenedAndNamed) {
  // Ten years, then the latest time a clock holds: both shortened, in order.
  const std::string file = WriteTimedCapture("years.sdg", {0, kTenYears, kTenYears + 1000, kLatestStamp});
  CReplayTarget target;
  const SRun run = RunShell(kSuitsim + " replay " + file + " --to " + target.Address() + " --max-gap 0.05");
  EXPECT_EQ(0, run.mExit) << run.Text();
  for (uint8_t i = 0; i < 4; ++i) {
    const auto datagram = target.Receive(10s);
    ASSERT_TRUE(datagram) << "datagram " << int{i};
    EXPECT_EQ((std::vector<uint8_t>{'#', i}), *datagram);
  }
  const std::string text = run.Text();
  EXPECT_NE(text.find("a gap of 315360000.000 s before datagram 2 shortened to 0.05 s (--max-gap)"),
            std::string::npos) << text;
  EXPECT_NE(text.find("before datagram 4 shortened to 0.05 s"), std::string::npos) << text;
  EXPECT_EQ(text.find("before datagram 3"), std::string::npos) << text;
  EXPECT_NE(text.find("replayed 4 datagrams"), std::string::npos) << text;
  EXPECT_NE(text.find("2 gaps longer than 0.05 s shortened"), std::string::npos) << text;

  const SRun help = RunShell(kSuitsim + " replay --help");
  EXPECT_NE(help.Text().find("--max-gap"), std::string::npos) << help.Text();
  const SRun negative = RunShell(kSuitsim + " replay " + file + " --max-gap -1");
  EXPECT_EQ(2, negative.mExit) << negative.Text();
  std::filesystem::remove(file);
}

TEST(CaptureReader, RefusesTimeStampsBeyondWhatAClockHolds) {
  // The older format: a record one past 2^63 - 1 ns is an error, the records
  // before it stay usable, and replay sends them and exits with 1.
  const std::string file = WriteTimedCapture("overflow.sdg", {0, kLatestStamp + 1});
  CCaptureReader reader;
  ASSERT_TRUE(reader.Open(file)) << reader.GetError();
  CapturedDatagram datagram;
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram));
  EXPECT_EQ(CCaptureReader::Status::kError, reader.Next(datagram));
  EXPECT_NE(reader.GetError().find("record 2: time 9223372036854775808 ns above 2^63 - 1"),
            std::string::npos) << reader.GetError();
  CReplayTarget target;
  const SRun run = RunShell(kSuitsim + " replay " + file + " --to " + target.Address());
  EXPECT_EQ(1, run.mExit) << run.Text();
  EXPECT_TRUE(target.Receive(10s));
  EXPECT_NE(run.Text().find("replayed 1 datagrams"), std::string::npos) << run.Text();
  std::filesystem::remove(file);

  // pcapng: 64-bit stamps, here nanoseconds up to 2^64 - 1.
  CPcapngBuilder builder;
  builder.Packet(1'000'000'000, UdpFrame(14043, std::vector<uint8_t>(4, 1)));
  builder.Packet(kLatestStamp, UdpFrame(14043, std::vector<uint8_t>(4, 2)));
  builder.Packet(0xFFFF'FFFF'FFFF'FFFFull, UdpFrame(14043, std::vector<uint8_t>(4, 3)));
  const std::string pcapng = TempPath("far-future.pcapng");
  builder.Save(pcapng);
  ASSERT_TRUE(reader.Open(pcapng)) << reader.GetError();
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram));
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram));
  EXPECT_EQ(kLatestStamp - 1'000'000'000, datagram.mArrivalNanoseconds);
  EXPECT_EQ(CCaptureReader::Status::kError, reader.Next(datagram));
  EXPECT_NE(reader.GetError().find("packet 3: time stamp 18446744073 s beyond"), std::string::npos)
      << reader.GetError();
  std::filesystem::remove(pcapng);
}

TEST(SuitsimReplayTiming, AFastReplaySendsEveryDatagramWhateverItsTimeStamps) {
  // --fast never waits, so times past what a clock holds are no reason to
  // stop: both files refused above replay whole, in order.
  const std::string older = WriteTimedCapture("fast-overflow.sdg", {0, kLatestStamp + 1, 5, ~0ull});
  CPcapngBuilder builder;
  builder.Packet(1'000'000'000, UdpFrame(14043, std::vector<uint8_t>(4, 0)));
  builder.Packet(kLatestStamp, UdpFrame(14043, std::vector<uint8_t>(4, 1)));
  builder.Packet(0xFFFF'FFFF'FFFF'FFFFull, UdpFrame(14043, std::vector<uint8_t>(4, 2)));
  builder.Packet(2'000'000'000, UdpFrame(14043, std::vector<uint8_t>(4, 3)));
  const std::string pcapng = TempPath("fast-far-future.pcapng");
  builder.Save(pcapng);

  for (const std::string& file : {older, pcapng}) {
    CReplayTarget target;
    const SRun run = RunShell(kSuitsim + " replay " + file + " --fast --to " + target.Address());
    EXPECT_EQ(0, run.mExit) << file << "\n" << run.Text();
    EXPECT_NE(run.Text().find("replayed 4 datagrams"), std::string::npos) << run.Text();
    for (uint8_t i = 0; i < 4; ++i) {
      const auto datagram = target.Receive(10s);
      ASSERT_TRUE(datagram) << file << ": datagram " << int{i};
      EXPECT_EQ(file == older ? (std::vector<uint8_t>{'#', i}) : std::vector<uint8_t>(4, i),
                *datagram);
    }
  }
  std::filesystem::remove(older);
  std::filesystem::remove(pcapng);
}

TEST(CaptureReader, ReadsAFileInMemory) {
  CPcapngBuilder builder;
  builder.Packet(5, UdpFrame(14043, std::vector<uint8_t>(3, 7)));
  const std::string path = TempPath("memory.pcapng");
  builder.Save(path);
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  CCaptureReader reader;
  ASSERT_TRUE(reader.Open(fmemopen(bytes.data(), bytes.size(), "rb"), "memory")) << reader.GetError();
  CapturedDatagram datagram;
  ASSERT_EQ(CCaptureReader::Status::kRecord, reader.Next(datagram));
  EXPECT_EQ(std::vector<uint8_t>(3, 7), datagram.mBytes);
  EXPECT_EQ(CCaptureReader::Status::kEnd, reader.Next(datagram));
  // Not a capture: refused, and the stream is closed all the same (ASan's
  // leak check would see it otherwise).
  char junk[] = "not a capture";
  EXPECT_FALSE(reader.Open(fmemopen(junk, sizeof junk, "rb"), "junk"));
  EXPECT_NE(reader.GetError().find("junk: not a pcap"), std::string::npos) << reader.GetError();
}

}  // namespace
