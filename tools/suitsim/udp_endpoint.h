// UDP plumbing of the suit simulator: destination parsing and the sending and
// receiving sockets (POSIX).
//
// Thread-safety: plain functions; a socket belongs to the command using it.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>

struct UdpEndpoint {
  sockaddr_in mAddress{};
  std::string mText;  // as "a.b.c.d:port"

  bool IsMulticast() const;
};

// "HOST:PORT", "HOST" (port 14043) or ":PORT" (127.0.0.1). HOST is a dotted
// IPv4 address or a name that resolves to one.
std::optional<UdpEndpoint> ParseUdpEndpoint(const std::string& text, std::string& error);

// A socket for sending to `to`; for a multicast group with the given TTL and
// loopback on. -1 with `error` set on failure.
int OpenSenderSocket(const UdpEndpoint& to, int multicastTtl, std::string& error);

// A socket bound to `port` on every local address (0 picks a free one),
// joined to `group` when that is not empty. -1 with `error` set on failure.
int OpenReceiverSocket(uint16_t port, const std::string& group, std::string& error);

// The local port a socket is bound to, 0 when unknown.
uint16_t BoundPort(int socket);

// sendto() of one datagram; the errno on failure, else 0.
int SendDatagram(int socket, const UdpEndpoint& to, const uint8_t* bytes, size_t length);
