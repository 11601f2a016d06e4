#include "tools/suitsim/info_command.h"

#include <fmt/core.h>

#include <algorithm>
#include <map>
#include <string>

#include "tools/suitsim/capture_file.h"
#include "tools/suitsim/suit_frame.h"

namespace {
// Lengths and suits listed by name before the rest is summed up.
constexpr size_t kListed = 8;

std::string Printable(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const char c = static_cast<char>(bytes[i]);
    text += c >= 0x20 && c < 0x7F ? std::string(1, c) : fmt::format("\\x{:02x}", bytes[i]);
  }
  return text;
}

template <typename Key>
std::string Tally(const std::map<Key, uint64_t>& counts) {
  std::vector<std::pair<Key, uint64_t>> sorted(counts.begin(), counts.end());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  std::string text;
  uint64_t rest = 0;
  for (size_t i = 0; i < sorted.size(); ++i) {
    if (i >= kListed) {
      rest += sorted[i].second;
      continue;
    }
    if (!text.empty()) text += ", ";
    text += fmt::format("{} ({})", sorted[i].first, sorted[i].second);
  }
  if (rest > 0) text += fmt::format(", {} more ({})", sorted.size() - kListed, rest);
  return text.empty() ? "none" : text;
}
}  // namespace

int RunInfoCommand(const InfoOptions& options) {
  CCaptureReader reader;
  if (!reader.Open(options.mFile)) {
    fmt::print(stderr, "suitsim info: {}\n", reader.GetError());
    return 1;
  }
  uint64_t count = 0;
  uint64_t bytes = 0;
  uint64_t first = 0;
  uint64_t last = 0;
  std::map<size_t, uint64_t> lengths;
  std::map<std::string, uint64_t> suits;
  std::map<uint16_t, uint64_t> ports;
  std::string problem;
  CapturedDatagram datagram;
  for (;;) {
    const auto status = reader.Next(datagram, static_cast<uint16_t>(options.mPort));
    if (status == CCaptureReader::Status::kEnd) break;
    if (status != CCaptureReader::Status::kRecord) {
      problem = reader.GetError();
      if (status == CCaptureReader::Status::kError) {
        fmt::print(stderr, "suitsim info: {}: {}\n", options.mFile, problem);
        return 1;
      }
      break;
    }
    if (count == 0) first = datagram.mArrivalNanoseconds;
    last = std::max(last, datagram.mArrivalNanoseconds);
    ++count;
    bytes += datagram.mBytes.size();
    ++lengths[datagram.mBytes.size()];
    if (datagram.mDestinationPort != 0) ++ports[datagram.mDestinationPort];
    if (datagram.mBytes.size() == kSuitFrameBytes) {
      ++suits[Printable(datagram.mBytes.data(), 3)];
    }
  }
  const double duration = static_cast<double>(last - first) / 1e9;
  fmt::print("file:      {} ({})\n", options.mFile,
             reader.GetFormat() == CCaptureReader::Format::kPcap ? "pcap/pcapng"
                                                                 : "recorded datagram file");
  fmt::print("datagrams: {} ({} bytes)\n", count, bytes);
  fmt::print("duration:  {:.3f} s\n", duration);
  fmt::print("rate:      {:.1f} datagrams/s\n",
             duration > 0 ? static_cast<double>(count - 1) / duration : 0.0);
  fmt::print("lengths:   {}\n", Tally(lengths));
  if (reader.GetFormat() == CCaptureReader::Format::kPcap) {
    fmt::print("ports:     {}\n", Tally(ports));
  }
  fmt::print("suits:     {}\n", Tally(suits));
  if (reader.GetSkippedPackets() > 0) {
    fmt::print("skipped:   {} packets that are not whole UDP datagrams\n",
               reader.GetSkippedPackets());
  }
  if (reader.GetOtherPortDatagrams() > 0) {
    fmt::print("skipped:   {} datagrams to other ports\n", reader.GetOtherPortDatagrams());
  }
  if (!problem.empty()) fmt::print("note:      {}\n", problem);
  return 0;
}
