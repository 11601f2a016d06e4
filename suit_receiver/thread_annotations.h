// Lock annotations that clang's -Wthread-safety checks; other compilers see
// nothing. Used on CMutex and on the data each receiver lock guards.
//
// Thread-safety: compile-time only.
#pragma once

#if defined(__clang__)
#define VORL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VORL_THREAD_ANNOTATION(x)
#endif

#define VORL_CAPABILITY(x) VORL_THREAD_ANNOTATION(capability(x))
#define VORL_SCOPED_CAPABILITY VORL_THREAD_ANNOTATION(scoped_lockable)
#define VORL_GUARDED_BY(x) VORL_THREAD_ANNOTATION(guarded_by(x))
#define VORL_PT_GUARDED_BY(x) VORL_THREAD_ANNOTATION(pt_guarded_by(x))
#define VORL_ACQUIRE(...) VORL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define VORL_TRY_ACQUIRE(...) VORL_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define VORL_RELEASE(...) VORL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define VORL_REQUIRES(...) VORL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define VORL_EXCLUDES(...) VORL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define VORL_NO_THREAD_SAFETY_ANALYSIS VORL_THREAD_ANNOTATION(no_thread_safety_analysis)
