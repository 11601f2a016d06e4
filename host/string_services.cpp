#include "host/string_services.h"

#include <fmt/format.h>

#include <cstring>

#include "host/plugin_abi.h"
#include "host/record_layout.h"

namespace vhost {

uint16_t CStringServices::MakeStringValue(const char* text, Value* value) {
  if (text == nullptr || value == nullptr) {
    mContext.mReport(
        fmt::format("MakeStringValue with a null {}", text == nullptr ? "text" : "value"));
    return kErrBadArgument;
  }
  void* hostString = mLedger.Make(text);
  std::memset(static_cast<void*>(value), 0, layout::kValueSize);
  layout::WriteAt(value, layout::kValueType, layout::kTypeString);
  layout::WriteAt(value, layout::kValuePayload, hostString);
  return kNoError;
}

void CStringServices::ReleaseValue(Value* value) {
  if (value == nullptr) return;
  if (layout::ReadAt<uint16_t>(value, layout::kValueType) != layout::kTypeString) return;
  void* hostString = layout::ReadAt<void*>(value, layout::kValuePayload);
  if (hostString == nullptr) return;
  if (!mLedger.Release(hostString)) {
    mContext.mReport(
        fmt::format("ReleaseValue of string {}, which this host did not make or already "
                    "released",
                    hostString));
    return;
  }
  layout::WriteAt<void*>(value, layout::kValuePayload, nullptr);
}

int32_t CStringServices::FindStringInList(uint32_t count, const char* const* strings,
                                          const char* text) {
  if (strings == nullptr || text == nullptr) return -1;
  for (uint32_t i = 0; i < count; ++i) {
    if (strings[i] != nullptr && std::strcmp(strings[i], text) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace vhost
