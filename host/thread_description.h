// A thread named for people, as reports about calls from the wrong thread
// need it: "the host's main thread", "a thread created by bonesplit.so",
// "a thread created by the host", ...
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

}  // namespace vhost
