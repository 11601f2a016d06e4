// The host service table that plug-ins reach through byte 16 of the
// VorlaneParameters record: 208 slots of 8 bytes (record_layout.h), every
// service of the list (contract/host_service_list.h) at its offset, every
// other slot null.
//
// The services are plain C functions; none lets an exception out. They act
// on the host that is driving plug-in code at the moment (CHost::Current());
// those that take an actor reference then find the instance through it. A
// service that needs no host state (FindStringInList) also answers when no
// host drives. Called with no host driving, or off that host's main thread,
// a service does nothing and returns its neutral result (null, -1 or an
// error code: kErrWrongThread off the main thread); the off-thread call is
// reported as a violation of the host that owns the thread, naming the
// service and the thread. A handler that throws is reported as a fault of
// the host (CHost::HostFaults()).
//
// Thread-safety: the table is built once and immutable.
#pragma once

#include "host/plugin_abi.h"

namespace vhost {

void* const* ServiceTable();

// A parameters record, pointing at the table, for calls made while no host
// drives (GetParameterString at load time).
VorlaneParameters* LoaderParameters();

}  // namespace vhost
