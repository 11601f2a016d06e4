#include "host/run/frame_saver.h"

#include <fmt/format.h>

#include <filesystem>

#include "host/host.h"
#include "host/run/patch_instances.h"
#include "host/run/run_loop.h"

namespace vhost {

CFrameSaver::CFrameSaver(const CPatch& patch, CPatchInstances& instances, FSaveFrame save, std::ostream& out,
                         size_t queue)
    : mPatch(patch), mInstances(instances), mSave(std::move(save)), mOut(out), mStates(patch.mSaves.size()),
      mWorker(queue) {}

std::string CFrameSaver::Directory(const CPatchSave& save) const {
  return mInstances.PathBesidePatch(save.mDirectory);
}

void CFrameSaver::Prepare() {
  namespace fs = std::filesystem;
  for (const CPatchSave& save : mPatch.mSaves) {
    const std::string dir = Directory(save);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw CPatchError(mPatch.mFile, save.mLine, fmt::format("cannot make {}: {}", dir, ec.message()));
    // An earlier, longer run's frames would read as frames of this one.
    const std::string prefix = save.mTarget.mInstance + "_" + save.mTarget.mProperty + "_";
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file(ec) && name.rfind(prefix, 0) == 0 && entry.path().extension() == ".png") {
        fs::remove(entry.path(), ec);
      }
    }
  }
}

void CFrameSaver::Fail(size_t index, const std::string& path, const std::string& error) {
  std::lock_guard<std::mutex> lock(mMutex);
  CSaveState& state = mStates[index];
  if (state.mFailed) return;
  state.mFailed = true;
  state.mFailure = fmt::format("{}:{}: cannot save a frame to {}: {}\n", mPatch.mFile, mPatch.mSaves[index].mLine,
                               path, error);
}

void CFrameSaver::ReportFailures() {
  std::lock_guard<std::mutex> lock(mMutex);
  for (CSaveState& state : mStates) {
    mOut << state.mFailure;
    state.mFailure.clear();
  }
}

void CFrameSaver::OnRender(CRunLoop& loop, uint64_t mark, Clock::time_point, Clock::time_point) {
  ReportFailures();
  CHost& host = loop.Host();
  for (size_t i = 0; i < mPatch.mSaves.size(); ++i) {
    const CPatchSave& save = mPatch.mSaves[i];
    CSaveState& state = mStates[i];
    const auto id = mInstances.OutputIDOf(save.mTarget);
    if (!id) continue;
    CActorInstance& instance = mInstances.Instance(save.mTarget.mInstance);
    if (!state.mArmed) {
      bool hasData = false, holdsData = false;
      for (size_t in = 1; in <= instance.InputCount(); ++in) {
        const CInputSlot& slot = instance.Input(static_cast<uint16_t>(in));
        if (slot.mDescriptor.mType != EPropertyType::kData) continue;
        hasData = true;
        holdsData = holdsData || (slot.mValue.Type() == layout::kTypeData && slot.mValue.AsPointer() != nullptr);
      }
      state.mArmed = !hasData || holdsData;
      if (!state.mArmed) continue;
    }
    for (const COutputRecord* record : host.OutputsSince(mark, &instance, *id)) {
      const void* frame = record->mValue.Type() == layout::kTypeData ? record->mValue.AsPointer() : nullptr;
      if (frame == nullptr || state.mFramesSeen++ % save.mEvery != 0) continue;
      const std::string path = fmt::format("{}/{}_{}_{:05}.png", Directory(save), save.mTarget.mInstance,
                                           save.mTarget.mProperty, state.mFilesQueued + 1);
      std::string error;
      FWritePicture write = mSave(frame, &error);
      if (!write) {
        Fail(i, path, error);
        continue;
      }
      std::function<void()> job = [this, i, path, write = std::move(write)] {
        std::string why;
        if (write(path, &why)) {
          std::lock_guard<std::mutex> lock(mMutex);
          ++mStates[i].mFilesWritten;
        } else {
          Fail(i, path, why);
        }
      };
      bool queued = mWorker.TrySubmit(job);
      if (!queued && !loop.Schedule().mPaced) {
        // Time is counted in ticks: nothing real-time to protect, so the
        // run waits for the writer rather than lose a frame.
        mWorker.Drain();
        queued = mWorker.TrySubmit(std::move(job));
      }
      if (queued) {
        ++state.mFilesQueued;
      } else {
        ++state.mDropped;
      }
    }
  }
}

void CFrameSaver::OnFinish(CRunLoop&) {
  mWorker.Drain();
  ReportFailures();
}

std::vector<CSavedFrames> CFrameSaver::Results() const {
  std::lock_guard<std::mutex> lock(mMutex);
  std::vector<CSavedFrames> results;
  for (size_t i = 0; i < mPatch.mSaves.size(); ++i) {
    const CPatchSave& save = mPatch.mSaves[i];
    results.push_back({save.mTarget.Text(), Directory(save), mStates[i].mFilesWritten, mStates[i].mDropped});
  }
  return results;
}

}  // namespace vhost
