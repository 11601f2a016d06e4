// The human-readable description of a plug-in file that `actorhost inspect`
// prints: registration (display name, codes as text and hex, constants),
// then every property with its limits, default and help text.
//
// Help texts are asked from the plug-in through an instance record that is
// never created (no CreateActor), as a host does for its palette.
//
// Thread-safety: uses a private CHost; call from one thread at a time.
#pragma once

#include <string>

#include "host/plugin.h"

namespace vhost {

std::string DescribePlugin(const CPlugin& plugin);
// The same registration and properties as one JSON object (one line, no help texts).
std::string DescribePluginJson(const CPlugin& plugin);

}  // namespace vhost
