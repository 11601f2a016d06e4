#include "tools/suitsim/suit_fault.h"

#include <array>

namespace {

struct FaultName {
  SuitFault fault;
  std::string_view name;
};

constexpr std::array<FaultName, 5> kFaultNames = {{
    {SuitFault::kWrongLength, "wrong-length"},
    {SuitFault::kUnknownAddress, "unknown-address"},
    {SuitFault::kRepeatedAddress, "repeated-address"},
    {SuitFault::kEmpty, "empty"},
    {SuitFault::kBurst, "burst"},
}};

constexpr size_t kLargestDatagram = 4096;

size_t RecordOffset(size_t index) { return 4 + index * kSuitRecordBytes; }

}  // namespace

std::string_view SuitFaultName(SuitFault fault) {
  for (const auto& entry : kFaultNames) {
    if (entry.fault == fault) return entry.name;
  }
  return "?";
}

std::optional<SuitFault> ParseSuitFault(std::string_view name) {
  for (const auto& entry : kFaultNames) {
    if (entry.name == name) return entry.fault;
  }
  return std::nullopt;
}

void ApplySuitFault(SuitFault fault, SuitDatagram& datagram, std::mt19937& rng) {
  switch (fault) {
    case SuitFault::kWrongLength: {
      // Mostly one byte off (the near misses a length check must catch),
      // sometimes anything up to the largest datagram the receiver reads.
      std::uniform_int_distribution<int> pick(0, 3);
      size_t length = kSuitFrameBytes;
      switch (pick(rng)) {
        case 0:
          length = kSuitFrameBytes - 1;
          break;
        case 1:
          length = kSuitFrameBytes + 1;
          break;
        default: {
          std::uniform_int_distribution<size_t> any(1, kLargestDatagram);
          while (length == kSuitFrameBytes) length = any(rng);
        }
      }
      datagram.resize(length, 0);
      break;
    }
    case SuitFault::kUnknownAddress: {
      if (datagram.size() < kSuitFrameBytes) break;
      std::uniform_int_distribution<size_t> record(0, kSuitRecordCount - 1);
      datagram[RecordOffset(record(rng))] = kSuitUnknownAddress;
      break;
    }
    case SuitFault::kRepeatedAddress: {
      if (datagram.size() < kSuitFrameBytes) break;
      std::uniform_int_distribution<size_t> record(0, kSuitRecordCount - 1);
      const size_t from = record(rng);
      size_t to = record(rng);
      while (to == from) to = record(rng);
      datagram[RecordOffset(to)] = datagram[RecordOffset(from)];
      break;
    }
    case SuitFault::kEmpty:
      datagram.clear();
      break;
    case SuitFault::kBurst:
      break;
  }
}
