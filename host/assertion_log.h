// The AssertionFailed service: every assertion a plug-in reported, in order.
//
// Thread-safety: the host's main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vhost {

struct CAssertionReport {
  std::string mCondition;
  std::string mActorName;
  int32_t mLine = 0;
};

class CAssertionLog {
 public:
  struct CSwitches {
    bool mPrintAssertions = true;  // each assertion also prints to stderr
  };

  // ---- Service handler (a row of the service list) ----
  // Copies both texts; null texts are kept as empty ones.
  void AssertionFailed(const char* condition, const char* actorName, int32_t line);

  const std::vector<CAssertionReport>& All() const { return mAssertions; }
  void Clear() { mAssertions.clear(); }
  CSwitches& Switches() { return mSwitches; }

 private:
  CSwitches mSwitches;
  std::vector<CAssertionReport> mAssertions;
};

}  // namespace vhost
