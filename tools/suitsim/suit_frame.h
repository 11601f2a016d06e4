// SuitFrame: one suit frame as the sender sees it, and its encoding into the
// 1144-byte datagram the studio application forwards.
//
// Datagram layout (little-endian, no checksum, no length field):
//   0     3 bytes  suit identifier ("E46")
//   3     1 byte   flags (bits 7, 6, 5 meaningful)
//   4     19 records of 60 bytes, in any order:
//         +0 address, +1..3 further header bytes, +4 three floats,
//         +16 four floats (orientation), +32 three floats,
//         +44 x, +48 depth, +52 vertical (pointing down), +56 a 32-bit word
//
// The position floats are kept here in wire order (bytes 44, 48, 52), so
// tests can place any value at any byte; WirePositionFromFigure converts from
// the figure's (x, y up, z) metres.
//
// This encoder is written from the wire description alone, independent of the
// receiver's decoder, so each can check the other.
//
// Thread-safety: plain data and pure functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

inline constexpr size_t kSuitFrameBytes = 1144;
inline constexpr size_t kSuitRecordCount = 19;
inline constexpr size_t kSuitRecordBytes = 60;

// The suit's own record order: hip, left leg from the top, head, stomach,
// right leg, chest, left arm from the shoulder, neck, right arm.
inline constexpr std::array<uint8_t, kSuitRecordCount> kSuitDefaultRecordOrder = {
    0xA0, 0x01, 0x02, 0x03, 0x40, 0xA1, 0x81, 0x82, 0x83, 0xA2,
    0x21, 0x22, 0x23, 0x24, 0xA3, 0x61, 0x62, 0x63, 0x64};

// The hip sensor's address.
inline constexpr uint8_t kSuitHipAddress = 0xA0;

// An address no sensor of the suit carries.
inline constexpr uint8_t kSuitUnknownAddress = 0x10;

struct SuitRecord {
  uint8_t mHeader[4] = {};      // [0] is the sensor address
  float mVectorA[3] = {};       // bytes 4..15
  float mQuad[4] = {};          // bytes 16..31 (w, x, y, z)
  float mVectorB[3] = {};       // bytes 32..43
  float mWirePosition[3] = {};  // bytes 44, 48, 52 in that order
  uint32_t mTrailer = 0;        // bytes 56..59
};

struct SuitFrame {
  std::string mSuitID = "E46";  // the first 3 bytes are sent, padded with spaces
  uint8_t mFlags = 0x80;
  std::array<SuitRecord, kSuitRecordCount> mRecords{};  // in wire order
};

using SuitDatagram = std::vector<uint8_t>;

// The wire floats (bytes 44, 48, 52) of a figure position given as x, y up,
// z forward, in metres: (x, z, -y).
std::array<float, 3> WirePositionFromFigure(float x, float y, float z);

// Writes the 1144 bytes of `frame` to `out`.
void EncodeSuitFrame(const SuitFrame& frame, uint8_t* out);
SuitDatagram EncodeSuitFrame(const SuitFrame& frame);

// Puts the records in a random order; the format allows any.
void ShuffleSuitRecords(SuitFrame& frame, std::mt19937& rng);
