// Byte layout of one suit frame as the studio application sends it: one UDP
// datagram of exactly 1144 bytes, little-endian, no checksum, no length field.
//
//   0    3 bytes   suit identifier, taken verbatim as a 3-character text
//   3    1 byte    flags: bits 7, 6, 5 are kept, bits 4..0 ignored
//   4    1140      sensor area: 19 records of 60 bytes in any order
//
// A record starts with its sensor address byte; its position floats come in
// the order x, z, y (see SensorRecord).
//
// Thread-safety: constants only.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kMotiWearFrameSize = 1144;
inline constexpr size_t kMotiWearSensorCount = 19;
inline constexpr size_t kMotiWearSuitIDSize = 3;
inline constexpr size_t kMotiWearFlagOffset = 3;
inline constexpr size_t kMotiWearSensorAreaOffset = 4;
inline constexpr size_t kMotiWearRecordSize = 60;
// A word whose address is unknown moves the scan on by this much.
inline constexpr size_t kMotiWearUnknownStep = 4;

// Offsets inside one record.
inline constexpr size_t kMotiWearRecordHeader = 0;
inline constexpr size_t kMotiWearRecordVectorA = 4;
inline constexpr size_t kMotiWearRecordQuad = 16;
inline constexpr size_t kMotiWearRecordVectorB = 32;
inline constexpr size_t kMotiWearRecordPosX = 44;
inline constexpr size_t kMotiWearRecordPosZ = 48;  // becomes mPosition[2]
inline constexpr size_t kMotiWearRecordPosY = 52;  // becomes mPosition[1]
inline constexpr size_t kMotiWearRecordTrailer = 56;

// The largest datagram the receiver reads; longer ones arrive cut.
inline constexpr size_t kMotiWearMaxDatagram = 4096;

static_assert(kMotiWearSensorAreaOffset + kMotiWearSensorCount * kMotiWearRecordSize ==
              kMotiWearFrameSize);
