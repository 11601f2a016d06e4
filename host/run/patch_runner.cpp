#include "host/run/patch_runner.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "host/run/report_json_writer.h"
#include "host/run/report_text_writer.h"

namespace vhost {
namespace {

CRunSchedule ScheduleOf(const CPatch& patch, const CRunOptions& options) {
  CRunSchedule schedule;
  schedule.mTickRate = patch.mTickRate;
  schedule.mRenderRate = patch.mRenderRate;
  schedule.mDuration = options.mDuration ? options.mDuration : patch.mDuration;
  schedule.mTickLimit = options.mTicks ? options.mTicks : patch.mTicks;
  schedule.mPaced = options.mPaced;
  return schedule;
}

}  // namespace

CPatchRunner::CPatchRunner(CPatch patch, CRunOptions options, std::ostream& out)
    : mPatch(std::move(patch)),
      mOptions(std::move(options)),
      mOut(out),
      mHost(std::make_unique<CHost>()),
      mInstances(mPatch, *mHost, mOut),
      mLoop(*mHost, ScheduleOf(mPatch, mOptions)),
      mHealth(mOptions.mStreamHealth),
      mExpectations(mPatch, mInstances) {
  mHost->AssertionLog().Switches().mPrintAssertions = mOptions.mPrintAssertions;
}

CPatchRunner::~CPatchRunner() = default;

void CPatchRunner::Setup() {
  if (mOptions.mImageBackend) {
    if (auto backend = mOptions.mImageBackend()) mHost->SetImageBufferBackend(std::move(backend));
  }
  if (!mPatch.mSaves.empty()) {
    if (!mOptions.mSaveFrame) {
      throw CPatchError(mPatch.mFile, mPatch.mSaves.front().mLine,
                        "saving frames needs the GL image buffers, which this run does not have");
    }
    mSaver = std::make_unique<CFrameSaver>(mPatch, mInstances, mOptions.mSaveFrame, mOut);
    mSaver->Prepare();
  }
  mInstances.LimitImageSizeInputs(mOptions.mImageSizeInputs);
  mInstances.Setup(mOptions.mPluginDirs);
  mExpectations.CountFrom(mInstances.ActivationMark());
  const double printRate = mOptions.mPrintRate.value_or(mPatch.mPrintRate);
  mReporter = std::make_unique<CPatchReporter>(mPatch, mInstances, mHealth, printRate, mOut, mOptions.mJson);
  // The reporter empties the recorder, so it comes after those that read it.
  mLoop.Add(mHealth);
  mLoop.Add(mExpectations);
  if (mSaver) mLoop.Add(*mSaver);
  mLoop.Add(*mReporter);
  for (CRunObserver* observer : mExtraObservers) mLoop.Add(*observer);
  mSetUp = true;
}

void CPatchRunner::AddObserver(CRunObserver& observer) {
  if (mSetUp) {
    mLoop.Add(observer);
  } else {
    mExtraObservers.push_back(&observer);
  }
}

bool CPatchRunner::Step() {
  if (mFinished) return false;
  return mLoop.Step();
}

void CPatchRunner::Finish() {
  if (mFinished) return;
  mFinished = true;
  mLoop.Finish();
  if (mOptions.mListOutputs) mOut << mInstances.OutputList();
  CRunSummary summary;
  summary.mExpects = mExpectations.Check();
  summary.mNeverAppeared = mInstances.ReportUnresolved(mOut);
  summary.mWatchers = mHealth.Watchers();
  // Disposal sends last values (a producer empties its outputs); they are
  // not part of the run.
  mHost->Recorder().SetEnabled(false);
  mInstances.DisposeAll();
  if (mSaver) summary.mSaves = mSaver->Results();
  summary.mRenders = mPatch.mRenderRate > 0;
  summary.mRendersSent = mLoop.RendersSent();
  summary.mRendersDropped = mLoop.RendersDropped();
  summary.mTicks = mHost->TickCount();
  summary.mSeconds = mLoop.Seconds();
  summary.mAssertions = mHost->Assertions().size();
  summary.mViolations = mHost->Violations().size();
  summary.mLiveBlocks = mHost->Memory().LiveBlocks();
  summary.mLiveStrings = mHost->Strings().LiveStrings();
  summary.mLiveImageBuffers = mHost->LiveImageBuffers();
  size_t failedExpects = 0;
  for (const CExpectResult& expect : summary.mExpects) failedExpects += expect.mHeld ? 0 : 1;
  size_t watcherErrors = 0;
  for (const CWatcherHealth& w : summary.mWatchers) watcherErrors += w.mError.empty() ? 0 : 1;
  const bool failed = summary.mAssertions + summary.mViolations + summary.mLiveBlocks + summary.mLiveStrings +
                          summary.mLiveImageBuffers + failedExpects + watcherErrors >
                      0;
  mStatus = failed ? kRunFailed : summary.mNeverAppeared.empty() ? kRunOk : kRunBadPatch;
  summary.mExitStatus = mStatus;
  mOut << SummaryText(summary);
  if (mOptions.mJson != nullptr) *mOptions.mJson << SummaryJson(summary).dump() << '\n' << std::flush;
}

int CPatchRunner::Run(const std::atomic<bool>* stop) {
  Setup();
  mLoop.Run(stop);
  Finish();
  return mStatus;
}

}  // namespace vhost
