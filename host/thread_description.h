// How the host names a thread in its reports ("thread 12345": the
// operating system's thread ID, as debuggers and /proc show it).
//
// Thread-safety: safe on any thread.
#pragma once

#include <string>

namespace vhost {

// The calling thread, for a report about something it did.
std::string DescribeCurrentThread();

}  // namespace vhost
