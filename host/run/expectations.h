// A patch's `expect` lines, checked at the end of a run: a trigger output
// compares how many values it sent during the run, any other output its
// last value.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/run/patch.h"
#include "host/run/run_observer.h"
#include "host/run/run_report.h"

namespace vhost {

class CPatchInstances;

class CExpectations : public CRunObserver {
 public:
  CExpectations(const CPatch& patch, CPatchInstances& instances);

  // Counts from the records after `mark` (the run's first, usually).
  void CountFrom(uint64_t mark) { mMark = mark; }
  void OnStep(CRunLoop& loop) override;
  void OnFinish(CRunLoop& loop) override;
  // One result per expect line, in patch order. REQUIRES: the instances live.
  std::vector<CExpectResult> Check();

 private:
  void Count(CRunLoop& loop);

  const CPatch& mPatch;
  CPatchInstances& mInstances;
  uint64_t mMark = 0;
  std::map<std::pair<uint32_t, std::string>, uint64_t> mTotals;  // (instance serial, output ID) -> values
};

}  // namespace vhost
