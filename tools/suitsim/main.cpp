// suitsim: stands in for the suit and its studio application when testing
// the watcher without a suit, and captures and replays what a real one sent.

#include <CLI/CLI.hpp>

#include "tools/suitsim/record_command.h"
#include "tools/suitsim/replay_command.h"
#include "tools/suitsim/send_command.h"

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
      ->check(CLI::Range(0, 2600));
  sendCommand->add_option("--rate", send.mRate, "Frames per second per suit")
      ->capture_default_str();
  sendCommand
      ->add_option("--to", send.mTo,
                   "Destination HOST:PORT; a multicast group address is sent to as such")
      ->capture_default_str();
  sendCommand->add_option("--ttl", send.mTtl, "Multicast time-to-live")
      ->capture_default_str()
      ->check(CLI::Range(0, 255));
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
      ->check(CLI::PositiveNumber);
  sendCommand
      ->add_option("--burst-size", send.mBurstSize,
                   "Frames sent back to back, without pacing, by a burst")
      ->capture_default_str();
  sendCommand->add_option("--count", send.mCount, "Stop after this many frames per suit (0: never)")
      ->capture_default_str();
  sendCommand->add_option("--duration", send.mDuration, "Stop after this many seconds (0: never)")
      ->capture_default_str();
  sendCommand->add_option("--seed", send.mSeed, "Seed for shuffling and faults")
      ->capture_default_str();
  sendCommand->add_flag("--quiet", send.mQuiet, "No progress line");

  RecordOptions record;
  CLI::App* recordCommand = app.add_subcommand(
      "record", "Capture the datagrams arriving on a UDP port, with arrival times, into FILE.");
  recordCommand->add_option("FILE", record.mFile, "Capture file to write")->required();
  recordCommand->add_option("--port", record.mPort, "UDP port to listen on (0: any free port)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  recordCommand->add_option("--group", record.mGroup, "IPv4 multicast group to join");
  recordCommand->add_option("--count", record.mCount, "Stop after this many datagrams (0: never)")
      ->capture_default_str();
  recordCommand
      ->add_option("--duration", record.mDuration, "Stop after this many seconds (0: never)")
      ->capture_default_str();
  recordCommand->add_flag("--quiet", record.mQuiet, "No progress line");

  ReplayOptions replay;
  CLI::App* replayCommand =
      app.add_subcommand("replay", "Send the datagrams of a capture file again, byte for byte.");
  replayCommand->add_option("FILE", replay.mFile, "Capture file to read")->required();
  replayCommand->add_option("--to", replay.mTo, "Destination HOST:PORT")->capture_default_str();
  replayCommand->add_option("--ttl", replay.mTtl, "Multicast time-to-live")
      ->capture_default_str()
      ->check(CLI::Range(0, 255));
  replayCommand->add_flag("--fast", replay.mFast,
                          "Send as fast as possible instead of with the recorded timing");
  replayCommand->add_flag("--quiet", replay.mQuiet, "No progress line");

  app.footer(
      "Frames: positions in metres of a person about 1.75 m tall walking round a circle.\n"
      "Capture files: see tools/suitsim/README.md (format version 1).\n"
      "Ctrl-C ends any command cleanly with its summary.");

  CLI11_PARSE(app, argc, argv);

  if (sendCommand->parsed()) return RunSendCommand(send);
  if (recordCommand->parsed()) return RunRecordCommand(record);
  return RunReplayCommand(replay);
}
