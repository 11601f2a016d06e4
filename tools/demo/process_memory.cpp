#include "tools/demo/process_memory.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

std::optional<uint64_t> ParseResidentKilobytes(std::string_view status) {
  std::istringstream in{std::string(status)};
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) != 0) continue;
    const char* digits = line.c_str() + 6;
    while (*digits == ' ' || *digits == '\t') ++digits;
    if (*digits < '0' || *digits > '9') return std::nullopt;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(digits, &end, 10);
    const std::string unit = end;
    if (unit.find("kB") == std::string::npos) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::optional<uint64_t> ResidentKilobytes() {
  std::ifstream in("/proc/self/status");
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return ParseResidentKilobytes(text.str());
}
