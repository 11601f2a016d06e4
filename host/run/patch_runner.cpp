#include "host/run/patch_runner.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "host/run/plugin_finder.h"
#include "host/text_excerpt.h"
#include "host/value_text.h"

namespace vhost {
namespace {

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Stamp(double seconds) { return fmt::format("[{:9.3f}s]", seconds); }

std::string InputNames(const CActorInstance& instance) {
  std::string names;
  for (size_t i = 1; i <= instance.InputCount(); ++i) {
    names += (i > 1 ? ", " : "") + instance.Input(static_cast<uint16_t>(i)).mDescriptor.mName;
  }
  return names;
}

std::string OutputNames(const CActorInstance& instance) {
  std::string names;
  for (size_t i = 1; i <= instance.OutputCount(); ++i) {
    names += (i > 1 ? ", " : "") + instance.Output(static_cast<uint16_t>(i)).mDisplayName;
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
    const std::string dir = SaveDirectory(save);
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
        fail(setting.mLine, fmt::format("{} has no input {} (inputs: {})", actor.mName,
                                        QuoteExcerpt(setting.mInput), InputNames(*instance)));
      }
      try {
        Preset(*instance, setting);
      } catch (const CHostError& e) {
        fail(setting.mLine, e.what());
      }
    }
  }
  // Inputs are all declared; outputs may be added at run time, so a wire or
  // target naming one that does not exist yet waits for it.
  for (const auto& wire : mPatch.mWires) {
    CActorInstance& to = Instance(wire.mTo.mInstance);
    if (to.FindInput(wire.mTo.mProperty) == 0) {
      throw CPatchError(mPatch.mFile, wire.mLine,
                        fmt::format("{} has no input {} (inputs: {})", to.Name(),
                                    QuoteExcerpt(wire.mTo.mProperty), InputNames(to)));
    }
  }
  mWired.assign(mPatch.mWires.size(), false);
  ResolveTargets();
  mCountMark = mHost->Mark();
  for (CActorInstance* instance : mOrder) mHost->Activate(*instance);
  ResolveTargets();
  mHealth.TrackWatchers(*mHost, 0.0);
}

std::string CPatchRunner::SaveDirectory(const CPatchSave& save) const {
  namespace fs = std::filesystem;
  if (fs::path(save.mDirectory).is_absolute()) return save.mDirectory;
  return (fs::path(mPatch.mFile).parent_path() / save.mDirectory).string();
}

void CPatchRunner::Preset(CActorInstance& instance, const CPatchSetting& setting) {
  const uint16_t index = instance.FindInput(setting.mInput);
  const CPropertyDescriptor& input = instance.Input(index).mDescriptor;
  const CHostValue asked = ValueFromText(input, setting.mValue);
  mHost->PresetInput(instance, index, asked);
  if (!input.IsNumeric()) return;
  const CHostValue& used = instance.Input(index).mValue;
  const bool isFloat = input.mType == EPropertyType::kFloat;
  // A video actor's image size beyond what the buffers can hold would only
  // show later as frames that never come.
  if (input.mName == "width" || input.mName == "height") {
    const int32_t limit = mHost->ImageBufferBackend().MaxImageSize();
    if (limit > 0 && (isFloat ? used.AsFloat() : static_cast<double>(used.AsInteger())) > limit) {
      throw CPatchError(mPatch.mFile, setting.mLine,
                        fmt::format("{}={} is above the image buffers' limit of {} pixels", input.mName,
                                    Excerpt(setting.mValue), limit));
    }
  }
  const bool changed = isFloat ? asked.AsFloat() != used.AsFloat() : asked.AsInteger() != used.AsInteger();
  if (!changed) return;
  auto limit = [](const std::optional<double>& v) { return v ? fmt::format("{}", *v) : std::string("*"); };
  mOut << fmt::format("{}:{}: warning: {}={} is outside the range of {} ({} to {}); using {}\n", mPatch.mFile,
                      setting.mLine, setting.mInput, Excerpt(setting.mValue), input.mName, limit(input.mMinimum),
                      limit(input.mMaximum), FormatValue(used));
}

uint16_t CPatchRunner::OutputOf(const CPatchTarget& target) {
  const uint16_t index = Instance(target.mInstance).FindOutput(target.mProperty);
  if (index != 0) mResolved.insert(target.Text());
  return index;
}

