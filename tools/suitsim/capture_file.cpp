#include "tools/suitsim/capture_file.h"

#include <pcap/pcap.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kEthernetHeader = 14;
constexpr size_t kIpv4Header = 20;
constexpr size_t kIpv6Header = 40;
constexpr size_t kUdpHeader = 8;
constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr uint16_t kEtherTypeIpv6 = 0x86DD;
constexpr uint16_t kEtherTypeVlan = 0x8100;
constexpr uint16_t kEtherTypeQinQ = 0x88A8;
constexpr uint8_t kProtocolUdp = 17;
// Link types missing from older pcap headers.
constexpr int kLinkLinuxSll2 = 276;
constexpr int kLinkIpv4 = 228;
constexpr int kLinkIpv6 = 229;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

void Write16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

uint16_t Ipv4Checksum(const uint8_t* header) {
  uint32_t sum = 0;
  for (size_t i = 0; i < kIpv4Header; i += 2) sum += Read16(header + i);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

// The UDP payload of an IP packet at `ip`; `available` bytes were captured.
bool ExtractFromIp(const uint8_t* ip, size_t available, CapturedDatagram& out) {
  if (available < 1) return false;
  const uint8_t version = ip[0] >> 4;
  const uint8_t* udp = nullptr;
  size_t ipPayload = 0;
  if (version == 4) {
    if (available < kIpv4Header) return false;
    const size_t headerLength = static_cast<size_t>(ip[0] & 0x0F) * 4;
    const size_t totalLength = Read16(ip + 2);
    const uint16_t fragment = Read16(ip + 6);
    if (headerLength < kIpv4Header || totalLength < headerLength) return false;
    if ((fragment & 0x3FFF) != 0) return false;  // a fragment: more-fragments or an offset
    if (ip[9] != kProtocolUdp) return false;
    udp = ip + headerLength;
    ipPayload = totalLength - headerLength;
    if (available < headerLength) return false;
    available -= headerLength;
  } else if (version == 6) {
    if (available < kIpv6Header) return false;
    if (ip[6] != kProtocolUdp) return false;  // extension headers are not followed
    udp = ip + kIpv6Header;
    ipPayload = Read16(ip + 4);
    available -= kIpv6Header;
  } else {
    return false;
  }
  if (ipPayload < kUdpHeader || available < kUdpHeader) return false;
  const size_t udpLength = Read16(udp + 4);
  if (udpLength < kUdpHeader || udpLength > ipPayload) return false;
  const size_t payload = udpLength - kUdpHeader;
  if (available - kUdpHeader < payload) return false;  // cut short by the snap length
  out.mSourcePort = Read16(udp);
  out.mDestinationPort = Read16(udp + 2);
  out.mBytes.assign(udp + kUdpHeader, udp + kUdpHeader + payload);
  return true;
}

}  // namespace

bool ExtractUdpPayload(int linkType, const uint8_t* packet, size_t capturedLength,
                       size_t wireLength, CapturedDatagram& out) {
  if (capturedLength > wireLength) capturedLength = wireLength;
  switch (linkType) {
    case DLT_EN10MB: {
      size_t offset = 12;
      if (capturedLength < kEthernetHeader) return false;
      uint16_t type = Read16(packet + offset);
      while ((type == kEtherTypeVlan || type == kEtherTypeQinQ) && capturedLength >= offset + 6) {
        offset += 4;
        type = Read16(packet + offset);
      }
      offset += 2;
      if (type != kEtherTypeIpv4 && type != kEtherTypeIpv6) return false;
      return ExtractFromIp(packet + offset, capturedLength - offset, out);
    }
    case DLT_NULL:
    case DLT_LOOP:
      // A 4-byte address family in the writer's or network byte order; the
      // IP version nibble tells enough.
      if (capturedLength < 4) return false;
      return ExtractFromIp(packet + 4, capturedLength - 4, out);
    case DLT_RAW:
    case kLinkIpv4:
    case kLinkIpv6:
      return ExtractFromIp(packet, capturedLength, out);
    case DLT_LINUX_SLL: {
      if (capturedLength < 16) return false;
      const uint16_t type = Read16(packet + 14);
      if (type != kEtherTypeIpv4 && type != kEtherTypeIpv6) return false;
      return ExtractFromIp(packet + 16, capturedLength - 16, out);
    }
    case kLinkLinuxSll2: {
      if (capturedLength < 20) return false;
      const uint16_t type = Read16(packet);
      if (type != kEtherTypeIpv4 && type != kEtherTypeIpv6) return false;
      return ExtractFromIp(packet + 20, capturedLength - 20, out);
    }
    default:
      return false;
  }
}

struct CPcapCaptureWriter::SPcap {
  pcap_t* mHandle = nullptr;
  pcap_dumper_t* mDumper = nullptr;
};

