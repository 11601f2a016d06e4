// A host service table whose only service is AssertionFailed, recording each
// report, for the pure joint decoder code that reports broken invariants.
// One recorder at a time (the service is a plain C function).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/host_services.h"
#include "tests/framework/fake_service_table.h"

class CAssertionRecorder {
 public:
  CAssertionRecorder() {
    sReports.clear();
    mTable.Set(HostServiceOffset::kAssertionFailed, &Record);
  }

  VorlaneParameters* Params() { return mTable.Params(); }
  // "condition|actor" per report, in order.
  const std::vector<std::string>& Reports() const { return sReports; }

 private:
  static void Record(const char* condition, const char* actorName, int32_t) {
    sReports.push_back(std::string(condition) + "|" + actorName);
  }

  static inline std::vector<std::string> sReports;
  CFakeServiceTable mTable;
};
