// The string services: MakeStringValue hands out host strings from a
// ledger, ReleaseValue gives them back, FindStringInList looks a text up.
//
// Thread-safety: the host's main thread only.
#pragma once

#include <cstdint>

#include "host/service_context.h"
#include "host/string_ledger.h"

struct Value;

namespace vhost {

class CStringServices {
 public:
  explicit CStringServices(CServiceContext context) : mContext(std::move(context)) {}

  // ---- Service handlers (rows of the service list) ----
  uint16_t MakeStringValue(const char* text, Value* value);
  // Nulls the string pointer of a string Value this host made.
  void ReleaseValue(Value* value);
  // Needs no host state, so it answers even when no host drives.
  static int32_t FindStringInList(uint32_t count, const char* const* strings, const char* text);

  const CStringLedger& Ledger() const { return mLedger; }

 private:
  CServiceContext mContext;
  CStringLedger mLedger;
};

}  // namespace vhost
