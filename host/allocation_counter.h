// Counts the C and C++ heap allocations that plug-in code makes: malloc,
// calloc, realloc, reallocarray and the aligned forms, and operator new,
// which reaches malloc in the C++ runtime. Host programs define these in
// front of the C runtime's (glibc) and pass each call on to its allocator.
//
// An allocation counts only on a thread that is inside a plug-in call
// (CCountedPluginCall) and not inside a host service (CUncountedHostWork):
// the host's own work around and inside services is never the plug-in's.
//
// Not available under a sanitizer (its runtime owns malloc), on other C
// runtimes and on Windows: AllocationCountingAvailable() says so and the
// count stays 0.
//
// Thread-safety: the counts are per thread; every function may be called
// from any thread and concerns the calling thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vhost {

bool AllocationCountingAvailable();

// Why counting is not available ("a sanitizer build", ...), for reports.
const char* AllocationCountingUnavailableReason();

// Allocations counted on this thread so far.
uint64_t CountedAllocations();

// Called for each block that plug-in code gives back to the C heap (free(),
// and operator delete through it) under the same conditions as counting,
// before the block goes. The observer runs as host work: what it allocates
// is not counted, and what it frees is not observed. One observer per
// process; null removes it. Not available where counting is not.
using FHeapReleaseObserver = void (*)(const void* block, size_t size);
void SetHeapReleaseObserver(FHeapReleaseObserver observer);

// Marks the length of a call into plug-in code on this thread. Nests; a
// plug-in call made from inside a host service (a wired input hearing of a
// value) counts again.
class CCountedPluginCall {
 public:
  CCountedPluginCall();
  ~CCountedPluginCall();
  CCountedPluginCall(const CCountedPluginCall&) = delete;
  CCountedPluginCall& operator=(const CCountedPluginCall&) = delete;

 private:
  int mPausedBefore;
};

// Marks the length of a host service called by plug-in code.
class CUncountedHostWork {
 public:
  CUncountedHostWork();
  ~CUncountedHostWork();
  CUncountedHostWork(const CUncountedHostWork&) = delete;
  CUncountedHostWork& operator=(const CUncountedHostWork&) = delete;
};

}  // namespace vhost