void CPatchRunner::ResolveTargets() {
  for (size_t i = 0; i < mPatch.mWires.size(); ++i) {
    if (mWired[i]) continue;
    const CPatchWire& wire = mPatch.mWires[i];
    CActorInstance& from = Instance(wire.mFrom.mInstance);
    CActorInstance& to = Instance(wire.mTo.mInstance);
    const uint16_t output = OutputOf(wire.mFrom);
    if (output == 0) continue;
    try {
      mHost->Connect(from, output, to, to.FindInput(wire.mTo.mProperty));
    } catch (const CHostError& e) {
      throw CPatchError(mPatch.mFile, wire.mLine, e.what());
    }
    mWired[i] = true;
  }
  for (const auto* list : {&mPatch.mPrint, &mPatch.mFps}) {
    for (const auto& target : *list) {
      if (target.mProperty != "*" && !mResolved.count(target.Text())) OutputOf(target);
    }
  }
  for (const auto& save : mPatch.mSaves) OutputOf(save.mTarget);
  for (const auto& expect : mPatch.mExpects) OutputOf(expect.mTarget);
}

void CPatchRunner::CountOutputs() {
  for (const COutputRecord* r : mHost->OutputsSince(mCountMark)) ++mTotals[{r->mInstanceSerial, r->mOutputID}];
  mCountMark = mHost->Mark();
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
  SendRenders(now);
  CountOutputs();
  mHealth.Update(*mHost, now);
  if (mPrintRate <= 0) {
    Report(false);
  } else if (now + 1e-9 >= static_cast<double>(mReportsDone + 1) / mPrintRate) {
    // On the schedule n / rate, whatever a late tick did: a late report
    // moves no later one, and reports missed while the run stalled are one.
    Report(false);
    mReportsDone = static_cast<uint64_t>(std::floor(now * mPrintRate + 1e-9));
  }
  const bool ticksDone = mTickLimit && mHost->TickCount() >= *mTickLimit;
  const bool timeDone = mDuration && now >= *mDuration;
  return !(ticksDone || timeDone);
}

void CPatchRunner::SendRenders(double now) {
  if (mPatch.mRenderRate <= 0) return;
  // The n-th request is due at n / rate seconds (counted, so rounding never
  // adds one). A tick sends at most as many as one tick period holds (at
  // least one); requests beyond that cannot be kept up with and are dropped,
  // so a rate the run cannot serve never grows a backlog.
  const uint64_t due = static_cast<uint64_t>(std::floor(now * mPatch.mRenderRate + 1e-9)) + 1;
  if (due <= mRenderSlots) return;
  const uint64_t perTick =
      std::clamp<uint64_t>(static_cast<uint64_t>(std::ceil(mPatch.mRenderRate / mTickRate)) + 1, 2, 16);
  const uint64_t send = std::min(due - mRenderSlots, perTick);
  mRendersDropped += due - mRenderSlots - send;
  mRenderSlots = due;
  for (uint64_t i = 0; i < send; ++i) {
    // A frame is valid only until the next render into its buffer.
    const uint64_t mark = mHost->Mark();
    mHost->RequestRender();
    ++mRendersSent;
    if (!mPatch.mSaves.empty()) SaveFrames(mark);
  }
}

