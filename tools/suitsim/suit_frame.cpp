#include "tools/suitsim/suit_frame.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the wire is little-endian");

std::array<float, 3> WirePositionFromFigure(float x, float y, float z) { return {x, z, -y}; }

void EncodeSuitFrame(const SuitFrame& frame, uint8_t* out) {
  std::memset(out, 0, kSuitFrameBytes);
  for (size_t i = 0; i < 3; ++i) {
    out[i] = i < frame.mSuitID.size() ? static_cast<uint8_t>(frame.mSuitID[i]) : ' ';
  }
  out[3] = frame.mFlags;
  uint8_t* p = out + 4;
  for (const SuitRecord& record : frame.mRecords) {
    std::memcpy(p + 0, record.mHeader, 4);
    std::memcpy(p + 4, record.mVectorA, 12);
    std::memcpy(p + 16, record.mQuad, 16);
    std::memcpy(p + 32, record.mVectorB, 12);
    std::memcpy(p + 44, record.mWirePosition, 12);
    std::memcpy(p + 56, &record.mTrailer, 4);
    p += kSuitRecordBytes;
  }
}

SuitDatagram EncodeSuitFrame(const SuitFrame& frame) {
  SuitDatagram datagram(kSuitFrameBytes);
  EncodeSuitFrame(frame, datagram.data());
  return datagram;
}

void ShuffleSuitRecords(SuitFrame& frame, std::mt19937& rng) {
  std::shuffle(frame.mRecords.begin(), frame.mRecords.end(), rng);
}
