// The POSIX socket calls, for Linux and for macOS (Darwin). Where Darwin
// differs:
// - its socket addresses begin with their length (sin_len); Bind fills it in;
// - SOCK_CLOEXEC does not exist: the descriptor is marked with fcntl;
// - error numbers are the BSD ones: a taken port is EADDRINUSE 48 there (98
//   on Linux), so it reads "socket: bind error 48";
// - a write to a socket that cannot send raises SIGPIPE there unless the
//   socket has SO_NOSIGPIPE (Linux has MSG_NOSIGNAL per call instead); a
//   receiver never writes (Close shuts sending down right before closing),
//   so neither is used.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "suit_receiver/receiver_socket.h"

int CReceiverSocket::StartThread() { return 0; }

void CReceiverSocket::EndThread() {}

int CReceiverSocket::LastError() { return errno; }

CReceiverSocket::Handle CReceiverSocket::Open() {
#if defined(SOCK_CLOEXEC)
  // A host that starts other programs must not hand them our port.
  const Handle s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
#else
  const Handle s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s >= 0) fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
  return s < 0 ? kNone : s;
}

bool CReceiverSocket::JoinGroup(Handle socket, const std::string& group) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = inet_addr(group.c_str());
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  return setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request)) == 0;
}

bool CReceiverSocket::Bind(Handle socket, const sockaddr_in& address) {
  sockaddr_in bound = address;
#if defined(__APPLE__)
  bound.sin_len = sizeof(bound);
#endif
  return bind(socket, reinterpret_cast<const sockaddr*>(&bound), sizeof(bound)) == 0;
}

bool CReceiverSocket::WaitReadable(Handle socket, int milliseconds) {
  // poll, not select: FD_SET on a descriptor at or above FD_SETSIZE is
  // undefined, and a host process can hold that many files.
  pollfd waitFor{socket, POLLIN, 0};
  return poll(&waitFor, 1, milliseconds) > 0;
}

CReceiverSocket::EReceive CReceiverSocket::Receive(Handle socket, uint8_t* buffer, size_t size,
                                                   size_t* length, int* error) {
  sockaddr_in sender{};
  socklen_t senderSize = sizeof(sender);
  const ssize_t received = recvfrom(socket, buffer, size, MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&sender), &senderSize);
  if (received >= 0) {
    *length = static_cast<size_t>(received);
    return EReceive::kReceived;
  }
  const int code = errno;
  if (code == EAGAIN || code == EWOULDBLOCK) return EReceive::kDrained;
  if (code == EINTR || code == ECONNREFUSED || code == ENOBUFS) return EReceive::kRetry;
  *error = code;
  return EReceive::kFailed;
}

int CReceiverSocket::Close(Handle socket) {
  shutdown(socket, SHUT_WR);
  return close(socket);
}
