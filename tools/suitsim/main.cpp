// suitsim: stands in for the suit and its studio application when testing
// the watcher without a suit, and captures and replays what a real one sent.

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <string>

#include "tools/suitsim/info_command.h"
#include "tools/suitsim/record_command.h"
#include "tools/suitsim/replay_command.h"
#include "tools/suitsim/send_command.h"

namespace {

// Checks with messages a person reads, applied to the text before conversion
// (so "-1" never wraps round to a huge unsigned count).
CLI::Validator WholeNumber(long long low, long long high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        size_t used = 0;
        long long value = 0;
        try {
          value = std::stoll(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        if (used == 0 || used != text.size() || value < low || value > high) {
          return "must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not '" + text + "'";
        }
        return {};
      },
      "");
}

CLI::Validator Seconds(bool zeroAllowed) {
  return CLI::Validator(
      [zeroAllowed](std::string& text) -> std::string {
        size_t used = 0;
        double value = 0;
        try {
          value = std::stod(text, &used);
        } catch (const std::exception&) {
          used = 0;
        }
        const bool good = used != 0 && used == text.size() && std::isfinite(value) &&
                          (zeroAllowed ? value >= 0.0 : value > 0.0);
        if (!good) {
          return std::string(zeroAllowed ? "must be a number of 0 or more" : "must be a number above 0") +
                 ", not '" + text + "'";
        }
        return {};
      },
      "");
}

constexpr long long kMaxCount = 1000000000000LL;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "suitsim: sends suit frames (1144-byte UDP datagrams, 19 sensors of a walking figure)\n"
      "to a watcher, records the datagrams arriving on a port, and replays a recording."};
  app.require_subcommand(1);

  SendOptions send;
  CLI::App* sendCommand = app.add_subcommand(
      "send", "Send frames of one or more walking figures, one suit per ID, at a steady rate.");
  sendCommand->add_option("--suit", send.mSuitIDs,
                          "Suit ID of exactly 3 characters; repeat for more suits (default E46)");
  sendCommand
      ->add_option("--suits", send.mGeneratedSuits,
                   "Add this many suits with generated IDs A00, A01, ...")
      ->check(WholeNumber(0, 2600));
  sendCommand->add_option("--rate", send.mRate, "Frames per second per suit")
      ->capture_default_str()
      ->check(Seconds(false));
  sendCommand
      ->add_option("--to", send.mTo,
                   "Destination HOST:PORT; a multicast group address is sent to as such")
      ->capture_default_str();
  sendCommand->add_option("--ttl", send.mTtl, "Multicast time-to-live")
      ->capture_default_str()
      ->check(WholeNumber(0, 255));
  sendCommand
      ->add_option("--figure", send.mFirstFigure,
                   "Figure of the first suit (each has its own circle and gait phase); the next\n"
                   "suits take the following ones")
      ->capture_default_str()
      ->check(WholeNumber(0, 2600));
  sendCommand->add_flag("--shuffle", send.mShuffle,
                        "Send the 19 records of each frame in a random order");
  sendCommand
      ->add_option("--fault", send.mFaults,
                   "Damage frames: wrong-length, unknown-address, repeated-address, "
                   "empty or burst; repeat to use several in turn")
      ->check(
          CLI::IsMember({"wrong-length", "unknown-address", "repeated-address", "empty", "burst"}));
  sendCommand
      ->add_option("--fault-every", send.mFaultEvery,
                   "Damage every Nth frame of each suit (with --fault)")
      ->capture_default_str()
      ->check(WholeNumber(1, kMaxCount));
  sendCommand
      ->add_option("--burst-size", send.mBurstSize,
                   "Frames sent back to back, without pacing, by a burst")
      ->capture_default_str()
      ->check(WholeNumber(1, kMaxCount));
  sendCommand->add_option("--count", send.mCount, "Stop after this many frames per suit (0: never)")
      ->capture_default_str()
      ->check(WholeNumber(0, kMaxCount));
  sendCommand->add_option("--duration", send.mDuration, "Stop after this many seconds (0: never)")
      ->capture_default_str()
      ->check(Seconds(true));
  sendCommand->add_option("--seed", send.mSeed, "Seed for shuffling and faults")
      ->capture_default_str()
      ->check(WholeNumber(0, 4294967295LL));
  sendCommand->add_flag("--quiet", send.mQuiet, "No progress line");
  sendCommand->add_flag("--report-sends", send.mReportSends,
                        "Print 'frame SUIT TICK NANOSECONDS X Z DAMAGED' on stdout for every\n"
                        "datagram sent: the steady-clock time just before sendto, and the hip\n"
                        "record's position bits at bytes 44 and 48 (hex), to match what arrives");

  RecordOptions record;
  CLI::App* recordCommand = app.add_subcommand(
      "record",
      "Capture the datagrams arriving on a UDP port, with arrival times, into a pcap FILE\n"
      "(tcpdump -r FILE and Wireshark open it).");
  recordCommand->add_option("FILE", record.mFile, "pcap file to write")->required();
  recordCommand->add_option("--port", record.mPort, "UDP port to listen on (0: any free port)")
      ->capture_default_str()
      ->check(WholeNumber(0, 65535));
  recordCommand->add_option("--group", record.mGroup, "IPv4 multicast group to join");
  recordCommand->add_option("--count", record.mCount, "Stop after this many datagrams (0: never)")
      ->capture_default_str()
      ->check(WholeNumber(0, kMaxCount));
  recordCommand
      ->add_option("--duration", record.mDuration, "Stop after this many seconds (0: never)")
      ->capture_default_str()
      ->check(Seconds(true));
  recordCommand->add_flag("--quiet", record.mQuiet, "No progress line");

  ReplayOptions replay;
  CLI::App* replayCommand =
      app.add_subcommand("replay",
                         "Send the UDP datagrams of a capture again, byte for byte: pcap or pcapng\n"
                         "files from any tool (tcpdump, Wireshark, suitsim record) and the older\n"
                         "suitsim capture files.");
  replayCommand->add_option("FILE", replay.mFile, "Capture file to read")->required();
  replayCommand
      ->add_option("--port", replay.mPort,
                   "Only the datagrams the capture shows going to this UDP port (0: all)")
      ->capture_default_str()
      ->check(WholeNumber(0, 65535));
  replayCommand
      ->add_option("--speed", replay.mSpeed,
                   "Play this many times faster than recorded (0.5: half speed)")
      ->capture_default_str()
      ->check(Seconds(false));
  replayCommand->add_option("--to", replay.mTo, "Destination HOST:PORT")->capture_default_str();
  replayCommand->add_option("--ttl", replay.mTtl, "Multicast time-to-live")
      ->capture_default_str()
      ->check(WholeNumber(0, 255));
  replayCommand
      ->add_option("--max-gap", replay.mMaxGap,
                   "Shorten any wait between two datagrams (after --speed) that is longer than\n"
                   "this many seconds to this many, saying so on stderr (0: never shorten)")
      ->capture_default_str()
      ->check(Seconds(true));
  replayCommand->add_flag("--fast", replay.mFast,
                          "Send as fast as possible instead of with the recorded timing");
  replayCommand->add_flag("--quiet", replay.mQuiet, "No progress line");

  InfoOptions info;
  CLI::App* infoCommand = app.add_subcommand(
      "info", "Say what a capture holds: datagrams, duration, rate, lengths, ports and suits.");
  infoCommand->add_option("FILE", info.mFile, "Capture file to read")->required();
  infoCommand->add_option("--port", info.mPort, "Only the datagrams to this UDP port (0: all)")
      ->capture_default_str()
      ->check(WholeNumber(0, 65535));

  app.footer(
      "Frames: positions in metres of a person about 1.75 m tall walking round a circle.\n"
      "Capture files: pcap (written by record), pcapng, and the older suitsim format;\n"
      "see tools/suitsim/README.md.\n"
      "Ctrl-C ends any command cleanly with its summary.\n"
      "Exit codes: 0 done, 1 a file or socket could not be used or nothing could be sent,\n"
      "2 a bad command line.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForAllHelp& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "suitsim: %s\nRun 'suitsim --help' or 'suitsim COMMAND --help'.\n",
                 e.what());
    return 2;
  }

  if (sendCommand->parsed()) return RunSendCommand(send);
  if (recordCommand->parsed()) return RunRecordCommand(record);
  if (infoCommand->parsed()) return RunInfoCommand(info);
  return RunReplayCommand(replay);
}
