// POSIX side of the thread registry: pthread_create defined here, in front of
// the C runtime's, so that every thread started by the host program, a
// plug-in file or a library they use passes through it.
//
// The call is passed on to a sanitizer's interceptor when the process has one
// (its own pthread_create is then shadowed by this one, and the sanitizer
// must still see every thread start), else to the next definition, the C
// runtime's. The new thread runs a small start routine of ours that notes
// the thread's id, runs the real one and forgets the thread when it ends
// (returning, pthread_exit or cancellation: the last two unwind through it).
#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>

#include "host/thread_registry.h"

namespace vhost {
namespace {

using CreateFn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

struct CLiveThread {
  CThreadOrigin mOrigin;
  std::thread::id mId;  // set by the thread itself as it starts
};

// Never destroyed: threads may end while the process runs its exit handlers.
struct CRegistry {
  std::mutex mMutex;
  std::map<uint64_t, CLiveThread> mThreads;  // GUARDED_BY(mMutex), by serial
  uint64_t mNextSerial = 1;                  // GUARDED_BY(mMutex)
};

CRegistry& Registry();

// A forked child holds only the thread that forked; the others' entries go.
void LockForFork() { Registry().mMutex.lock(); }
void UnlockAfterFork() { Registry().mMutex.unlock(); }
void ForgetOtherThreadsAfterFork() {
  CRegistry& r = Registry();
  const std::thread::id self = std::this_thread::get_id();
  std::erase_if(r.mThreads, [&](const auto& entry) { return entry.second.mId != self; });
  r.mMutex.unlock();
}

CRegistry& Registry() {
  static CRegistry* const sRegistry = [] {
    auto* r = new CRegistry;
    ::pthread_atfork(&LockForFork, &UnlockAfterFork, &ForgetOtherThreadsAfterFork);
    return r;
  }();
  return *sRegistry;
}

CreateFn NextCreate() {
  static const CreateFn sNext = [] {
    // Interceptor names of the sanitizer runtimes, older and newer.
    for (const char* name : {"__interceptor_pthread_create", "___interceptor_pthread_create"}) {
      if (void* f = ::dlsym(RTLD_DEFAULT, name)) return reinterpret_cast<CreateFn>(f);
    }
    return reinterpret_cast<CreateFn>(::dlsym(RTLD_NEXT, "pthread_create"));
  }();
  return sNext;
}

// The C and C++ runtimes and the sanitizer runtimes start threads on behalf
// of their callers: the creator is further down the stack.
bool IsRuntime(const char* path) {
  if (path == nullptr) return false;
  const std::string file = std::filesystem::path(path).filename().string();
  for (const char* prefix :
       {"libc.so", "libstdc++.so", "libc++.so", "libc++abi.so", "libgcc_s.so", "libpthread.so",
        "ld-linux", "libclang_rt.", "libasan.so", "libtsan.so", "libubsan.so"}) {
    if (file.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// A function of the host program, for telling its frames from a library's.
void ProgramMarker() {}

// The module of `address`: the host program, a runtime (look further down
// the stack), or another file.
enum class EFrameOwner { kProgram, kRuntime, kOther, kUnknown };

EFrameOwner OwnerOf(const void* address, const void* programBase, std::string& path) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0) return EFrameOwner::kUnknown;
  if (info.dli_fbase == programBase) return EFrameOwner::kProgram;
  if (IsRuntime(info.dli_fname)) return EFrameOwner::kRuntime;
  path = info.dli_fname != nullptr ? info.dli_fname : "";
  return EFrameOwner::kOther;
}

// `caller` is where pthread_create was called from; `frames` the stack from
// inside this file, which holds it a frame or two further down.
CThreadOrigin CreatorOf(const void* caller, void* const* frames, int count) {
  Dl_info program{};
  ::dladdr(reinterpret_cast<void*>(&ProgramMarker), &program);
  int next = 0;
  while (next < count && frames[next] != caller) ++next;
  const void* address = caller;
  for (;;) {
    std::string path;
    switch (OwnerOf(address, program.dli_fbase, path)) {
      case EFrameOwner::kProgram:
        return {true, {}};
      case EFrameOwner::kOther:
        return {false, std::move(path)};
      case EFrameOwner::kRuntime:
      case EFrameOwner::kUnknown:
        break;
    }
    if (++next >= count) return {true, {}};
    address = frames[next];
  }
}

struct CStart {
  void* (*mRoutine)(void*);
  void* mArgument;
  uint64_t mSerial;
};

class CLiveThreadEntry {
 public:
  explicit CLiveThreadEntry(uint64_t serial) : mSerial(serial) {
    CRegistry& r = Registry();
    std::lock_guard lock(r.mMutex);
    const auto it = r.mThreads.find(mSerial);
    if (it != r.mThreads.end()) it->second.mId = std::this_thread::get_id();
  }
  ~CLiveThreadEntry() {
    CRegistry& r = Registry();
    std::lock_guard lock(r.mMutex);
    r.mThreads.erase(mSerial);
  }
  CLiveThreadEntry(const CLiveThreadEntry&) = delete;
  CLiveThreadEntry& operator=(const CLiveThreadEntry&) = delete;

 private:
  uint64_t mSerial;
};

void* RunThread(void* raw) {
  const CStart start = *static_cast<CStart*>(raw);
  delete static_cast<CStart*>(raw);
  const CLiveThreadEntry entry(start.mSerial);
  return start.mRoutine(start.mArgument);
}

int CreateThread(const void* caller, pthread_t* thread, const pthread_attr_t* attr,
                 void* (*routine)(void*), void* argument) {
  const CreateFn next = NextCreate();
  if (next == nullptr) return EAGAIN;
  void* frames[24];
  const int depth = ::backtrace(frames, 24);
  auto* start = new (std::nothrow) CStart{routine, argument, 0};
  if (start == nullptr) return EAGAIN;
  CRegistry& r = Registry();
  try {
    CThreadOrigin origin = CreatorOf(caller, frames, depth);
    std::lock_guard lock(r.mMutex);
    start->mSerial = r.mNextSerial++;
    // Counted from before it runs: whoever counts right after this call
    // returns sees the new thread.
    r.mThreads.emplace(start->mSerial, CLiveThread{std::move(origin), {}});
  } catch (...) {
    delete start;
    return EAGAIN;
  }
  const uint64_t serial = start->mSerial;
  const int result = next(thread, attr, &RunThread, start);
  if (result != 0) {
    delete start;
    std::lock_guard lock(r.mMutex);
    r.mThreads.erase(serial);
  }
  return result;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const bool same = std::filesystem::equivalent(a, b, ec);
  return !ec ? same : a == b;
}

}  // namespace

bool ThreadOriginsKnown() {
  static const bool sKnown = ::dlsym(RTLD_DEFAULT, "pthread_create") ==
                             reinterpret_cast<void*>(static_cast<CreateFn>(&::pthread_create));
  return sKnown;
}

size_t LiveThreadsCreatedBy(const std::string& modulePath) {
  if (!ThreadOriginsKnown()) return 0;
  CRegistry& r = Registry();
  std::lock_guard lock(r.mMutex);
  size_t count = 0;
  for (const auto& [serial, thread] : r.mThreads) {
    if (!thread.mOrigin.mByHost && SameFile(thread.mOrigin.mModulePath, modulePath)) ++count;
  }
  return count;
}

std::optional<CThreadOrigin> OriginOfThread(std::thread::id id) {
  CRegistry& r = Registry();
  std::lock_guard lock(r.mMutex);
  for (const auto& [serial, thread] : r.mThreads) {
    if (thread.mId == id) return thread.mOrigin;
  }
  return std::nullopt;
}

}  // namespace vhost

// In front of the C runtime's: every thread of the process starts here.
extern "C" __attribute__((visibility("default"), noinline)) int pthread_create(
    pthread_t* __restrict thread, const pthread_attr_t* __restrict attr, void* (*routine)(void*),
    void* __restrict argument) noexcept {
  return vhost::CreateThread(__builtin_return_address(0), thread, attr, routine, argument);
}
