#include "host/run/patch_reporter.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "host/host.h"
#include "host/run/patch_instances.h"
#include "host/run/report_json_writer.h"
#include "host/run/report_text_writer.h"
#include "host/run/run_loop.h"
#include "host/run/stream_health_observer.h"
#include "host/value_text.h"

namespace vhost {

CPatchReporter::CPatchReporter(const CPatch& patch, CPatchInstances& instances, const CStreamHealthObserver& health,
                               double printRate, std::ostream& out, std::ostream* json)
    : mPatch(patch), mInstances(instances), mHealth(health), mPrintRate(printRate), mOut(out), mJson(json) {}

void CPatchReporter::OnStep(CRunLoop& loop) {
  const double now = loop.Seconds();
  if (mPrintRate <= 0) {
    Write(Collect(loop, false));
  } else if (now + 1e-9 >= static_cast<double>(mReportsDone + 1) / mPrintRate) {
    // On the schedule n / rate, whatever a late step did: a late report
    // moves no later one, and reports missed while the run stalled are one.
    Write(Collect(loop, false));
    mReportsDone = static_cast<uint64_t>(std::floor(now * mPrintRate + 1e-9));
  } else {
    return;
  }
  loop.Host().Recorder().Clear();
}

void CPatchReporter::OnFinish(CRunLoop& loop) {
  if (!loop.Started()) return;
  Write(Collect(loop, true));
  loop.Host().Recorder().Clear();
}

void CPatchReporter::Write(const CRunReport& report) {
  mOut << ReportText(report) << std::flush;
  if (mJson != nullptr && !report.Empty()) *mJson << ReportJson(report).dump() << '\n' << std::flush;
}

CRunReport CPatchReporter::Collect(CRunLoop& loop, bool final) {
  mInstances.ResolveTargets();
  CRunReport report;
  report.mSeconds = loop.Seconds();
  report.mTicks = loop.Host().TickCount();
  const double now = report.mSeconds;
  const auto& records = loop.Host().Recorder().All();

  for (const auto& target : mPatch.mPrint) {
    const CActorInstance& instance = mInstances.Instance(target.mInstance);
    std::vector<std::string> ids;
    if (target.mProperty == "*") {
      for (const auto& r : records) {
        if (r.mInstanceSerial == instance.Serial() && std::find(ids.begin(), ids.end(), r.mOutputID) == ids.end()) {
          ids.push_back(r.mOutputID);
        }
      }
    } else if (auto id = mInstances.OutputIDOf(target)) {
      ids.push_back(*id);
    }
    for (const auto& id : ids) {
      const COutputRecord* last = nullptr;
      uint64_t count = 0;
      for (const auto& r : records) {
        if (r.mInstanceSerial == instance.Serial() && r.mOutputID == id) {
          last = &r;
          ++count;
        }
      }
      CReportedValue value;
      value.mID = id;
      if (last == nullptr) {
        // An output named in the patch shows once even when nothing comes,
        // so an error output that stays empty is seen to be empty.
        const uint16_t index = instance.FindOutput(target.mProperty);
        if (target.mProperty == "*" || index == 0 || !mShown.insert(target.Text()).second) continue;
        const COutputSlot& slot = instance.Output(index);
        value.mOutput = instance.Name() + "." + slot.mDisplayName;
        value.mValue = FormatValue(slot.mValue);
        value.mNothingSent = !slot.mSent;
        report.mValues.push_back(std::move(value));
        continue;
      }
      mShown.insert(target.Text());
      value.mOutput = instance.Name() + "." + last->mOutputName;
      value.mCount = count;
      if (last->mSkeleton) {
        value.mSkeleton = last->mSkeleton;
      } else {
        value.mValue = FormatValue(last->mValue);
      }
      report.mValues.push_back(std::move(value));
    }
  }

  for (const auto& target : mPatch.mFps) {
    const CActorInstance& instance = mInstances.Instance(target.mInstance);
    const auto id = mInstances.OutputIDOf(target);
    if (!id) continue;
    for (const auto& r : records) {
      if (r.mInstanceSerial == instance.Serial() && r.mOutputID == *id) ++mFpsCounts[target.Text()];
    }
  }
  // Rates and stream health need a window long enough to mean something.
  // Windows close on the schedule n * period, so none goes missing.
  const double fpsPeriod = mPrintRate > 0 ? 1.0 / mPrintRate : 1.0;
  const bool windowDue = now + 1e-9 >= static_cast<double>(mFpsWindows + 1) * fpsPeriod;
  // The final report adds a rate only for a window long enough to count: one
  // right after a periodic report would print a meaningless 0.
  const bool finalWindow = final && now - mLastFpsTime >= 0.25 * fpsPeriod;
  if ((windowDue || finalWindow) && now > mLastFpsTime) {
    const double window = now - mLastFpsTime;
    for (const auto& target : mPatch.mFps) {
      report.mRates.push_back({target.Text(), static_cast<double>(mFpsCounts[target.Text()]) / window});
    }
    report.mWatchers = mHealth.Watchers();
    mFpsCounts.clear();
    mLastFpsTime = now;
    mFpsWindows = static_cast<uint64_t>(std::floor(now / fpsPeriod + 1e-9));
  }
  return report;
}

}  // namespace vhost
