// How the host names a thread in its reports: "the host's main thread", "a
// thread created by bonesplit.so", "a thread created by the host", ..., and
// with the operating system's thread ID for the calling thread.
//
// Thread-safety: may be called from any thread.
#pragma once

#include <string>
#include <thread>

namespace vhost {

// `hostMainThread` is the thread that drives plug-in code.
std::string DescribeThread(std::thread::id thread, std::thread::id hostMainThread);

// The same with the process's first thread as the host's main thread.
std::string DescribeThread(std::thread::id thread);

// The calling thread, for a report about something it did off the host's
// main thread: "thread 12345 (a thread created by bonesplit.so)".
std::string DescribeCurrentThread();

}  // namespace vhost
