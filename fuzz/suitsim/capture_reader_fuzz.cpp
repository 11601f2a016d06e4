// libFuzzer target: any bytes as a capture file, read from memory through
// the capture reader as `suitsim replay` and `suitsim info` read files:
// pcap in both byte orders with micro- or nanosecond stamps, pcapng, and
// the older recorded datagram format, all link types the reader knows.
// Besides the sanitizers' checks it asserts what must hold for any input:
// a record's payload fits a UDP datagram, its time never exceeds what a
// clock can wait for, a port filter keeps only its port, and the reader
// ends (every call either gives a record or ends the file).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/suitsim/capture_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads the whole input once; `port` filters as --port does.
void ReadAll(std::vector<uint8_t>& bytes, uint16_t port) {
  std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
  if (file == nullptr) return;
  CCaptureReader reader;
  if (!reader.Open(file, "input")) {
    Check(!reader.GetError().empty());
    return;
  }
  CapturedDatagram datagram;
  // Every record consumes at least a record header of the input.
  for (size_t records = 0;; ++records) {
    Check(records <= bytes.size());
    const CCaptureReader::Status status = reader.Next(datagram, port);
    if (status != CCaptureReader::Status::kRecord) {
      Check(status == CCaptureReader::Status::kEnd || !reader.GetError().empty());
      // After the end or an error the reader stays there.
      Check(reader.Next(datagram, port) != CCaptureReader::Status::kRecord);
      return;
    }
    Check(datagram.mBytes.size() <= 65535);
    Check(datagram.mArrivalNanoseconds <= kCaptureMaxNanoseconds);
    if (port != 0 && reader.GetFormat() == CCaptureReader::Format::kPcap) {
      Check(datagram.mDestinationPort == port);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::vector<uint8_t> bytes(data, data + size);
  ReadAll(bytes, 0);
  ReadAll(bytes, 14043);
  return 0;
}
