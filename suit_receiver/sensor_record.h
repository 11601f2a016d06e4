// SensorRecord: one decoded sensor of a suit frame, one slot of CMotiWearData.
//
// The wire record is 60 bytes (address + 3 bytes, three floats, four floats,
// three floats, the position, a trailing word); this struct keeps the same
// 60 bytes in its own field order. Only mHeader[0] (the sensor address) and
// mPosition are read by the system; the rest is kept because the suit sends it.
//
// Thread-safety: plain data; guarded by the lock of the frame that holds it.
#pragma once

#include <cstddef>
#include <cstdint>

struct SensorRecord {
  int32_t mTrailer;    // wire bytes 56..59, verbatim
  uint8_t mHeader[4];  // wire bytes 0..3; [0] is the sensor address
  float mQuad[4];      // wire bytes 16..31
  float mVectorA[3];   // wire bytes 4..15
  float mVectorB[3];   // wire bytes 32..43
  float mPosition[3];  // x, y, z: wire bytes 44, 52, 48 (the wire sends x, z, y)
};

static_assert(sizeof(SensorRecord) == 60);
// The decoder moves mVectorB and mPosition[0] as one block, as on the wire.
static_assert(offsetof(SensorRecord, mPosition) == offsetof(SensorRecord, mVectorB) + 12);
