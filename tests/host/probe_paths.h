// Where the host tests find their probe plug-ins and the framework's test
// actor.
#pragma once

#include <cstdlib>
#include <string>

inline std::string ProbePath(const std::string& name) {
  return std::string(VORL_HOST_PROBE_DIR) + "/" + name + VORL_PLUGIN_SUFFIX;
}

inline std::string BuiltPluginPath(const std::string& name) {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  return std::string(dir != nullptr ? dir : "plugins") + "/" + name + VORL_PLUGIN_SUFFIX;
}

inline std::string BuiltPluginDir() {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  return dir != nullptr ? dir : "plugins";
}
