// Fuzzes joint selection: arbitrary skeleton labels (including names that
// fill their whole field, empty names, duplicates and 8-bit bytes) against an
// arbitrary point_sel text, and the names and help texts made from them.
//
// Checked on every input: the map is a permutation of the points; its front
// is exactly what a plain first-unused-exact-match reading of the trimmed
// pieces selects; the rest follow in point order; no invariant is reported;
// composed names and help stay within their buffers and terminated.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/host_services.h"
#include "joint_decoder/body_point_map.h"
#include "joint_decoder/coordinate_help.h"
#include "joint_decoder/coordinate_outputs.h"
#include "joint_decoder/joint_name.h"
#include "joint_decoder/trim_whitespace.h"
#include "skeleton/skeleton_pkg.h"

namespace {

void AbortOnReport(const char*, const char*, int32_t) { std::abort(); }

VorlaneParameters* ReportingParams() {
  static void* slots[HostServiceOffset::kTableSize / 8 + 1] = {};
  static VorlaneParameters params{};
  void* slot = reinterpret_cast<void*>(&AbortOnReport);
  std::memcpy(reinterpret_cast<char*>(slots) + HostServiceOffset::kAssertionFailed, &slot,
              sizeof(slot));
  params.mServiceTable = slots;
  return &params;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// The map the selection should give, computed the obvious quadratic way.
std::vector<uint32_t> ExpectedMap(const SkeletonPkg& s, const std::string& selection) {
  std::vector<bool> used(s.point_count, false);
  std::vector<uint32_t> map;
  size_t start = 0;
  while (start <= selection.size()) {
    size_t end = selection.find(',', start);
    if (end == std::string::npos) end = selection.size();
    if (end > start) {
      const std::string piece = TrimWhitespace(selection.substr(start, end - start));
      for (uint32_t i = 0; i < s.point_count; ++i) {
        if (!used[i] && JointName(s.points[i]) == piece) {
          used[i] = true;
          map.push_back(i);
          break;
        }
      }
    }
    start = end + 1;
  }
  for (uint32_t i = 0; i < s.point_count; ++i) {
    if (!used[i]) map.push_back(i);
  }
  return map;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint32_t count = input.ConsumeIntegralInRange<uint32_t>(0, 70);
  SkeletonPkg* s = CreateSkeletonPkg(count);
  for (uint32_t i = 0; i < count; ++i) {
    const std::string label = input.ConsumeRandomLengthString(kSkeletonNameSize + 4);
    // As a producer writes it: a bounded copy that may leave no terminator.
    std::strncpy(s->points[i].name, label.c_str(), kSkeletonNameSize);
    s->points[i].x = input.ConsumeFloatingPoint<float>();
  }
  const uint32_t helpSize = input.ConsumeIntegralInRange<uint32_t>(0, 300);
  const std::string selection = input.ConsumeRemainingBytesAsString();
  const std::string selectionText = selection.c_str();  // the host's text ends at its first zero

  std::vector<uint32_t> map(count + 1, 0xFFFFFFFFu);
  const uint32_t filled =
      FillBodyPointMap(ReportingParams(), *s, SplitPointSelection(selectionText.c_str()), map.data());
  Check(filled == count);
  Check(map[count] == 0xFFFFFFFFu);
  map.pop_back();
  Check(map == ExpectedMap(*s, selectionText));

  // Names and help made from whatever the labels hold.
  std::vector<char> help(helpSize + 1, '#');
  for (uint32_t i = 0; i < count && i < 8; ++i) {
    char name[kCoordinateNameSize];
    FormatCoordinateName(JointName(s->points[map[i]]), static_cast<int32_t>(i % 3), name);
    Check(std::memchr(name, 0, sizeof(name)) != nullptr);
    ComposeCoordinateHelp(name, static_cast<uint16_t>(CoordinateOutputIndex(static_cast<int32_t>(i), 0)),
                          help.data(), helpSize);
    Check(help[helpSize] == '#');
    if (helpSize > 0) Check(std::memchr(help.data(), 0, helpSize) != nullptr);
  }

  const std::string trimmed = TrimWhitespace(selectionText);
  Check(TrimWhitespace(trimmed) == trimmed);
  DisposeSkeletonPkg(s);
  return 0;
}
