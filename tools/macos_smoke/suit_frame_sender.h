// CSuitFrameSender: makes one suit frame with known joint positions and sends
// it to a UDP port on 127.0.0.1, as the studio application forwards a frame.
//
// Thread-safety: one object per thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CSuitFrameSender {
 public:
  static constexpr size_t kFrameSize = 1144;
  static constexpr size_t kJointCount = 19;

  CSuitFrameSender();
  ~CSuitFrameSender();
  CSuitFrameSender(const CSuitFrameSender&) = delete;
  CSuitFrameSender& operator=(const CSuitFrameSender&) = delete;

  // False, with the reason in `error`, when no socket could be made.
  bool Ready(std::string* error) const;
  // Sends the frame of `suit` (three characters); false when sendto fails.
  bool Send(uint16_t port, const std::string& suit, std::string* error);

  // The position the frame gives the joint in package slot `slot`, as the
  // watcher publishes it with no axis reversed: x, y, z.
  static std::array<float, 3> ExpectedPosition(size_t slot);
  // A free UDP port on 127.0.0.1 at the moment of the call, 0 if none.
  static uint16_t FindFreePort();

 private:
  int mSocket = -1;
  int mOpenError = 0;
};
