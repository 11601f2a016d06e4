#include "host/run/patch_instances.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>

#include "host/host.h"
#include "host/run/plugin_finder.h"
#include "host/text_excerpt.h"
#include "host/value_text.h"

namespace vhost {
namespace {

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

CPatchInstances::CPatchInstances(const CPatch& patch, CHost& host, std::ostream& warnings)
    : mPatch(patch), mHost(host), mWarnings(warnings) {}

std::string CPatchInstances::PathBesidePatch(const std::string& path) const {
  namespace fs = std::filesystem;
  if (fs::path(path).is_absolute()) return path;
  return (fs::path(mPatch.mFile).parent_path() / path).string();
}

void CPatchInstances::Setup(const std::vector<std::string>& pluginDirs) {
  namespace fs = std::filesystem;
  std::vector<std::string> dirs;
  for (const auto& dir : mPatch.mPluginDirs) dirs.push_back(PathBesidePatch(dir));
  dirs.insert(dirs.end(), pluginDirs.begin(), pluginDirs.end());
  for (const auto& actor : mPatch.mActors) {
    auto fail = [&](int line, const std::string& problem) { throw CPatchError(mPatch.mFile, line, problem); };
    std::string plugin = actor.mPlugin;
    // A relative path means the patch's folder when it does not name a file here.
    std::error_code ec;
    if (plugin.find('/') != std::string::npos && fs::path(plugin).is_relative() && !fs::exists(plugin, ec)) {
      const fs::path besidePatch = fs::path(mPatch.mFile).parent_path() / plugin;
      if (fs::exists(besidePatch, ec)) plugin = besidePatch.string();
    }
    CActorInstance* instance = nullptr;
    try {
      instance = &mHost.AddInstance(FindPlugin(plugin, dirs), actor.mName);
      mHost.Create(*instance);
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
  // Inputs are all declared; outputs may be added at run time.
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
  mActivationMark = mHost.Mark();
  for (CActorInstance* instance : mOrder) mHost.Activate(*instance);
  ResolveTargets();
}

void CPatchInstances::Preset(CActorInstance& instance, const CPatchSetting& setting) {
  const uint16_t index = instance.FindInput(setting.mInput);
  const CPropertyDescriptor& input = instance.Input(index).mDescriptor;
  const CHostValue asked = ValueFromText(input, setting.mValue);
  mHost.PresetInput(instance, index, asked);
  if (!input.IsNumeric()) return;
  const CHostValue& used = instance.Input(index).mValue;
  const bool isFloat = input.mType == EPropertyType::kFloat;
  // A picture size beyond what the buffers can hold would only show later
  // as frames that never come.
  if (std::find(mImageSizeInputs.begin(), mImageSizeInputs.end(), input.mName) != mImageSizeInputs.end()) {
    const int32_t limit = mHost.ImageBufferBackend().MaxImageSize();
    if (limit > 0 && (isFloat ? used.AsFloat() : static_cast<double>(used.AsInteger())) > limit) {
      throw CPatchError(mPatch.mFile, setting.mLine,
                        fmt::format("{}={} is above the image buffers' limit of {} pixels", input.mName,
                                    Excerpt(setting.mValue), limit));
    }
  }
  const bool changed = isFloat ? asked.AsFloat() != used.AsFloat() : asked.AsInteger() != used.AsInteger();
  if (!changed) return;
  auto limit = [](const std::optional<double>& v) { return v ? fmt::format("{}", *v) : std::string("*"); };
  mWarnings << fmt::format("{}:{}: warning: {}={} is outside the range of {} ({} to {}); using {}\n", mPatch.mFile,
                           setting.mLine, setting.mInput, Excerpt(setting.mValue), input.mName,
                           limit(input.mMinimum), limit(input.mMaximum), FormatValue(used));
}

uint16_t CPatchInstances::OutputOf(const CPatchTarget& target) {
  const uint16_t index = Instance(target.mInstance).FindOutput(target.mProperty);
  if (index != 0) mResolved.insert(target.Text());
  return index;
}

std::optional<std::string> CPatchInstances::OutputIDOf(const CPatchTarget& target) {
  const uint16_t index = OutputOf(target);
  if (index == 0) return std::nullopt;  // not there (yet, or any more)
  return Instance(target.mInstance).Output(index).mDescriptor.mID;
}

void CPatchInstances::ResolveTargets() {
  for (size_t i = 0; i < mPatch.mWires.size(); ++i) {
    if (mWired[i]) continue;
    const CPatchWire& wire = mPatch.mWires[i];
    CActorInstance& from = Instance(wire.mFrom.mInstance);
    CActorInstance& to = Instance(wire.mTo.mInstance);
    const uint16_t output = OutputOf(wire.mFrom);
    if (output == 0) continue;
    try {
      mHost.Connect(from, output, to, to.FindInput(wire.mTo.mProperty));
    } catch (const CHostError& e) {
      throw CPatchError(mPatch.mFile, wire.mLine, e.what());
    }
    mWired[i] = true;
  }
  for (const auto* list : {&mPatch.mPrint, &mPatch.mFps}) {
    for (const auto& target : *list) {
      if (target.mProperty != "*" && !Resolved(target)) OutputOf(target);
    }
  }
  for (const auto& save : mPatch.mSaves) OutputOf(save.mTarget);
  for (const auto& expect : mPatch.mExpects) OutputOf(expect.mTarget);
}

CActorInstance& CPatchInstances::Instance(const std::string& name) {
  CActorInstance* instance = mHost.FindInstance(name);
  if (instance == nullptr) throw CHostError(fmt::format("no instance named '{}'", name));
  return *instance;
}

std::string CPatchInstances::OutputList() {
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

std::vector<std::string> CPatchInstances::ReportUnresolved(std::ostream& out) {
  std::vector<std::string> unresolved;
  auto never = [&](const CPatchTarget& target) {
    if (target.mProperty == "*" || Resolved(target) ||
        std::find(unresolved.begin(), unresolved.end(), target.Text()) != unresolved.end()) {
      return;
    }
    unresolved.push_back(target.Text());
    const CActorInstance& instance = Instance(target.mInstance);
    out << fmt::format("{}:{}: {} never had an output {} (outputs: {})\n", mPatch.mFile, target.mLine,
                       instance.Name(), QuoteExcerpt(target.mProperty), OutputNames(instance));
  };
  for (const auto& wire : mPatch.mWires) never(wire.mFrom);
  for (const auto& target : mPatch.mPrint) never(target);
  for (const auto& target : mPatch.mFps) never(target);
  for (const auto& save : mPatch.mSaves) never(save.mTarget);
  return unresolved;
}

void CPatchInstances::DisposeAll() {
  for (auto it = mOrder.rbegin(); it != mOrder.rend(); ++it) {
    if ((*it)->IsLive()) mHost.Dispose(**it);
  }
}

}  // namespace vhost
