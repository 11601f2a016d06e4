#include "tools/suitsim/udp_endpoint.h"

#include <arpa/inet.h>
#include <fmt/format.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace {
constexpr uint16_t kDefaultPort = 14043;
}

bool UdpEndpoint::IsMulticast() const { return IN_MULTICAST(ntohl(mAddress.sin_addr.s_addr)); }

std::optional<UdpEndpoint> ParseUdpEndpoint(const std::string& text, std::string& error) {
  std::string host = text;
  uint16_t port = kDefaultPort;
  const auto colon = text.rfind(':');
  if (colon != std::string::npos) {
    host = text.substr(0, colon);
    const std::string portText = text.substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] =
        std::from_chars(portText.data(), portText.data() + portText.size(), value);
    if (ec != std::errc() || end != portText.data() + portText.size() || value == 0 ||
        value > 65535) {
      error = fmt::format("'{}': the port must be a number from 1 to 65535", text);
      return std::nullopt;
    }
    port = static_cast<uint16_t>(value);
  }
  if (host.empty()) host = "127.0.0.1";

  UdpEndpoint endpoint;
  endpoint.mAddress.sin_family = AF_INET;
  endpoint.mAddress.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &endpoint.mAddress.sin_addr) != 1) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
      error = fmt::format("'{}': cannot resolve {} ({})", text, host, gai_strerror(status));
      return std::nullopt;
    }
    endpoint.mAddress.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &endpoint.mAddress.sin_addr, dotted, sizeof(dotted));
  endpoint.mText = fmt::format("{}:{}", dotted, port);
  return endpoint;
}

int OpenSenderSocket(const UdpEndpoint& to, int multicastTtl, std::string& error) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = fmt::format("socket: {}", std::strerror(errno));
    return -1;
  }
  if (to.IsMulticast()) {
    const unsigned char ttl = static_cast<unsigned char>(multicastTtl);
    const unsigned char loop = 1;
    if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop)) != 0) {
      error = fmt::format("multicast options: {}", std::strerror(errno));
      close(fd);
      return -1;
    }
  }
  return fd;
}

int OpenReceiverSocket(uint16_t port, const std::string& group, std::string& error) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = fmt::format("socket: {}", std::strerror(errno));
    return -1;
  }
  if (!group.empty()) {
    ip_mreq request{};
    if (inet_pton(AF_INET, group.c_str(), &request.imr_multiaddr) != 1) {
      error = fmt::format("'{}' is not a dotted IPv4 multicast group", group);
      close(fd);
      return -1;
    }
    request.imr_interface.s_addr = htonl(INADDR_ANY);
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request)) != 0) {
      error = fmt::format("cannot join {}: {}", group, std::strerror(errno));
      close(fd);
      return -1;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    error = fmt::format("cannot bind port {}: {}", port, std::strerror(errno));
    close(fd);
    return -1;
  }
  return fd;
}

uint16_t BoundPort(int socket) {
  sockaddr_in address{};
  socklen_t size = sizeof(address);
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

int SendDatagram(int socket, const UdpEndpoint& to, const uint8_t* bytes, size_t length) {
  const ssize_t sent = sendto(socket, bytes, length, 0,
                              reinterpret_cast<const sockaddr*>(&to.mAddress), sizeof(to.mAddress));
  return sent < 0 ? errno : 0;
}
