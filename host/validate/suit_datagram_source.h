// Suit frames for a plug-in that listens on a UDP port: 1144-byte datagrams
// (3-byte suit identifier, a flag byte, 19 sensor records of 60 bytes, each
// starting with its sensor address and carrying its position at bytes 44, 48
// and 52) sent to a loopback port chosen free when the source opens.
//
// Thread-safety: one thread.
#pragma once

#include <cstdint>
#include <string>

namespace vhost::validate {

class CSuitDatagramSource {
 public:
  CSuitDatagramSource() = default;
  CSuitDatagramSource(const CSuitDatagramSource&) = delete;
  CSuitDatagramSource& operator=(const CSuitDatagramSource&) = delete;
  ~CSuitDatagramSource();

  // Picks a free loopback port and opens the sending socket; false with a
  // reason on failure.
  bool Open(std::string& error);
  uint16_t Port() const { return mPort; }

  // Sends the next frame of suit "E46": every position moves a little.
  bool SendFrame();

 private:
  int mSocket = -1;
  uint16_t mPort = 0;
  uint32_t mFrame = 0;
};

}  // namespace vhost::validate
