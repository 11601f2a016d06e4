// The reports of a patch's `print` and `fps` lines, for a person watching a
// live stream and, as JSON Lines, for a program.
//
// With a print rate, one report per period showing the last value of each
// printed output that received something in that period and how many values
// came; without one, a report after every step on which a printed output
// received a value. Rates and stream health come with a report when their
// window closes: the report period, or a second when reports follow every
// step. A final report comes at the end of the run.
//
// The reporter empties the host's recorder after each report, so it comes
// after every observer that reads the records of a step.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "host/run/patch.h"
#include "host/run/run_observer.h"
#include "host/run/run_report.h"

namespace vhost {

class CPatchInstances;
class CStreamHealthObserver;

class CPatchReporter : public CRunObserver {
 public:
  // `printRate`: reports per second, 0 after every step; `json` may be null.
  CPatchReporter(const CPatch& patch, CPatchInstances& instances, const CStreamHealthObserver& health,
                 double printRate, std::ostream& out, std::ostream* json);

  void OnStep(CRunLoop& loop) override;
  void OnFinish(CRunLoop& loop) override;

 private:
  CRunReport Collect(CRunLoop& loop, bool final);
  void Write(const CRunReport& report);

  const CPatch& mPatch;
  CPatchInstances& mInstances;
  const CStreamHealthObserver& mHealth;
  double mPrintRate;
  std::ostream& mOut;
  std::ostream* mJson;
  uint64_t mReportsDone = 0;   // periodic reports, on the schedule n / print_rate
  uint64_t mFpsWindows = 0;    // rate windows closed, on the schedule n / period
  double mLastFpsTime = 0.0;
  std::map<std::string, uint64_t> mFpsCounts;  // target text -> values since the last rate line
  std::set<std::string> mShown;                // print targets reported at least once
};

}  // namespace vhost
