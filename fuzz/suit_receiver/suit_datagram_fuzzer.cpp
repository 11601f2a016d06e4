// libFuzzer target: any datagram a receiver can be sent (up to the 4096
// bytes it reads) goes the whole way a watcher takes it: framed into a
// message, copied into a skeleton package, named, copied frame to frame,
// released. Besides the sanitizers' checks it asserts what must hold for
// any input: only 1144-byte datagrams decode, and a slot only ever holds its
// own sensor address (or nothing).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "skeleton/skeleton_pkg.h"
#include "suit_receiver/motiwear_data.h"
#include "suit_receiver/motiwear_message.h"

namespace {
constexpr size_t kLargestDatagram = 4096;

void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kLargestDatagram) size = kLargestDatagram;  // what recvfrom would cut it to
  auto messages = CMotiWearMessage::ReadMotiWearMessages(data, size);
  Check(messages.size() == 1);
  CMotiWearMessage* message = messages[0];
  CMotiWearData* frame = message->mData;
  Check(frame != nullptr);
  Check(frame->mNewData == (size == kMotiWearFrameSize));
  Check(frame->mSuitID.size() == (frame->mNewData ? 3u : 0u));
  for (size_t slot = 0; slot < kMotiWearSensorCount; ++slot) {
    const uint8_t address = frame->mSensors[slot].mHeader[0];
    Check(address == 0 || address == CMotiWearData::sRemappedMotiWearSensorAddr[slot]);
  }

  SkeletonPkg* pkg = CreateSkeletonPkg(kMotiWearSensorCount);
  const uint8_t switches = size > 0 ? data[size - 1] : 0;
  const bool copied =
      frame->CopyMotiWearData(pkg, switches & 1, switches & 2, switches & 4, switches & 8);
  Check(copied == frame->mNewData);
  frame->InitSkeletonJointNames(pkg, (switches & 16) != 0);
  for (uint32_t i = 0; i < pkg->point_count; ++i) {
    Check(std::memchr(pkg->points[i].name, 0, kSkeletonNameSize) != nullptr);
  }
  UpdateSkeletonLabelHash(pkg);
  DisposeSkeletonPkg(pkg);

  CMotiWearData copy;
  Check(frame->CopyMotiWearData(copy) == frame->mNewData);
  message->Retain();
  message->Release();
  message->Release();
  return 0;
}
