// What the parts that serve plug-in calls need of the host around them: a
// place to report misuse, and the live instance an actor reference names.
//
// Thread-safety: the host's main thread only, as the services.
#pragma once

#include <functional>
#include <string>

namespace vhost {

class CActorInstance;

struct CServiceContext {
  // Appends a line to the host's violations.
  std::function<void(std::string)> mReport;
  // The created, not yet disposed instance whose actor reference `ref` is;
  // null, and reported in the name of `service`, for any other pointer.
  std::function<CActorInstance*(void* ref, const char* service)> mLiveInstance;
};

}  // namespace vhost
