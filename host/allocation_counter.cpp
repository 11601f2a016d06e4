#include "host/allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VORL_SANITIZER_OWNS_MALLOC 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || \
    defined(VORL_NO_ALLOCATION_COUNTING)
#define VORL_SANITIZER_OWNS_MALLOC 1
#endif
#if defined(__GLIBC__) && !defined(_WIN32) && !defined(VORL_SANITIZER_OWNS_MALLOC)
#define VORL_COUNT_ALLOCATIONS 1
#include <malloc.h>
#endif

namespace vhost {
namespace {

// Initial-exec: read without a call, so safe inside malloc itself.
#if defined(__GNUC__) && !defined(_WIN32)
#define VORL_TLS_MODEL __attribute__((tls_model("initial-exec")))
#else
#define VORL_TLS_MODEL
#endif
thread_local int gPluginDepth VORL_TLS_MODEL = 0;
thread_local int gHostDepth VORL_TLS_MODEL = 0;
thread_local uint64_t gAllocations VORL_TLS_MODEL = 0;
std::atomic<FHeapReleaseObserver> gReleaseObserver{nullptr};

}  // namespace

void SetHeapReleaseObserver(FHeapReleaseObserver observer) { gReleaseObserver.store(observer); }

#if VORL_COUNT_ALLOCATIONS
inline void NoteAllocation() {
  if (gPluginDepth > 0 && gHostDepth == 0) ++gAllocations;
}

inline void NoteRelease(void* block) {
  if (block == nullptr || gPluginDepth == 0 || gHostDepth != 0) return;
  const FHeapReleaseObserver observer = gReleaseObserver.load(std::memory_order_relaxed);
  if (observer == nullptr) return;
  const CUncountedHostWork hostWork;
  observer(block, malloc_usable_size(block));
}
#endif

bool AllocationCountingAvailable() {
#if VORL_COUNT_ALLOCATIONS
  return true;
#else
  return false;
#endif
}

const char* AllocationCountingUnavailableReason() {
#if VORL_COUNT_ALLOCATIONS
  return "";
#elif defined(VORL_SANITIZER_OWNS_MALLOC)
  return "not measured: a sanitizer build (its runtime owns malloc)";
#else
  return "not measured: this C runtime's allocator is not seen";
#endif
}

uint64_t CountedAllocations() { return gAllocations; }

CCountedPluginCall::CCountedPluginCall() : mPausedBefore(gHostDepth) {
  gHostDepth = 0;
  ++gPluginDepth;
}

CCountedPluginCall::~CCountedPluginCall() {
  --gPluginDepth;
  gHostDepth = mPausedBefore;
}

CUncountedHostWork::CUncountedHostWork() { ++gHostDepth; }

CUncountedHostWork::~CUncountedHostWork() { --gHostDepth; }

}  // namespace vhost

#if VORL_COUNT_ALLOCATIONS
// In front of the C runtime's allocation functions: each counts, then asks
// glibc's allocator under its own name, so free() and malloc_usable_size()
// of the C runtime keep working on every block.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
void __libc_free(void* block);

#define VORL_ALLOCATOR_EXPORT __attribute__((visibility("default")))

VORL_ALLOCATOR_EXPORT void* malloc(size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_malloc(size);
}

VORL_ALLOCATOR_EXPORT void free(void* block) noexcept {
  vhost::NoteRelease(block);
  __libc_free(block);
}

VORL_ALLOCATOR_EXPORT void* calloc(size_t count, size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_calloc(count, size);
}

VORL_ALLOCATOR_EXPORT void* realloc(void* block, size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_realloc(block, size);
}

VORL_ALLOCATOR_EXPORT void* reallocarray(void* block, size_t count, size_t size) noexcept {
  size_t bytes = 0;
  if (__builtin_mul_overflow(count, size, &bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  vhost::NoteAllocation();
  return __libc_realloc(block, bytes);
}

VORL_ALLOCATOR_EXPORT void* memalign(size_t alignment, size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_memalign(alignment, size);
}

VORL_ALLOCATOR_EXPORT void* aligned_alloc(size_t alignment, size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_memalign(alignment, size);
}

VORL_ALLOCATOR_EXPORT int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0 || alignment == 0)
    return EINVAL;
  vhost::NoteAllocation();
  void* block = __libc_memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}

VORL_ALLOCATOR_EXPORT void* valloc(size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_valloc(size);
}

VORL_ALLOCATOR_EXPORT void* pvalloc(size_t size) noexcept {
  vhost::NoteAllocation();
  return __libc_pvalloc(size);
}
}
#endif
