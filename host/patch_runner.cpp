#include "host/patch_runner.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "host/plugin_finder.h"
#include "host/value_text.h"

namespace vhost {
namespace {

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Stamp(double seconds) { return fmt::format("[{:9.3f}s]", seconds); }

std::string InputNames(const CActorInstance& instance) {
  std::string names;
  for (uint16_t i = 1; i <= instance.InputCount(); ++i) {
    names += (i > 1 ? ", " : "") + instance.Input(i).mDescriptor.mName;
  }
  return names;
}

std::string OutputNames(const CActorInstance& instance) {
  std::string names;
  for (uint16_t i = 1; i <= instance.OutputCount(); ++i) {
    names += (i > 1 ? ", " : "") + instance.Output(i).mDisplayName;
  }
  return names;
}

}  // namespace

CPatchRunner::CPatchRunner(CPatch patch, CRunOptions options, std::ostream& out)
    : mPatch(std::move(patch)), mOptions(std::move(options)), mOut(out), mHost(std::make_unique<CHost>()) {
  mTickRate = mPatch.mTickRate;
  mPrintRate = mOptions.mPrintRate.value_or(mPatch.mPrintRate);
  mDuration = mOptions.mDuration ? mOptions.mDuration : mPatch.mDuration;
  mTickLimit = mOptions.mTicks ? mOptions.mTicks : mPatch.mTicks;
  mHost->Switches().mPrintAssertions = mOptions.mPrintAssertions;
  mNextFps = mPrintRate > 0 ? 1.0 / mPrintRate : 1.0;
}

std::vector<std::string> CPatchRunner::PluginDirs() const {
  namespace fs = std::filesystem;
  const fs::path base = fs::path(mPatch.mFile).parent_path();
  std::vector<std::string> dirs;
  for (const auto& dir : mPatch.mPluginDirs) {
    dirs.push_back(fs::path(dir).is_absolute() ? dir : (base / dir).string());
  }
  dirs.insert(dirs.end(), mOptions.mPluginDirs.begin(), mOptions.mPluginDirs.end());
  return dirs;
}

void CPatchRunner::Setup() {
  namespace fs = std::filesystem;
  if (mOptions.mImageBackend) {
    if (auto backend = mOptions.mImageBackend()) mHost->SetImageBufferBackend(std::move(backend));
  }
  if (!mPatch.mSaves.empty() && !mOptions.mSaveFrame) {
    throw CPatchError(mPatch.mFile, mPatch.mSaves.front().mLine,
                      "saving frames needs the GL image buffers, which this run does not have");
  }
  for (const CPatchSave& save : mPatch.mSaves) {
    std::error_code ec;
    fs::create_directories(save.mDirectory, ec);
    if (ec) throw CPatchError(mPatch.mFile, save.mLine, fmt::format("cannot make {}: {}", save.mDirectory, ec.message()));
  }
  mSaveStates.assign(mPatch.mSaves.size(), CSaveState{});
  const auto dirs = PluginDirs();
  for (const auto& actor : mPatch.mActors) {
    auto fail = [&](int line, const std::string& problem) {
      throw CPatchError(mPatch.mFile, line, problem);
    };
    std::string plugin = actor.mPlugin;
    // A relative path means the patch's folder when it does not name a file here.
    std::error_code ec;
    if (plugin.find('/') != std::string::npos && fs::path(plugin).is_relative() && !fs::exists(plugin, ec)) {
      const fs::path besidePatch = fs::path(mPatch.mFile).parent_path() / plugin;
      if (fs::exists(besidePatch, ec)) plugin = besidePatch.string();
    }
    CActorInstance* instance = nullptr;
    try {
      instance = &mHost->AddInstance(FindPlugin(plugin, dirs), actor.mName);
      mHost->Create(*instance);
    } catch (const CPatchError&) {
      throw;
    } catch (const CHostError& e) {
      fail(actor.mLine, e.what());
    }
    mOrder.push_back(instance);
    for (const auto& setting : actor.mSettings) {
      const uint16_t index = instance->FindInput(setting.mInput);
      if (index == 0) {
        fail(setting.mLine, fmt::format("{} has no input '{}' (inputs: {})", actor.mName, setting.mInput,
                                        InputNames(*instance)));
      }
      try {
        mHost->PresetInput(*instance, index, ValueFromText(instance->Input(index).mDescriptor, setting.mValue));
      } catch (const CHostError& e) {
        fail(setting.mLine, e.what());
      }
    }
  }
  for (const auto& wire : mPatch.mWires) {
    CActorInstance& from = Instance(wire.mFrom.mInstance);
    CActorInstance& to = Instance(wire.mTo.mInstance);
    const uint16_t output = from.FindOutput(wire.mFrom.mProperty);
    if (output == 0) {
      throw CPatchError(mPatch.mFile, wire.mLine,
                        fmt::format("{} has no output '{}' (outputs: {})", from.Name(),
                                    wire.mFrom.mProperty, OutputNames(from)));
    }
    const uint16_t input = to.FindInput(wire.mTo.mProperty);
    if (input == 0) {
      throw CPatchError(mPatch.mFile, wire.mLine,
                        fmt::format("{} has no input '{}' (inputs: {})", to.Name(), wire.mTo.mProperty,
                                    InputNames(to)));
    }
    try {
      mHost->Connect(from, output, to, input);
    } catch (const CHostError& e) {
      throw CPatchError(mPatch.mFile, wire.mLine, e.what());
    }
  }
  for (const auto* list : {&mPatch.mPrint, &mPatch.mFps}) {
    for (const auto& target : *list) {
      CActorInstance& instance = Instance(target.mInstance);
      if (target.mProperty != "*" && instance.FindOutput(target.mProperty) == 0) {
        throw CPatchError(mPatch.mFile, target.mLine,
                          fmt::format("{} has no output '{}' (outputs: {})", instance.Name(),
                                      target.mProperty, OutputNames(instance)));
      }
    }
  }
  for (CActorInstance* instance : mOrder) mHost->Activate(*instance);
}

CActorInstance& CPatchRunner::Instance(const std::string& name) {
  CActorInstance* instance = mHost->FindInstance(name);
  if (instance == nullptr) throw CHostError(fmt::format("no instance named '{}'", name));
  return *instance;
}

double CPatchRunner::Seconds() const {
  if (!mOptions.mPaced) return static_cast<double>(mHost->TickCount()) / mTickRate;
  return mStarted ? SteadySeconds() - mStartSeconds : 0.0;
}

bool CPatchRunner::Step() {
  if (mFinished) return false;
  if (!mStarted) {
    mStarted = true;
    mStartSeconds = SteadySeconds();
  }
  mHost->Tick();
  const double now = Seconds();
  if (mPatch.mRenderRate > 0) {
    // Counted, not accumulated, so that rounding never adds a request: the
    // n-th request is due at n / rate seconds.
    while (static_cast<double>(mRendersSent) / mPatch.mRenderRate <= now + 1e-9) {
      // A frame is valid only until the next render into its buffer.
      const uint64_t mark = mHost->Mark();
      mHost->RequestRender();
      if (!mPatch.mSaves.empty()) SaveFrames(mark);
      ++mRendersSent;
    }
  }
  if (mPrintRate <= 0) {
    Report(false);
  } else if (now >= mNextReport) {
    Report(false);
    mNextReport += 1.0 / mPrintRate;
    if (mNextReport < now) mNextReport = now + 1.0 / mPrintRate;
  }
  const bool ticksDone = mTickLimit && mHost->TickCount() >= *mTickLimit;
  const bool timeDone = mDuration && now >= *mDuration;
  return !(ticksDone || timeDone);
}

void CPatchRunner::SaveFrames(uint64_t mark) {
  for (size_t i = 0; i < mPatch.mSaves.size(); ++i) {
    const CPatchSave& save = mPatch.mSaves[i];
    CSaveState& state = mSaveStates[i];
    const auto id = OutputIDOf(save.mTarget);
    if (!id) continue;
    for (const COutputRecord* record : mHost->OutputsSince(mark, &Instance(save.mTarget.mInstance), *id)) {
      const void* frame = record->mValue.Type() == layout::kTypeData ? record->mValue.AsPointer() : nullptr;
      if (frame == nullptr || state.mFramesSeen++ % save.mEvery != 0) continue;
      const std::string path = fmt::format("{}/{}_{}_{:05}.png", save.mDirectory, save.mTarget.mInstance,
                                           save.mTarget.mProperty, state.mFilesWritten + 1);
      std::string error;
      if (mOptions.mSaveFrame(frame, path, &error)) {
        ++state.mFilesWritten;
      } else if (!state.mFailed) {
        state.mFailed = true;
        mOut << fmt::format("{}:{}: cannot save a frame to {}: {}\n", mPatch.mFile, save.mLine, path, error);
      }
    }
  }
}

std::optional<std::string> CPatchRunner::OutputIDOf(const CPatchTarget& target) {
  CActorInstance& instance = Instance(target.mInstance);
  const uint16_t index = instance.FindOutput(target.mProperty);
  if (index == 0) return std::nullopt;  // removed at run time
  return instance.Output(index).mDescriptor.mID;
}

void CPatchRunner::Report(bool final) {
  const double now = Seconds();
  const auto& records = mHost->Recorder().All();
  std::string text;

  for (const auto& target : mPatch.mPrint) {
    const CActorInstance& instance = Instance(target.mInstance);
    std::vector<std::string> ids;
    if (target.mProperty == "*") {
      for (const auto& r : records) {
        if (r.mInstanceSerial == instance.Serial() && std::find(ids.begin(), ids.end(), r.mOutputID) == ids.end()) {
          ids.push_back(r.mOutputID);
        }
      }
    } else if (auto id = OutputIDOf(target)) {
      ids.push_back(*id);
    }
    for (const auto& id : ids) {
      const COutputRecord* last = nullptr;
      size_t count = 0;
      for (const auto& r : records) {
        if (r.mInstanceSerial == instance.Serial() && r.mOutputID == id) {
          last = &r;
          ++count;
        }
      }
      if (last == nullptr) {
        // An output named in the patch shows once even when nothing comes,
        // so an error output that stays empty is seen to be empty.
        if (target.mProperty != "*" && mShown.insert(target.Text()).second) {
          const COutputSlot& slot = instance.Output(instance.FindOutput(target.mProperty));
          text += fmt::format("{} {}.{} = {}{}\n", Stamp(now), instance.Name(), slot.mDisplayName,
                              FormatValue(slot.mValue), slot.mSent ? "" : "  (nothing sent yet)");
        }
        continue;
      }
      mShown.insert(target.Text());
      const std::string head = fmt::format("{} {}.{} = ", Stamp(now), instance.Name(), last->mOutputName);
      std::string value = last->mSkeleton ? FormatSkeleton(*last->mSkeleton, std::string(14, ' '))
                                          : FormatValue(last->mValue);
      text += head + value + (count > 1 ? fmt::format("  ({} values)", count) : "") + "\n";
    }
  }

  for (const auto& target : mPatch.mFps) {
    const CActorInstance& instance = Instance(target.mInstance);
    const auto id = OutputIDOf(target);
    if (!id) continue;
    for (const auto& r : records) {
      if (r.mInstanceSerial == instance.Serial() && r.mOutputID == *id) ++mFpsCounts[target.Text()];
    }
  }
  // Value rates need a window long enough to mean something: the report
  // period, or a second when reports follow every tick.
  const double fpsPeriod = mPrintRate > 0 ? 1.0 / mPrintRate : 1.0;
  // The final report adds a rate only for a window long enough to count: one
  // right after a periodic report would print a meaningless 0.
  const bool finalWindow = final && now - mLastFpsTime >= 0.25 * fpsPeriod;
  if (!mPatch.mFps.empty() && (now >= mNextFps || finalWindow) && now > mLastFpsTime) {
    const double window = now - mLastFpsTime;
    for (const auto& target : mPatch.mFps) {
      text += fmt::format("{} {} {:.1f} values/s\n", Stamp(now), target.Text(),
                          static_cast<double>(mFpsCounts[target.Text()]) / window);
    }
    mFpsCounts.clear();
    mLastFpsTime = now;
    mNextFps = now + fpsPeriod;
  }
  mOut << text << std::flush;
  mHost->Recorder().Clear();
}

std::string CPatchRunner::OutputList() {
  std::string text;
  for (CActorInstance* instance : mOrder) {
    text += fmt::format("outputs of {} ({}):\n", instance->Name(), instance->Plugin().DisplayName());
    for (uint16_t i = 1; i <= instance->OutputCount(); ++i) {
      const auto& output = instance->Output(i);
      text += fmt::format("  {:>3}  {:<6} {:<24} {}\n", i, output.mDescriptor.mID, output.mDisplayName,
                          output.mSent ? FormatValue(output.mValue) : std::string("(nothing sent)"));
    }
  }
  return text;
}

void CPatchRunner::Finish() {
  if (mFinished) return;
  mFinished = true;
  if (mStarted) Report(true);
  if (mOptions.mListOutputs) mOut << OutputList();
  // Disposal sends last values (a producer empties its outputs); they are
  // not part of the run.
  mHost->Recorder().SetEnabled(false);
  for (auto it = mOrder.rbegin(); it != mOrder.rend(); ++it) {
    if ((*it)->IsLive()) mHost->Dispose(**it);
  }
  for (size_t i = 0; i < mPatch.mSaves.size(); ++i) {
    const CPatchSave& save = mPatch.mSaves[i];
    mOut << fmt::format("actorhost: saved {} frame(s) of {} in {}\n", mSaveStates[i].mFilesWritten,
                        save.mTarget.Text(), save.mDirectory);
  }
  const double seconds = Seconds();
  mOut << fmt::format(
      "actorhost: {} ticks in {:.2f} s; {} assertion(s), {} violation(s); after disposal {} memory "
      "block(s), {} string(s), {} image buffer(s) live\n",
      mHost->TickCount(), seconds, mHost->Assertions().size(), mHost->Violations().size(),
      mHost->Memory().LiveBlocks(), mHost->Strings().LiveStrings(), mHost->LiveImageBuffers());
}

int CPatchRunner::Run(const std::atomic<bool>* stop) {
  Setup();
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto period = std::chrono::duration<double>(1.0 / mTickRate);
  uint64_t tick = 0;
  while (stop == nullptr || !stop->load()) {
    if (mOptions.mPaced) {
      const auto due = start + std::chrono::duration_cast<Clock::duration>(period * static_cast<double>(tick));
      // Sleep in short slices so that an interrupt ends the run promptly.
      while (Clock::now() < due && (stop == nullptr || !stop->load())) {
        std::this_thread::sleep_until(std::min(due, Clock::now() + std::chrono::milliseconds(50)));
      }
      if (stop != nullptr && stop->load()) break;
    }
    ++tick;
    if (!Step()) break;
  }
  Finish();
  return mHost->Violations().empty() ? 0 : 3;
}

}  // namespace vhost
