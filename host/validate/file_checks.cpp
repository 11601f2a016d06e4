// The file: it loads with immediate binding, exports GetActorInfo only,
// links only allowed libraries, and unloads and loads again cleanly.
#include <fmt/format.h>

#include "host/host_error.h"
#include "host/plugin.h"
#include "host/validate/elf_dynamic_info.h"
#include "host/validate/library_probe.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

CFindings CheckLoads(const CTestContext& context) {
  try {
    LoadPlugin(context.mPluginPath);
  } catch (const CHostError& e) {
    return {fmt::format("the host refuses the file: {}", e.what())};
  }
  return {};
}

CFindings CheckExports(const CTestContext& context) {
  std::string error;
  auto info = ReadElfDynamicInfo(context.mPluginPath, error);
  if (!info) return {"cannot read the file's dynamic symbols: " + error};
  CFindings findings;
  bool hasEntry = false;
  for (const auto& name : info->mExports) {
    if (name == "GetActorInfo") hasEntry = true;
    else findings.push_back(fmt::format("exports '{}' (a plug-in file exports GetActorInfo only)", name));
  }
  if (!hasEntry) findings.push_back("does not export GetActorInfo");
  return findings;
}

CFindings CheckLibraries(const CTestContext& context) {
  std::string error;
  auto info = ReadElfDynamicInfo(context.mPluginPath, error);
  if (!info) return {"cannot read the file's dynamic section: " + error};
  CFindings findings;
  for (const auto& name : info->mNeeded) {
    if (!IsAllowedLibrary(name)) {
      findings.push_back(fmt::format("links '{}' (allowed: the C and C++ runtimes, threads, sockets, GL, GLU)", name));
    }
  }
  return findings;
}

CFindings CheckReload(const CTestContext& context) {
  CFindings findings;
  CRegistrationDigest first, second;
  bool stillLoaded = false;
  std::string error;
  if (!LoadCallUnload(context.mPluginPath, first, stillLoaded, error)) return {"first load: " + error};
  // A file with unique symbols of the C++ runtime may stay mapped after
  // closing (stillLoaded); that is the loader's choice, not a fault, as long
  // as loading again works.
  if (!LoadCallUnload(context.mPluginPath, second, stillLoaded, error)) return {"load after unloading: " + error};
  if (!(first == second)) {
    findings.push_back(fmt::format("GetActorInfo answers differently after unloading and loading again ('{}' then '{}')",
                                   first.mDisplayName, second.mDisplayName));
  }
  return findings;
}

}  // namespace

void AddFileTests(std::vector<CValidationTest>& tests) {
  tests.push_back({"file.load", 1, "loads with immediate binding; GetActorInfo and the declarations accepted", CheckLoads});
  tests.push_back({"file.exports", 1, "exports GetActorInfo and nothing else", CheckExports});
  tests.push_back({"file.libraries", 1, "links only the allowed libraries", CheckLibraries});
  tests.push_back({"file.reload", 2, "unloads and loads again with the same registration", CheckReload});
}

}  // namespace vhost::validate
