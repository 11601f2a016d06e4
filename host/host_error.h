// The exception the host's C++ side throws for anything it refuses: a plug-in
// file it cannot load, a malformed definition string or patch, a misuse of
// the driving API. It never crosses into plug-in code: every service the
// plug-ins call catches everything.
//
// Thread-safety: an immutable value.
#pragma once

#include <stdexcept>
#include <string>

namespace vhost {

class CHostError : public std::runtime_error {
 public:
  explicit CHostError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace vhost