void CPatchRunner::SaveFrames(uint64_t mark) {
  for (size_t i = 0; i < mPatch.mSaves.size(); ++i) {
    const CPatchSave& save = mPatch.mSaves[i];
    CSaveState& state = mSaveStates[i];
    const auto id = OutputIDOf(save.mTarget);
    if (!id) continue;
    CActorInstance& instance = Instance(save.mTarget.mInstance);
    if (!state.mArmed) {
      // Frames count from the first render that has data to draw: an
      // instance with data inputs waits until one of them holds a package.
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
    for (const COutputRecord* record : mHost->OutputsSince(mark, &instance, *id)) {
      const void* frame = record->mValue.Type() == layout::kTypeData ? record->mValue.AsPointer() : nullptr;
      if (frame == nullptr || state.mFramesSeen++ % save.mEvery != 0) continue;
      const std::string path = fmt::format("{}/{}_{}_{:05}.png", SaveDirectory(save), save.mTarget.mInstance,
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
  const uint16_t index = OutputOf(target);
  if (index == 0) return std::nullopt;  // not there (yet, or any more)
  return Instance(target.mInstance).Output(index).mDescriptor.mID;
}

void CPatchRunner::Report(bool final) {
  ResolveTargets();
  const double now = Seconds();
  const auto& records = mHost->Recorder().All();
  std::string text;
  nlohmann::json values = nlohmann::json::array();

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
        const uint16_t index = instance.FindOutput(target.mProperty);
        if (target.mProperty != "*" && index != 0 && mShown.insert(target.Text()).second) {
          const COutputSlot& slot = instance.Output(index);
          text += fmt::format("{} {}.{} = {}{}\n", Stamp(now), instance.Name(), slot.mDisplayName,
                              FormatValue(slot.mValue), slot.mSent ? "" : "  (nothing sent yet)");
          values.push_back({{"output", instance.Name() + "." + slot.mDisplayName}, {"id", id},
                            {"value", FormatValue(slot.mValue)}, {"count", 0}});
        }
        continue;
      }
      mShown.insert(target.Text());
      const std::string head = fmt::format("{} {}.{} = ", Stamp(now), instance.Name(), last->mOutputName);
      std::string value = last->mSkeleton ? FormatSkeleton(*last->mSkeleton, std::string(14, ' '))
                                          : FormatValue(last->mValue);
      text += head + value + (count > 1 ? fmt::format("  ({} values)", count) : "") + "\n";
      values.push_back({{"output", instance.Name() + "." + last->mOutputName}, {"id", id},
                        {"value", last->mSkeleton ? FormatSkeleton(*last->mSkeleton, "") : FormatValue(last->mValue)},
                        {"count", count}});
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
  // Rates and stream health need a window long enough to mean something:
  // the report period, or a second when reports follow every tick. Windows
  // close on the schedule n * period, so none goes missing.
  const double fpsPeriod = mPrintRate > 0 ? 1.0 / mPrintRate : 1.0;
  const bool windowDue = now + 1e-9 >= static_cast<double>(mFpsWindows + 1) * fpsPeriod;
  // The final report adds a rate only for a window long enough to count: one
  // right after a periodic report would print a meaningless 0.
  const bool finalWindow = final && now - mLastFpsTime >= 0.25 * fpsPeriod;
  nlohmann::json rates = nlohmann::json::array();
  nlohmann::json health = nlohmann::json::array();
  if ((windowDue || finalWindow) && now > mLastFpsTime) {
    const double window = now - mLastFpsTime;
    for (const auto& target : mPatch.mFps) {
      const double rate = static_cast<double>(mFpsCounts[target.Text()]) / window;
      text += fmt::format("{} {} {:.1f} values/s\n", Stamp(now), target.Text(), rate);
      rates.push_back({{"output", target.Text()}, {"values_per_s", rate}});
    }
    for (const CWatcherHealth& w : mHealth.Watchers()) {
      text += fmt::format("{} {}\n", Stamp(now), w.Summary());
      if (!w.mHint.empty()) text += fmt::format("{} {}: {}\n", Stamp(now), w.mName, w.mHint);
      nlohmann::json entry = {{"name", w.mName},     {"port", w.mPort},   {"received", w.mReceived},
                              {"error", w.mError},   {"hint", w.mHint}};
      entry["last_frame_age_s"] = w.mLastFrame ? nlohmann::json(w.mAge) : nlohmann::json(nullptr);
      if (w.mCounters) {
        entry["rejected"] = w.mCounters->mDatagramsRejected;
        entry["dropped"] = w.mCounters->mMessagesDropped;
      }
      health.push_back(std::move(entry));
    }
    mFpsCounts.clear();
    mLastFpsTime = now;
    mFpsWindows = static_cast<uint64_t>(std::floor(now / fpsPeriod + 1e-9));
  }
  mOut << text << std::flush;
  if (mOptions.mJson != nullptr && (!values.empty() || !rates.empty() || !health.empty())) {
    nlohmann::json line = {{"type", "report"}, {"t", now}, {"ticks", mHost->TickCount()}, {"values", values}};
    if (!rates.empty()) line["rates"] = rates;
    if (!health.empty()) line["watchers"] = health;
    *mOptions.mJson << line.dump() << '\n' << std::flush;
  }
  mHost->Recorder().Clear();
  mCountMark = mHost->Mark();
}

std::vector<std::string> CPatchRunner::CheckExpects() {
  std::vector<std::string> results;
  for (const CPatchExpect& expect : mPatch.mExpects) {
    CActorInstance& instance = Instance(expect.mTarget.mInstance);
    const uint16_t index = instance.FindOutput(expect.mTarget.mProperty);
    if (index == 0) {
      results.push_back(fmt::format("{} has no output {}", instance.Name(), QuoteExcerpt(expect.mTarget.mProperty)));
      continue;
    }
    const COutputSlot& slot = instance.Output(index);
    const std::string& op = expect.mOperator;
    bool held = false;
    std::string actual;
    if (expect.mQuoted) {
      actual = slot.mValue.Text().value_or(FormatValue(slot.mValue));
      held = (actual == expect.mValue) == (op == "==");
      actual = "'" + actual + "'";
    } else {
      double value = 0;
      // A trigger's value is how often it fired; anything else its last value.
      if (slot.mDescriptor.mDisplay == "trig") {
        const auto it = mTotals.find({instance.Serial(), slot.mDescriptor.mID});
        value = static_cast<double>(it == mTotals.end() ? 0 : it->second);
        actual = fmt::format("{} value(s)", static_cast<uint64_t>(value));
      } else if (slot.mDescriptor.IsNumeric()) {
        value = slot.mDescriptor.mType == EPropertyType::kFloat ? slot.mValue.AsFloat()
                                                                 : static_cast<double>(slot.mValue.AsInteger());
        actual = FormatValue(slot.mValue);
      } else {
        results.push_back(fmt::format("{} is not a number ({})", expect.mTarget.Text(), FormatValue(slot.mValue)));
        continue;
      }
      const double want = std::stod(expect.mValue);
      held = op == "==" ? value == want : op == "!=" ? value != want : op == "<" ? value < want
           : op == "<=" ? value <= want : op == ">" ? value > want : value >= want;
    }
    results.push_back(held ? std::string() : fmt::format("got {}", actual));
  }
  return results;
}

std::string CPatchRunner::OutputList() {
  std::string text;
  for (CActorInstance* instance : mOrder) {
    text += fmt::format("outputs of {} ({}):\n", instance->Name(), instance->Plugin().DisplayName());
    for (size_t i = 1; i <= instance->OutputCount(); ++i) {
      const auto& output = instance->Output(static_cast<uint16_t>(i));
      text += fmt::format("  {:>3}  {:<6} {:<24} {}\n", i, output.mDescriptor.mID, output.mDisplayName,
                          output.mSent ? FormatValue(output.mValue) : std::string("(nothing sent)"));
    }
  }
  return text;
}

void CPatchRunner::Finish() {
  if (mFinished) return;
  mFinished = true;
  if (mStarted) {
    CountOutputs();
    mHealth.Update(*mHost, Seconds());
    Report(true);
  }
  if (mOptions.mListOutputs) mOut << OutputList();
  const auto expects = CheckExpects();
  std::vector<std::string> unresolved;
  auto never = [&](const CPatchTarget& target) {
    if (target.mProperty != "*" && !mResolved.count(target.Text()) &&
        std::find(unresolved.begin(), unresolved.end(), target.Text()) == unresolved.end()) {
      unresolved.push_back(target.Text());
      const CActorInstance& instance = Instance(target.mInstance);
      mOut << fmt::format("{}:{}: {} never had an output {} (outputs: {})\n", mPatch.mFile, target.mLine,
                          instance.Name(), QuoteExcerpt(target.mProperty), OutputNames(instance));
    }
  };
  for (const auto& wire : mPatch.mWires) never(wire.mFrom);
  for (const auto& target : mPatch.mPrint) never(target);
  for (const auto& target : mPatch.mFps) never(target);
  for (const auto& save : mPatch.mSaves) never(save.mTarget);
  const auto watchers = mHealth.Watchers();
  // Disposal sends last values (a producer empties its outputs); they are
  // not part of the run.
  mHost->Recorder().SetEnabled(false);
  for (auto it = mOrder.rbegin(); it != mOrder.rend(); ++it) {
    if ((*it)->IsLive()) mHost->Dispose(**it);
  }
  nlohmann::json saves = nlohmann::json::array();
  for (size_t i = 0; i < mPatch.mSaves.size(); ++i) {
    const CPatchSave& save = mPatch.mSaves[i];
    mOut << fmt::format("actorhost: saved {} frame(s) of {} in {}\n", mSaveStates[i].mFilesWritten,
                        save.mTarget.Text(), SaveDirectory(save));
    saves.push_back({{"output", save.mTarget.Text()}, {"directory", SaveDirectory(save)},
                     {"frames", mSaveStates[i].mFilesWritten}});
  }
  if (mPatch.mRenderRate > 0) {
    mOut << fmt::format("actorhost: {} render request(s) sent, {} dropped (due while the run could not keep up)\n",
                        mRendersSent, mRendersDropped);
  }
  size_t failedExpects = 0;
  nlohmann::json expectJson = nlohmann::json::array();
  for (size_t i = 0; i < mPatch.mExpects.size(); ++i) {
    const CPatchExpect& expect = mPatch.mExpects[i];
    const bool held = expects[i].empty();
    failedExpects += held ? 0 : 1;
    mOut << fmt::format("{}:{}: expect {}: {}\n", mPatch.mFile, expect.mLine, expect.Text(),
                        held ? "holds" : "FAILED, " + expects[i]);
    expectJson.push_back({{"expect", expect.Text()}, {"line", expect.mLine}, {"held", held}, {"detail", expects[i]}});
  }
  size_t watcherErrors = 0;
  nlohmann::json watcherJson = nlohmann::json::array();
  for (const CWatcherHealth& w : watchers) {
    if (!w.mError.empty()) {
      ++watcherErrors;
      mOut << fmt::format("actorhost: {} reported an error: {}\n", w.mName, w.mError);
    }
    nlohmann::json entry = {{"name", w.mName}, {"port", w.mPort}, {"received", w.mReceived}, {"error", w.mError}};
    if (w.mCounters) {
      entry["rejected"] = w.mCounters->mDatagramsRejected;
      entry["dropped"] = w.mCounters->mMessagesDropped;
    }
    watcherJson.push_back(std::move(entry));
  }
  const double seconds = Seconds();
  const size_t assertions = mHost->Assertions().size();
  const size_t violations = mHost->Violations().size();
  const size_t blocks = mHost->Memory().LiveBlocks();
  const size_t strings = mHost->Strings().LiveStrings();
  const size_t buffers = mHost->LiveImageBuffers();
  mOut << fmt::format(
      "actorhost: {} ticks in {:.2f} s; {} assertion(s), {} violation(s); after disposal {} memory "
      "block(s), {} string(s), {} image buffer(s) live\n",
      mHost->TickCount(), seconds, assertions, violations, blocks, strings, buffers);
  const bool failed = assertions + violations + blocks + strings + buffers + failedExpects + watcherErrors > 0;
  mStatus = failed ? kRunFailed : unresolved.empty() ? kRunOk : kRunBadPatch;
  if (mOptions.mJson != nullptr) {
    nlohmann::json summary = {
        {"type", "summary"},         {"ticks", mHost->TickCount()}, {"seconds", seconds},
        {"assertions", assertions},  {"violations", violations},   {"live_memory_blocks", blocks},
        {"live_strings", strings},   {"live_image_buffers", buffers}, {"renders_sent", mRendersSent},
        {"renders_dropped", mRendersDropped}, {"saves", saves},     {"expects", expectJson},
        {"watchers", watcherJson},   {"never_appeared", unresolved}, {"exit_status", mStatus}};
    *mOptions.mJson << summary.dump() << '\n' << std::flush;
  }
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
      // Sleep in short slices so that an interrupt ends the run promptly, and
      // a slow tick rate does not keep it past its duration.
      bool timeUp = false;
      while (Clock::now() < due && (stop == nullptr || !stop->load())) {
        timeUp = mStarted && mDuration && Seconds() >= *mDuration;
        if (timeUp) break;
        std::this_thread::sleep_until(std::min(due, Clock::now() + std::chrono::milliseconds(50)));
      }
      if (timeUp || (stop != nullptr && stop->load())) break;
    }
    ++tick;
    if (!Step()) break;
  }
  Finish();
  return mStatus;
}

}  // namespace vhost
