#include <winsock2.h>
#include <ws2tcpip.h>

#include "suit_receiver/receiver_socket.h"

int CReceiverSocket::StartThread() {
  WSADATA data;
  return WSAStartup(0x0101, &data);
}

void CReceiverSocket::EndThread() { WSACleanup(); }

int CReceiverSocket::LastError() { return WSAGetLastError(); }

CReceiverSocket::Handle CReceiverSocket::Open() {
  // Winsock handles are not inherited by programs started without handle
  // inheritance, which is how a host starts them.
  const Handle s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return kNone;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return kNone;
  }
  return s;
}

bool CReceiverSocket::JoinGroup(Handle socket, const std::string& group) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = inet_addr(group.c_str());
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  return setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                    sizeof(request)) == 0;
}

bool CReceiverSocket::Bind(Handle socket, const sockaddr_in& address) {
  return bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

bool CReceiverSocket::WaitReadable(Handle socket, int milliseconds) {
  // A Windows fd_set lists handles, so any socket fits.
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(socket, &readSet);
  timeval timeout{0, milliseconds * 1000};
  return select(0, &readSet, nullptr, nullptr, &timeout) > 0;
}

CReceiverSocket::EReceive CReceiverSocket::Receive(Handle socket, uint8_t* buffer, size_t size,
                                                   size_t* length, int* error) {
  sockaddr_in sender{};
  int senderSize = sizeof(sender);
  const int received = recvfrom(socket, reinterpret_cast<char*>(buffer), static_cast<int>(size), 0,
                                reinterpret_cast<sockaddr*>(&sender), &senderSize);
  if (received != SOCKET_ERROR) {
    *length = static_cast<size_t>(received);
    return EReceive::kReceived;
  }
  const int code = WSAGetLastError();
  if (code == WSAEMSGSIZE) {
    // Windows reports a datagram cut to the buffer as an error; POSIX hands
    // out the cut datagram. Treat both alike.
    *length = size;
    return EReceive::kReceived;
  }
  if (code == WSAEWOULDBLOCK) return EReceive::kDrained;
  // WSAECONNRESET is how Windows reports an ICMP port-unreachable on UDP.
  if (code == WSAEINTR || code == WSAECONNRESET || code == WSAENOBUFS) return EReceive::kRetry;
  *error = code;
  return EReceive::kFailed;
}

int CReceiverSocket::Close(Handle socket) {
  shutdown(socket, SD_SEND);
  return closesocket(socket);
}
