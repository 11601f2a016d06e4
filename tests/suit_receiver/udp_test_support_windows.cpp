#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include "tests/suit_receiver/udp_test_support.h"

namespace {

// Winsock stays started for the whole test program.
struct CWinsock {
  CWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~CWinsock() { WSACleanup(); }
};

void StartWinsock() { static CWinsock winsock; }

sockaddr_in AnyAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  return address;
}

bool SendTo(const sockaddr_in& to, const std::vector<uint8_t>& bytes, bool multicastLoop) {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return false;
  if (multicastLoop) {
    const char loop = 1;
    setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop));
  }
  const int sent = sendto(s, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                          0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  closesocket(s);
  return sent == static_cast<int>(bytes.size());
}

}  // namespace

int AddressInUseError() { return WSAEADDRINUSE; }

uint16_t FindFreeUdpPort() {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = AnyAddress(0);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  int size = sizeof(address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  closesocket(s);
  return ntohs(address.sin_port);
}

bool SendUdp(uint16_t port, const std::vector<uint8_t>& bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return SendTo(to, bytes, false);
}

bool SendUdpTo(const char* address, uint16_t port, const std::vector<uint8_t>& bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr(address);
  return SendTo(to, bytes, true);
}

int OccupyUdpPort(uint16_t port) {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return -1;
  // Exclusive, as a POSIX bind is: no later bind on the port may share it.
  const BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof(exclusive));
  sockaddr_in address = AnyAddress(port);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return -1;
  }
  // Socket handles are small numbers in practice; the tests keep them as int.
  return static_cast<int>(s);
}

void CloseSocket(int socket) {
  if (socket >= 0) closesocket(static_cast<SOCKET>(socket));
}
