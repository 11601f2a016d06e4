#include "tools/demo/udp_drop_counters.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

}  // namespace

std::optional<uint64_t> ParseUdpSocketDrops(std::string_view table, int port) {
  std::istringstream in{std::string(table)};
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  // The heading names the columns; `drops` is the last one.
  const std::vector<std::string> heading = Words(line);
  if (heading.size() < 2 || heading.front() != "sl" || heading.back() != "drops") return std::nullopt;
  std::optional<uint64_t> drops;
  while (std::getline(in, line)) {
    const std::vector<std::string> words = Words(line);
    // "0: 00000000:36BB 00000000:0000 07 ... drops"; the heading's tx_queue
    // rx_queue and tr tm->when pairs are single words in a row.
    if (words.size() < 3) continue;
    const std::string& local = words[1];
    const size_t colon = local.rfind(':');
    if (colon == std::string::npos) continue;
    unsigned long localPort = 0;
    try {
      localPort = std::stoul(local.substr(colon + 1), nullptr, 16);
    } catch (const std::exception&) {
      continue;
    }
    if (static_cast<int>(localPort) != port) continue;
    try {
      drops = drops.value_or(0) + std::stoull(words.back());
    } catch (const std::exception&) {
      continue;
    }
  }
  return drops;
}

std::optional<uint64_t> UdpSocketDrops(int port) {
  std::optional<uint64_t> total;
  for (const char* path : {"/proc/net/udp", "/proc/net/udp6"}) {
    if (const auto drops = ParseUdpSocketDrops(ReadFile(path), port)) total = total.value_or(0) + *drops;
  }
  return total;
}

std::optional<SUdpErrors> ParseUdpErrors(std::string_view snmp) {
  std::istringstream in{std::string(snmp)};
  std::string line;
  std::vector<std::string> names;
  while (std::getline(in, line)) {
    if (line.rfind("Udp: ", 0) != 0) continue;
    const std::vector<std::string> words = Words(line);
    if (names.empty()) {
      names = words;
      continue;
    }
    if (words.size() != names.size()) return std::nullopt;
    std::optional<uint64_t> receiveBuffer;
    std::optional<uint64_t> inErrors;
    for (size_t i = 1; i < words.size(); ++i) {
      try {
        if (names[i] == "RcvbufErrors") receiveBuffer = std::stoull(words[i]);
        if (names[i] == "InErrors") inErrors = std::stoull(words[i]);
      } catch (const std::exception&) {
        return std::nullopt;
      }
    }
    if (!receiveBuffer || !inErrors) return std::nullopt;
    return SUdpErrors{*receiveBuffer, *inErrors};
  }
  return std::nullopt;
}

std::optional<SUdpErrors> UdpErrors() { return ParseUdpErrors(ReadFile("/proc/net/snmp")); }
