// POSIX side of the library probe: dlopen/dlclose, and the thread registry
// (/proc/self/task where it sees nothing).
#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "host/plugin_abi.h"
#include "host/record_layout.h"
#include "host/thread_registry.h"
#include "host/validate/library_probe.h"

namespace vhost::validate {

bool LoadCallUnload(const std::string& path, CRegistrationDigest& digest, bool& stillLoaded, std::string& error) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    error = why != nullptr ? why : "dlopen failed";
    return false;
  }
  auto fn = reinterpret_cast<GetActorInfoFn>(::dlsym(handle, "GetActorInfo"));
  if (fn == nullptr) {
    error = "no GetActorInfo";
    ::dlclose(handle);
    return false;
  }
  alignas(16) std::vector<unsigned char> record(layout::kActorInfoSize + 16, 0);
  unsigned char* bytes = record.data();
  fn(nullptr, reinterpret_cast<ActorInfo*>(bytes));
  digest.mClassCode = layout::ReadAt<uint32_t>(bytes, layout::kClassCode);
  digest.mSecondCode = layout::ReadAt<uint32_t>(bytes, layout::kSecondCode);
  digest.mActorID = layout::ReadAt<uint32_t>(bytes, layout::kActorID);
  const char* name = layout::ReadAt<const char*>(bytes, layout::kDisplayName);
  digest.mDisplayName = name != nullptr ? std::string(name, strnlen(name, 256)) : std::string();
  if (::dlclose(handle) != 0) {
    const char* why = ::dlerror();
    error = std::string("dlclose: ") + (why != nullptr ? why : "failed");
    return false;
  }
  void* again = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  stillLoaded = again != nullptr;
  if (again != nullptr) ::dlclose(again);
  return true;
}

namespace {

int ProcessThreadCount() {
  // A sanitizer runtime may start a helper thread of its own when the
  // process first creates a thread (ThreadSanitizer does) and keep it; one
  // thread started and joined before the first count makes it part of every
  // count, so it never reads as a plug-in's thread left behind.
  static const bool sWarmedUp = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)sWarmedUp;
  std::error_code ec;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    ++count;
  }
  return count;
}

}  // namespace

int PluginThreadCount(const std::string& pluginPath) {
  if (ThreadOriginsKnown()) return static_cast<int>(LiveThreadsCreatedBy(pluginPath));
  return ProcessThreadCount();
}

}  // namespace vhost::validate
