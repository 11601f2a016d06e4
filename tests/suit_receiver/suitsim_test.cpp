// suitsim end to end: what `send` puts on the wire, and that `record` then
// `replay` reproduce it byte for byte. Also the capture file format.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/suit_receiver/child_process.h"
#include "tools/suitsim/capture_file.h"
#include "tools/suitsim/datagram_file.h"
#include "tools/suitsim/suit_fault.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using namespace std::chrono_literals;

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          (name + "-" + std::to_string(::getpid()) + ".sdg"))
      .string();
}

// Starts `suitsim record` on a free port and returns that port (0 on failure).
int StartRecording(CChildProcess& recorder) {
  const auto line = recorder.ReadLine(20s);
  const std::string prefix = "recording on port ";
  if (!line || line->rfind(prefix, 0) != 0) return 0;
  return std::stoi(line->substr(prefix.size()));
}

// Every datagram of a capture `suitsim record` wrote (pcap).
std::vector<RecordedDatagram> ReadAll(const std::string& path) {
  std::vector<RecordedDatagram> records;
  CCaptureReader reader;
  EXPECT_TRUE(reader.Open(path)) << reader.GetError();
  CapturedDatagram datagram;
  while (reader.Next(datagram) == CCaptureReader::Status::kRecord) {
    records.push_back({datagram.mArrivalNanoseconds, datagram.mBytes});
  }
  EXPECT_EQ("", reader.GetError());
  return records;
}

}  // namespace

class TheSuitSimulator : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& path : mFiles) std::remove(path.c_str());
  }
  std::string File(const std::string& name) {
    mFiles.push_back(TempPath(name));
    return mFiles.back();
  }

  const std::string mSuitsim = SUITSIM_PATH;
  std::vector<std::string> mFiles;
};

TEST_F(TheSuitSimulator, SendsTheFramesOfItsFrameBuilder) {
  const std::string captured = File("sent");
  CChildProcess recorder({mSuitsim, "record", captured, "--port", "0", "--count", "40", "--quiet"});
  const int port = StartRecording(recorder);
  ASSERT_NE(0, port);
  CChildProcess sender({mSuitsim, "send", "--to", "127.0.0.1:" + std::to_string(port), "--suit",
                        "E46", "--suit", "404", "--count", "20", "--rate", "400", "--quiet"});
  EXPECT_EQ(0, sender.Wait(60s));
  ASSERT_EQ(0, recorder.Wait(60s));

  const auto records = ReadAll(captured);
  ASSERT_EQ(40u, records.size());
  const CWalkingFigure figures[2] = {CWalkingFigure(0), CWalkingFigure(1)};
  const char* suits[2] = {"E46", "404"};
  for (uint32_t frame = 0; frame < 20; ++frame) {
    for (int suit = 0; suit < 2; ++suit) {
      const auto expected =
          EncodeSuitFrame(figures[suit].FrameAt(suits[suit], frame / 400.0, frame));
      EXPECT_EQ(expected, records[frame * 2 + suit].mBytes)
          << "frame " << frame << " suit " << suit;
    }
  }
  for (size_t i = 1; i < records.size(); ++i) {
    EXPECT_LE(records[i - 1].mArrivalNanoseconds, records[i].mArrivalNanoseconds);
  }
}

TEST_F(TheSuitSimulator, ReplaysARecordingByteForByte) {
  const std::string first = File("first");
  const std::string second = File("second");
  constexpr int kFrames = 60;  // every 4th damaged in turn: 3 empty datagrams among them
  {
    CChildProcess recorder(
        {mSuitsim, "record", first, "--port", "0", "--count", std::to_string(kFrames), "--quiet"});
    const int port = StartRecording(recorder);
    ASSERT_NE(0, port);
    CChildProcess sender({mSuitsim,
                          "send",
                          "--to",
                          "127.0.0.1:" + std::to_string(port),
                          "--count",
                          std::to_string(kFrames),
                          "--rate",
                          "300",
                          "--shuffle",
                          "--fault",
                          "wrong-length",
                          "--fault",
                          "unknown-address",
                          "--fault",
                          "repeated-address",
                          "--fault",
                          "empty",
                          "--fault-every",
                          "4",
                          "--seed",
                          "7",
                          "--quiet"});
    EXPECT_EQ(0, sender.Wait(60s));
    ASSERT_EQ(0, recorder.Wait(60s));
  }
  {
    CChildProcess recorder(
        {mSuitsim, "record", second, "--port", "0", "--count", std::to_string(kFrames), "--quiet"});
    const int port = StartRecording(recorder);
    ASSERT_NE(0, port);
    CChildProcess replayer(
        {mSuitsim, "replay", first, "--to", "127.0.0.1:" + std::to_string(port), "--quiet"});
    EXPECT_EQ(0, replayer.Wait(60s));
    ASSERT_EQ(0, recorder.Wait(60s));
  }
  const auto original = ReadAll(first);
  const auto replayed = ReadAll(second);
  ASSERT_EQ(static_cast<size_t>(kFrames), original.size());
  ASSERT_EQ(original.size(), replayed.size());
  size_t damaged = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    EXPECT_EQ(original[i].mBytes, replayed[i].mBytes) << "datagram " << i;
    if (original[i].mBytes.size() != kSuitFrameBytes) ++damaged;
  }
  EXPECT_GE(damaged, 3u);  // at least the empty ones and the wrong lengths
}

