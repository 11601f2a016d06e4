#include "tools/macos_smoke/suit_frame_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The sensor address of each package slot, and the order in which the suit
// sends its records (a different one, so the slot mapping is exercised).
constexpr std::array<uint8_t, CSuitFrameSender::kJointCount> kSlotAddress = {
    0x40, 0x24, 0x64, 0x03, 0x83, 0xA3, 0x21, 0x61, 0x22, 0x62,
    0x23, 0x63, 0xA2, 0xA1, 0xA0, 0x01, 0x81, 0x02, 0x82};
constexpr std::array<uint8_t, CSuitFrameSender::kJointCount> kWireOrder = {
    0xA0, 0x01, 0x02, 0x03, 0x40, 0xA1, 0x81, 0x82, 0x83, 0xA2,
    0x21, 0x22, 0x23, 0x24, 0xA3, 0x61, 0x62, 0x63, 0x64};
constexpr size_t kRecordSize = 60;
constexpr size_t kFirstRecord = 4;

size_t SlotOf(uint8_t address) {
  for (size_t slot = 0; slot < kSlotAddress.size(); ++slot)
    if (kSlotAddress[slot] == address) return slot;
  return 0;
}

void PutFloat(unsigned char* at, float value) {
  // Little-endian on the wire, as on both x86-64 and arm64.
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof(bits));
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(bits >> (8 * i));
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
#if defined(__APPLE__)
  address.sin_len = sizeof(address);  // BSD socket addresses carry their length
#endif
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

CSuitFrameSender::CSuitFrameSender() {
  mSocket = socket(AF_INET, SOCK_DGRAM, 0);
  if (mSocket < 0) mOpenError = errno;
}

CSuitFrameSender::~CSuitFrameSender() {
  if (mSocket >= 0) close(mSocket);
}

bool CSuitFrameSender::Ready(std::string* error) const {
  if (mSocket >= 0) return true;
  *error = "socket: error " + std::to_string(mOpenError);
  return false;
}

std::array<float, 3> CSuitFrameSender::ExpectedPosition(size_t slot) {
  const auto s = static_cast<float>(slot);
  return {0.25f + s, 0.5f + 2.0f * s, -0.5f * s};
}

bool CSuitFrameSender::Send(uint16_t port, const std::string& suit, std::string* error) {
  if (!Ready(error)) return false;
  std::array<unsigned char, kFrameSize> frame{};
  for (size_t i = 0; i < 3 && i < suit.size(); ++i) frame[i] = static_cast<unsigned char>(suit[i]);
  for (size_t n = 0; n < kWireOrder.size(); ++n) {
    unsigned char* record = frame.data() + kFirstRecord + n * kRecordSize;
    record[0] = kWireOrder[n];
    const std::array<float, 3> xyz = ExpectedPosition(SlotOf(kWireOrder[n]));
    // The wire gives x, then z, then y.
    PutFloat(record + 44, xyz[0]);
    PutFloat(record + 48, xyz[2]);
    PutFloat(record + 52, xyz[1]);
  }
  const sockaddr_in to = Loopback(port);
  const ssize_t sent = sendto(mSocket, frame.data(), frame.size(), 0,
                              reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  if (sent == static_cast<ssize_t>(frame.size())) return true;
  *error = "sendto: error " + std::to_string(errno);
  return false;
}

uint16_t CSuitFrameSender::FindFreePort() {
  const int probe = socket(AF_INET, SOCK_DGRAM, 0);
  if (probe < 0) return 0;
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof(address);
  uint16_t port = 0;
  if (bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(probe);
  return port;
}