CPcapCaptureWriter::CPcapCaptureWriter() : mPcap(std::make_unique<SPcap>()) {}

CPcapCaptureWriter::~CPcapCaptureWriter() { Close(); }

bool CPcapCaptureWriter::Open(const std::string& path) {
  Close();
  mFailed = false;
  mError.clear();
  mPcap->mHandle = pcap_open_dead_with_tstamp_precision(
      DLT_EN10MB, static_cast<int>(kEthernetHeader + kIpv4Header + kUdpHeader + kCaptureMaxPayload),
      PCAP_TSTAMP_PRECISION_NANO);
  if (mPcap->mHandle == nullptr) {
    mError = "cannot start a pcap writer";
    return false;
  }
  mPcap->mDumper = pcap_dump_open(mPcap->mHandle, path.c_str());
  if (mPcap->mDumper == nullptr) {
    mError = std::string("cannot create ") + path + ": " + pcap_geterr(mPcap->mHandle);
    pcap_close(mPcap->mHandle);
    mPcap->mHandle = nullptr;
    return false;
  }
  return true;
}

bool CPcapCaptureWriter::Write(uint64_t unixNanoseconds, uint32_t sourceAddress,
                               uint16_t sourcePort, uint32_t destinationAddress,
                               uint16_t destinationPort, const uint8_t* bytes, size_t length) {
  if (mPcap->mDumper == nullptr || mFailed) return false;
  if (length > kCaptureMaxPayload) {
    mError = "datagram longer than 65507 bytes";
    return false;
  }
  const size_t total = kEthernetHeader + kIpv4Header + kUdpHeader + length;
  mPacket.assign(total, 0);
  uint8_t* ethernet = mPacket.data();
  ethernet[0] = 0x02;  // locally administered addresses, all else zero
  ethernet[6] = 0x02;
  Write16(ethernet + 12, kEtherTypeIpv4);
  uint8_t* ip = ethernet + kEthernetHeader;
  ip[0] = 0x45;
  Write16(ip + 2, static_cast<uint16_t>(kIpv4Header + kUdpHeader + length));
  Write16(ip + 6, 0x4000);  // don't fragment
  ip[8] = 64;
  ip[9] = kProtocolUdp;
  std::memcpy(ip + 12, &sourceAddress, 4);
  std::memcpy(ip + 16, &destinationAddress, 4);
  Write16(ip + 10, Ipv4Checksum(ip));
  uint8_t* udp = ip + kIpv4Header;
  Write16(udp, sourcePort);
  Write16(udp + 2, destinationPort);
  Write16(udp + 4, static_cast<uint16_t>(kUdpHeader + length));
  // Checksum 0: none computed, which UDP over IPv4 allows.
  if (length > 0) std::memcpy(udp + kUdpHeader, bytes, length);

  pcap_pkthdr header{};
  header.ts.tv_sec = static_cast<time_t>(unixNanoseconds / 1000000000u);
  // With nanosecond precision the field holds nanoseconds.
  header.ts.tv_usec = static_cast<suseconds_t>(unixNanoseconds % 1000000000u);
  header.caplen = static_cast<bpf_u_int32>(total);
  header.len = static_cast<bpf_u_int32>(total);
  pcap_dump(reinterpret_cast<u_char*>(mPcap->mDumper), &header, mPacket.data());
  return true;
}

bool CPcapCaptureWriter::Flush() {
  if (mPcap->mDumper == nullptr) return false;
  if (pcap_dump_flush(mPcap->mDumper) != 0) {
    mError = "write failed";
    mFailed = true;
  }
  return !mFailed;
}

bool CPcapCaptureWriter::Close() {
  if (mPcap->mDumper != nullptr) {
    if (pcap_dump_flush(mPcap->mDumper) != 0 && !mFailed) {
      mError = "write failed";
      mFailed = true;
    }
    pcap_dump_close(mPcap->mDumper);
    mPcap->mDumper = nullptr;
  }
  if (mPcap->mHandle != nullptr) {
    pcap_close(mPcap->mHandle);
    mPcap->mHandle = nullptr;
  }
  return !mFailed;
}

struct CCaptureReader::SPcap {
  pcap_t* mHandle = nullptr;
  int mLinkType = 0;
};

CCaptureReader::CCaptureReader() : mPcap(std::make_unique<SPcap>()) {}

CCaptureReader::~CCaptureReader() {
  if (mPcap->mHandle != nullptr) pcap_close(mPcap->mHandle);
}

bool CCaptureReader::Open(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    const std::string reason = std::strerror(errno);
    Open(nullptr, path);
    mError = "cannot open " + path + ": " + reason;
    return false;
  }
  return Open(file, path);
}

