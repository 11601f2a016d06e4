// Capture files: `suitsim record` writes pcap (with made-up Ethernet, IPv4
// and UDP headers around each datagram, so tcpdump and Wireshark read them);
// `suitsim replay` and `suitsim info` read pcap and pcapng files written by
// any tool, and the older recorded datagram files (datagram_file.h).
//
// From a pcap or pcapng file only UDP over IPv4 or IPv6 is taken, on the link
// types tcpdump and Wireshark write for Ethernet, loopback and "any"
// interfaces; other packets, fragments and packets cut short by the snap
// length are skipped and counted.
//
// Thread-safety: a writer or reader object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/suitsim/datagram_file.h"

struct CapturedDatagram {
  uint64_t mArrivalNanoseconds = 0;  // since the first packet of the file (or the capture start),
                                     // at most kCaptureMaxNanoseconds
  uint16_t mSourcePort = 0;          // 0 when the file does not say
  uint16_t mDestinationPort = 0;     // 0 when the file does not say
  std::vector<uint8_t> mBytes;       // the UDP payload
};

// The latest arrival time a reader hands out: a signed 64-bit count of
// nanoseconds (about 292 years), what a clock's duration holds. A packet
// stamped later than that is refused as an error, unless the reader was told
// to accept any time stamp.
inline constexpr uint64_t kCaptureMaxNanoseconds = kDatagramFileMaxNanoseconds;

// The largest UDP payload an IPv4 packet carries.
inline constexpr size_t kCaptureMaxPayload = 65507;

class CPcapCaptureWriter {
 public:
  CPcapCaptureWriter();
  ~CPcapCaptureWriter();
  CPcapCaptureWriter(const CPcapCaptureWriter&) = delete;
  CPcapCaptureWriter& operator=(const CPcapCaptureWriter&) = delete;

  // Creates (or truncates) `path`; nanosecond time stamps, Ethernet link.
  bool Open(const std::string& path);
  // Appends one datagram sent from source to destination (IPv4 addresses in
  // network byte order, ports in host order). `unixNanoseconds` is the
  // arrival time as wall-clock time.
  bool Write(uint64_t unixNanoseconds, uint32_t sourceAddress, uint16_t sourcePort,
             uint32_t destinationAddress, uint16_t destinationPort, const uint8_t* bytes,
             size_t length);
  bool Flush();
  // Flushes and closes; false when any write failed.
  bool Close();

  const std::string& GetError() const { return mError; }

 private:
  struct SPcap;
  std::unique_ptr<SPcap> mPcap;
  bool mFailed = false;
  std::string mError;
  std::vector<uint8_t> mPacket;
};

class CCaptureReader {
 public:
  enum class Status { kRecord, kEnd, kTruncated, kError };
  enum class Format { kPcap, kDatagramFile };

  CCaptureReader();
  ~CCaptureReader();
  CCaptureReader(const CCaptureReader&) = delete;
  CCaptureReader& operator=(const CCaptureReader&) = delete;

  // Opens `path` in whichever format it is. False with GetError() set.
  bool Open(const std::string& path);
  // The same for a file already open at its start (a file in memory from
  // fmemopen, for one), which the reader then owns and closes; `name` is
  // used in messages. The file must allow seeking back to its start.
  bool Open(std::FILE* file, const std::string& name);
  // The next UDP datagram (to `port` when not 0; a datagram file records no
  // ports and keeps every datagram).
  Status Next(CapturedDatagram& out, uint16_t port = 0);
  // For a caller that never waits on the times (a replay with --fast): a
  // time stamp beyond kCaptureMaxNanoseconds, or before the epoch, is no
  // error; the datagram then arrives at kCaptureMaxNanoseconds (or at 0).
  void AcceptAnyTimeStamp();

  Format GetFormat() const { return mFormat; }
  // Packets of a pcap file that were not whole UDP datagrams.
  uint64_t GetSkippedPackets() const { return mSkipped; }
  // UDP datagrams passed over because they went to another port.
  uint64_t GetOtherPortDatagrams() const { return mOtherPorts; }
  const std::string& GetError() const { return mError; }

 private:
  struct SPcap;
  std::unique_ptr<SPcap> mPcap;
  CDatagramFileReader mDatagramFile;
  Format mFormat = Format::kPcap;
  bool mAcceptAnyTimeStamp = false;
  bool mHaveFirst = false;
  uint64_t mFirstNanoseconds = 0;
  uint64_t mSkipped = 0;
  uint64_t mOtherPorts = 0;
  uint64_t mPackets = 0;
  std::string mError;
};

// Finds the UDP payload in one captured packet of the given libpcap link type
// (DLT_*). False when the packet is not a whole, unfragmented UDP datagram.
bool ExtractUdpPayload(int linkType, const uint8_t* packet, size_t capturedLength,
                       size_t wireLength, CapturedDatagram& out);
