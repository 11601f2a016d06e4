// Windows side of the thread registry: thread creation is not seen there, so
// no origin is known and callers fall back to what they can count.
#include "host/thread_registry.h"

namespace vhost {

bool ThreadOriginsKnown() { return false; }

size_t LiveThreadsCreatedBy(const std::string&) { return 0; }

std::optional<CThreadOrigin> OriginOfThread(std::thread::id) { return std::nullopt; }

}  // namespace vhost