bool CCaptureReader::Open(std::FILE* file, const std::string& name) {
  mError.clear();
  mHaveFirst = false;
  mSkipped = 0;
  mOtherPorts = 0;
  mPackets = 0;
  if (mPcap->mHandle != nullptr) {
    pcap_close(mPcap->mHandle);
    mPcap->mHandle = nullptr;
  }
  if (file == nullptr) {
    mFormat = Format::kPcap;
    mError = "cannot open " + name;
    return false;
  }
  char magic[sizeof(kDatagramFileMagic)] = {};
  const size_t got = std::fread(magic, 1, sizeof(magic), file);
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    mFormat = Format::kPcap;
    mError = "cannot read " + name + ": " + std::strerror(errno);
    return false;
  }
  if (got == sizeof(magic) && std::memcmp(magic, kDatagramFileMagic, sizeof(magic)) == 0) {
    mFormat = Format::kDatagramFile;
    if (!mDatagramFile.Open(file, name)) {
      mError = mDatagramFile.GetError();
      return false;
    }
    return true;
  }
  mFormat = Format::kPcap;
  char errorBuffer[PCAP_ERRBUF_SIZE] = {};
  // On success the handle owns the file; on failure it is still ours.
  mPcap->mHandle = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_NANO,
                                                           errorBuffer);
  if (mPcap->mHandle == nullptr) {
    std::fclose(file);
    mError = name + ": not a pcap, pcapng or recorded datagram file (" + errorBuffer + ")";
    return false;
  }
  mPcap->mLinkType = pcap_datalink(mPcap->mHandle);
  return true;
}

void CCaptureReader::AcceptAnyTimeStamp() {
  mAcceptAnyTimeStamp = true;
  mDatagramFile.AcceptAnyTime();
}

CCaptureReader::Status CCaptureReader::Next(CapturedDatagram& out, uint16_t port) {
  if (!mError.empty()) return Status::kError;
  if (mFormat == Format::kDatagramFile) {
    RecordedDatagram record;
    switch (mDatagramFile.Next(record)) {
      case CDatagramFileReader::Status::kRecord:
        out.mArrivalNanoseconds = record.mArrivalNanoseconds;
        out.mSourcePort = 0;
        out.mDestinationPort = 0;
        out.mBytes = std::move(record.mBytes);
        return Status::kRecord;
      case CDatagramFileReader::Status::kEnd:
        return Status::kEnd;
      case CDatagramFileReader::Status::kTruncated:
        mError = mDatagramFile.GetError();
        return Status::kTruncated;
      case CDatagramFileReader::Status::kError:
        mError = mDatagramFile.GetError();
        return Status::kError;
    }
  }
  if (mPcap->mHandle == nullptr) return Status::kError;
  for (;;) {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int result = pcap_next_ex(mPcap->mHandle, &header, &data);
    if (result == PCAP_ERROR_BREAK) return Status::kEnd;
    ++mPackets;
    if (result != 1) {
      // libpcap reports a file cut off in the middle of a packet as an error;
      // what came before stays usable.
      mError = pcap_geterr(mPcap->mHandle);
      return std::strstr(mError.c_str(), "truncated") != nullptr ? Status::kTruncated
                                                                 : Status::kError;
    }
    if (!ExtractUdpPayload(mPcap->mLinkType, data, header->caplen, header->len, out)) {
      ++mSkipped;
      continue;
    }
    if (port != 0 && out.mDestinationPort != port) {
      ++mOtherPorts;
      continue;
    }
    // With nanosecond precision tv_usec holds nanoseconds. A pcapng file
    // stores 64-bit stamps in units it chooses, so seconds far beyond what
    // a clock can wait for do occur in damaged files.
    constexpr uint64_t kBillion = 1000000000u;
    const auto seconds = static_cast<int64_t>(header->ts.tv_sec);
    const auto fraction = static_cast<int64_t>(header->ts.tv_usec);
    const bool beforeEpoch = seconds < 0 || fraction < 0;
    const bool beyond =
        !beforeEpoch && static_cast<uint64_t>(seconds) >
                            (kCaptureMaxNanoseconds - static_cast<uint64_t>(fraction)) / kBillion;
    if ((beforeEpoch || beyond) && !mAcceptAnyTimeStamp) {
      mError = "packet " + std::to_string(mPackets) + ": time stamp " + std::to_string(seconds) +
               " s beyond what a replay can wait for (2^63 - 1 ns)";
      return Status::kError;
    }
    const uint64_t stamp =
        beforeEpoch ? 0
        : beyond    ? kCaptureMaxNanoseconds
                    : static_cast<uint64_t>(seconds) * kBillion + static_cast<uint64_t>(fraction);
    if (!mHaveFirst) {
      mHaveFirst = true;
      mFirstNanoseconds = stamp;
    }
    // Time stamps of a merged file may step back; replay never waits backwards.
    out.mArrivalNanoseconds = stamp > mFirstNanoseconds ? stamp - mFirstNanoseconds : 0;
    return Status::kRecord;
  }
}
