// Which module of the process started each thread: the host program, a
// plug-in file, a library such as the GL driver. Host programs see every
// thread start through pthread_create (the host library defines it in front
// of the C runtime's and passes each call on, through a sanitizer's own
// interceptor when one is there), name the creator after the first frame of
// the creating stack that is not in the C or C++ runtime, and forget the
// thread when its start routine ends. Threads a sanitizer runtime starts for
// itself, and threads started before the program's first pthread_create
// reached this library, are not seen.
//
// Where creation is not seen (Windows builds; a program that does not export
// pthread_create), ThreadOriginsKnown() is false and no origin is known.
//
// Thread-safety: every function may be called from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <thread>

namespace vhost {

struct CThreadOrigin {
  bool mByHost = false;     // code of the host program itself
  std::string mModulePath;  // otherwise the file whose code asked for it (as the loader names it)
};

// True when this process sees its threads start.
bool ThreadOriginsKnown();

// Threads started by code of the file `modulePath` (any spelling of the
// path) whose start routine has not ended yet. 0 when origins are unknown.
size_t LiveThreadsCreatedBy(const std::string& modulePath);

// The origin of a live thread that was seen starting.
std::optional<CThreadOrigin> OriginOfThread(std::thread::id thread);

}  // namespace vhost
