// Loading a plug-in file outside the host's cache, to see that it unloads
// and loads again, and counting the threads a file started, to see that no
// code of it is still running after its last instance went.
//
// Thread-safety: plain functions.
#pragma once

#include <cstdint>
#include <string>

namespace vhost::validate {

struct CRegistrationDigest {
  uint32_t mClassCode = 0, mSecondCode = 0, mActorID = 0;
  std::string mDisplayName;
  bool operator==(const CRegistrationDigest&) const = default;
};

// Opens the file (immediate binding, local symbols), calls GetActorInfo on a
// zeroed record and closes it again. False with a reason on failure; `stillLoaded`
// tells whether the file stayed in the process after closing.
bool LoadCallUnload(const std::string& path, CRegistrationDigest& digest, bool& stillLoaded, std::string& error);

// Threads started by code of the plug-in file `pluginPath` that are still
// running. Where the process does not see its threads start, every thread
// of the process is counted instead.
int PluginThreadCount(const std::string& pluginPath);

}  // namespace vhost::validate
