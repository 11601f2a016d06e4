// Finds the plug-in file a patch names: a path to a file, or a name looked up
// in plug-in directories as "<name>.so", "<name>", or the display name of a
// plug-in file there (letter case ignored).
//
// Thread-safety: stateless apart from loading (see LoadPlugin).
#pragma once

#include <string>
#include <vector>

#include "host/plugin.h"

namespace vhost {

// Throws CHostError saying where it looked.
const CPlugin& FindPlugin(const std::string& nameOrPath, const std::vector<std::string>& directories);

}  // namespace vhost
