// `suitsim record FILE`: captures every datagram arriving on a UDP port, with
// its arrival time, sender and destination, into a pcap file (see
// capture_file.h) that tcpdump and Wireshark open.
//
// As soon as the port is bound it prints "recording on port N" on stdout
// (N is the real port when 0 was asked for), so scripts and tests know when
// to start sending.
//
// Thread-safety: runs on the calling thread.
#pragma once

#include <cstdint>
#include <string>

struct RecordOptions {
  std::string mFile;
  int mPort = 14043;       // 0: any free port
  std::string mGroup;      // multicast group to join, or empty
  int64_t mCount = 0;      // stop after this many datagrams; 0: no limit
  double mDuration = 0.0;  // stop after this many seconds; 0: no limit
  bool mQuiet = false;
};

// Returns the process exit code.
int RunRecordCommand(const RecordOptions& options);
