#include "host/validate/suit_datagram_source.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace vhost::validate {
namespace {

constexpr size_t kFrameBytes = 1144;
constexpr size_t kRecordBytes = 60;
// The suit's sensor addresses in its own record order.
constexpr std::array<uint8_t, 19> kAddresses = {0xA0, 0x01, 0x02, 0x03, 0x40, 0xA1, 0x81,
                                                0x82, 0x83, 0xA2, 0x21, 0x22, 0x23, 0x24,
                                                0xA3, 0x61, 0x62, 0x63, 0x64};

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

CSuitDatagramSource::~CSuitDatagramSource() {
  if (mSocket >= 0) ::close(mSocket);
}

bool CSuitDatagramSource::Open(std::string& error) {
  // The kernel's choice of a free port, given up again for the plug-in.
  const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (probe < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = std::string("bind: ") + std::strerror(errno);
    ::close(probe);
    return false;
  }
  ::close(probe);
  mPort = ntohs(address.sin_port);
  mSocket = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (mSocket < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool CSuitDatagramSource::SendFrame() {
  std::array<unsigned char, kFrameBytes> frame{};
  std::memcpy(frame.data(), "E46", 3);
  frame[3] = 0x80;
  ++mFrame;
  for (size_t i = 0; i < kAddresses.size(); ++i) {
    unsigned char* record = frame.data() + 4 + i * kRecordBytes;
    record[0] = kAddresses[i];
    const float position[3] = {0.01f * static_cast<float>(i),
                               0.001f * static_cast<float>(mFrame % 1000),
                               -1.0f + 0.1f * static_cast<float>(i)};
    std::memcpy(record + 44, position, sizeof position);
  }
  const sockaddr_in to = Loopback(mPort);
  return ::sendto(mSocket, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(frame.size());
}

}  // namespace vhost::validate