class ADatagramFile : public TheSuitSimulator {};

TEST_F(ADatagramFile, KeepsTheRecordsBeforeATruncatedOne) {
  const std::string path = File("truncated");
  CDatagramFileWriter writer;
  ASSERT_TRUE(writer.Open(path));
  const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
  ASSERT_TRUE(writer.Write(10, bytes.data(), bytes.size()));
  ASSERT_TRUE(writer.Write(20, nullptr, 0));
  ASSERT_TRUE(writer.Write(30, bytes.data(), bytes.size()));
  ASSERT_TRUE(writer.Close());
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 2);

  std::vector<RecordedDatagram> records;
  std::string error;
  EXPECT_TRUE(ReadDatagramFile(path, records, error));
  EXPECT_EQ("last record truncated", error);
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(10u, records[0].mArrivalNanoseconds);
  EXPECT_EQ(bytes, records[0].mBytes);
  EXPECT_TRUE(records[1].mBytes.empty());
}

TEST_F(ADatagramFile, RefusesAnotherFormatOrVersion) {
  const std::string path = File("foreign");
  CDatagramFileWriter writer;
  ASSERT_TRUE(writer.Open(path));
  ASSERT_TRUE(writer.Close());
  std::vector<RecordedDatagram> records;
  std::string error;
  ASSERT_TRUE(ReadDatagramFile(path, records, error));

  {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    std::fseek(file, 8, SEEK_SET);
    const uint32_t version = 2;
    std::fwrite(&version, 4, 1, file);
    std::fclose(file);
  }
  EXPECT_FALSE(ReadDatagramFile(path, records, error));
  EXPECT_NE(std::string::npos, error.find("unknown format version 2"));
  {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    std::fwrite("NOTSUITS", 8, 1, file);
    std::fclose(file);
  }
  EXPECT_FALSE(ReadDatagramFile(path, records, error));
  EXPECT_NE(std::string::npos, error.find("not a recorded datagram file"));
}

class ASuitFault : public ::testing::Test {
 protected:
  SuitDatagram Damaged(SuitFault fault, uint32_t seed) {
    std::mt19937 rng(seed);
    SuitDatagram bytes = EncodeSuitFrame(CWalkingFigure(0).FrameAt("E46", 0.5, 50));
    ApplySuitFault(fault, bytes, rng);
    return bytes;
  }
  static std::vector<uint8_t> Addresses(const SuitDatagram& bytes) {
    std::vector<uint8_t> addresses;
    for (size_t i = 0; i < kSuitRecordCount; ++i) addresses.push_back(bytes[4 + i * 60]);
    return addresses;
  }
};

TEST_F(ASuitFault, OfWrongLengthNeverHitsTheFrameSize) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    const auto bytes = Damaged(SuitFault::kWrongLength, seed);
    EXPECT_NE(kSuitFrameBytes, bytes.size());
    EXPECT_GE(bytes.size(), 1u);
    EXPECT_LE(bytes.size(), 4096u);
  }
}

TEST_F(ASuitFault, OfAddressesChangesExactlyOneRecordStart) {
  const auto good = Addresses(Damaged(SuitFault::kBurst, 1));  // a burst leaves bytes alone
  for (uint32_t seed = 0; seed < 50; ++seed) {
    const auto unknown = Addresses(Damaged(SuitFault::kUnknownAddress, seed));
    const auto repeated = Addresses(Damaged(SuitFault::kRepeatedAddress, seed));
    int unknownChanges = 0;
    int repeatedChanges = 0;
    for (size_t i = 0; i < kSuitRecordCount; ++i) {
      if (unknown[i] != good[i]) {
        ++unknownChanges;
        EXPECT_EQ(kSuitUnknownAddress, unknown[i]);
      }
      if (repeated[i] != good[i]) {
        ++repeatedChanges;
        EXPECT_EQ(2, std::count(repeated.begin(), repeated.end(), repeated[i]));
      }
    }
    EXPECT_EQ(1, unknownChanges);
    EXPECT_EQ(1, repeatedChanges);
  }
  EXPECT_TRUE(Damaged(SuitFault::kEmpty, 3).empty());
}

TEST_F(ASuitFault, NamesParseBackToTheirKinds) {
  for (SuitFault fault : {SuitFault::kWrongLength, SuitFault::kUnknownAddress,
                          SuitFault::kRepeatedAddress, SuitFault::kEmpty, SuitFault::kBurst}) {
    EXPECT_EQ(fault, ParseSuitFault(SuitFaultName(fault)));
  }
  EXPECT_FALSE(ParseSuitFault("flood").has_value());
}
