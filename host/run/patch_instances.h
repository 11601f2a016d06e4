// A patch set up in a host: its plug-ins loaded, its instances created with
// their inputs preset, wired and activated in patch order. Outputs may be
// added while the actors run, so a wire or a target naming one that does
// not exist yet waits for it: ResolveTargets() connects and records what
// has appeared since.
//
// Thread-safety: none; the thread that drives the host.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "host/run/patch.h"

namespace vhost {

class CHost;
class CActorInstance;

class CPatchInstances {
 public:
  // `warnings`: where preset values outside an input's range are reported.
  CPatchInstances(const CPatch& patch, CHost& host, std::ostream& warnings);
  CPatchInstances(const CPatchInstances&) = delete;
  CPatchInstances& operator=(const CPatchInstances&) = delete;

  // Loads (from the patch's plugin_dir folders, then `pluginDirs`), creates,
  // presets, wires and activates. Throws CPatchError naming the patch line
  // at fault.
  void Setup(const std::vector<std::string>& pluginDirs);
  // The recorder's mark just before the first activation: what the run sent
  // is after it.
  uint64_t ActivationMark() const { return mActivationMark; }
  // Connects wires and records targets whose outputs now exist.
  void ResolveTargets();
  // The output's index now (0 when absent); a target found is remembered.
  uint16_t OutputOf(const CPatchTarget& target);
  std::optional<std::string> OutputIDOf(const CPatchTarget& target);
  // Whether the target's output existed at some point.
  bool Resolved(const CPatchTarget& target) const { return mResolved.count(target.Text()) != 0; }
  // Throws CHostError for a name the host does not know.
  CActorInstance& Instance(const std::string& name);
  const std::vector<CActorInstance*>& Order() const { return mOrder; }
  // Each instance's outputs: index, ID, current display name, last value.
  std::string OutputList();
  // Targets that never had their output, in patch order, each once; a line
  // for each goes to `out`.
  std::vector<std::string> ReportUnresolved(std::ostream& out);
  // Disposes every live instance, last first.
  void DisposeAll();
  // A path of the patch, relative to the patch file's folder.
  std::string PathBesidePatch(const std::string& path) const;
  // Numeric inputs by these names are refused above the image buffers'
  // size limit (a video actor's picture size). Set before Setup().
  void LimitImageSizeInputs(std::vector<std::string> names) { mImageSizeInputs = std::move(names); }

 private:
  void Preset(CActorInstance& instance, const CPatchSetting& setting);

  const CPatch& mPatch;
  CHost& mHost;
  std::ostream& mWarnings;
  std::vector<CActorInstance*> mOrder;  // patch order
  std::vector<bool> mWired;             // per mPatch.mWires entry
  std::set<std::string> mResolved;      // targets (Text()) whose output existed at some point
  std::vector<std::string> mImageSizeInputs;
  uint64_t mActivationMark = 0;
};

}  // namespace vhost
