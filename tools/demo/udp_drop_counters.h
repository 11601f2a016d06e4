// What the kernel dropped before a UDP receiver could read it.
//
// Per socket: the `drops` column of /proc/net/udp and /proc/net/udp6 (a
// datagram that found the socket's receive buffer full), summed over the
// sockets bound to one local port. Per machine: `RcvbufErrors` and
// `InErrors` of the `Udp:` lines in /proc/net/snmp, which count every
// socket of every program, so they only bound what one receiver lost.
// The socket's own counter ends with the socket: read it before the last
// watcher on the port goes.
//
// Thread-safety: plain functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The drops of the sockets bound to `port` in a /proc/net/udp (or udp6)
// text; nothing when no socket is bound to it or the text is not that table.
std::optional<uint64_t> ParseUdpSocketDrops(std::string_view table, int port);
// Both tables of this network namespace; nothing when no socket has the port.
std::optional<uint64_t> UdpSocketDrops(int port);

struct SUdpErrors {
  uint64_t mReceiveBufferErrors = 0;  // RcvbufErrors
  uint64_t mInErrors = 0;             // InErrors (checksum errors and the above)
};
// The counters of a /proc/net/snmp text; nothing without its two Udp lines.
std::optional<SUdpErrors> ParseUdpErrors(std::string_view snmp);
std::optional<SUdpErrors> UdpErrors();
