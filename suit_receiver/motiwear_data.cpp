#include "suit_receiver/motiwear_data.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "suit_receiver/sensor_joint_names.h"

// The wire is little-endian and the floats are copied as they come.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr uint8_t kNoSlot = 0xFF;

// address -> slot, built once from sRemappedMotiWearSensorAddr. A table
// instead of a search keeps the scan at a few nanoseconds per record.
constexpr std::array<uint8_t, 256> MakeSlotTable() {
  std::array<uint8_t, 256> table{};
  for (auto& slot : table) slot = kNoSlot;
  for (size_t i = kMotiWearSensorCount; i-- > 0;) {
    table[CMotiWearData::sRemappedMotiWearSensorAddr[i]] = static_cast<uint8_t>(i);
  }
  return table;
}

constexpr std::array<uint8_t, 256> kSlotOfAddress = MakeSlotTable();

// One 60-byte wire record into a SensorRecord, whose fields come in another
// order. Six loads and six stores instead of one per field: the trailer and
// the header share one 8-byte store, the vector A store runs 4 bytes into
// vector B (overwritten right after, by the store that also carries the
// first position component, as adjacent on the wire as in the struct), and
// the exchanged y and z travel as one word rotated by 32 bits.
void DecodeRecord(const uint8_t* record, SensorRecord& out) {
  static_assert(offsetof(SensorRecord, mTrailer) == 0 && offsetof(SensorRecord, mHeader) == 4);
  static_assert(offsetof(SensorRecord, mVectorB) == offsetof(SensorRecord, mVectorA) + 12);
  static_assert(offsetof(SensorRecord, mPosition) == offsetof(SensorRecord, mVectorB) + 12);
  static_assert(kMotiWearRecordPosY == kMotiWearRecordPosZ + 4);
  auto* target = reinterpret_cast<uint8_t*>(&out);

  uint32_t header;
  uint32_t trailer;
  std::memcpy(&header, record + kMotiWearRecordHeader, 4);
  std::memcpy(&trailer, record + kMotiWearRecordTrailer, 4);
  const uint64_t trailerAndHeader = trailer | (static_cast<uint64_t>(header) << 32);
  std::memcpy(target + offsetof(SensorRecord, mTrailer), &trailerAndHeader, 8);

  std::memcpy(target + offsetof(SensorRecord, mVectorA), record + kMotiWearRecordVectorA, 16);
  std::memcpy(target + offsetof(SensorRecord, mQuad), record + kMotiWearRecordQuad, 16);
  std::memcpy(target + offsetof(SensorRecord, mVectorB), record + kMotiWearRecordVectorB, 16);

  uint64_t zThenY;
  std::memcpy(&zThenY, record + kMotiWearRecordPosZ, 8);
  const uint64_t yThenZ = std::rotl(zThenY, 32);
  std::memcpy(target + offsetof(SensorRecord, mPosition) + 4, &yThenZ, 8);
}

}  // namespace

int CMotiWearData::SlotOfSensorAddress(uint8_t address) {
  const uint8_t slot = kSlotOfAddress[address];
  return slot == kNoSlot ? -1 : slot;
}

CMotiWearData::CMotiWearData() : CMutex(false) {
  for (size_t i = 0; i < kMotiWearSensorCount; ++i) {
    mSensors[i].mHeader[0] = sRemappedMotiWearSensorAddr[i];
  }
}

CMotiWearData::CMotiWearData(const uint8_t* buffer, uint32_t length) : CMutex(false) {
  // No other thread can see an object under construction: decoding here
  // needs no lock, which saves a lock round trip on every datagram.
  if (length == kMotiWearFrameSize && buffer != nullptr) DecodeFrameUnshared(buffer);
}

void CMotiWearData::DecodeFrameUnshared(const uint8_t* buffer) VORL_NO_THREAD_SAFETY_ANALYSIS {
  DecodeFrame(buffer);
}

void CMotiWearData::ReceiveMotiWearData(const uint8_t* buffer, uint32_t length) {
  if (length != kMotiWearFrameSize || buffer == nullptr) return;
  CMutexLock lock(*this);
  DecodeFrame(buffer);
}

void CMotiWearData::DecodeFrame(const uint8_t* buffer) {
  // A frame decoded again over an earlier one already has a 3-character ID:
  // overwrite it in place rather than through the general assign.
  if (mSuitID.size() == kMotiWearSuitIDSize) {
    std::memcpy(mSuitID.data(), buffer, kMotiWearSuitIDSize);
  } else {
    mSuitID.assign(reinterpret_cast<const char*>(buffer), kMotiWearSuitIDSize);
  }
  const uint8_t flags = buffer[kMotiWearFlagOffset];
  mFlagBit7 = (flags & 0x80) != 0;
  mFlagBit6 = (flags & 0x40) != 0;
  mFlagBit5 = (flags & 0x20) != 0;

  // 19 steps from byte 4; the furthest a step can start is 4 + 18 * 60 =
  // 1084, so a whole record always fits inside the 1144 bytes.
  size_t p = kMotiWearSensorAreaOffset;
  for (size_t step = 0; step < kMotiWearSensorCount; ++step) {
    const uint8_t slot = kSlotOfAddress[buffer[p]];
    if (slot == kNoSlot) {
      p += kMotiWearUnknownStep;
      continue;
    }
    DecodeRecord(buffer + p, mSensors[slot]);
    p += kMotiWearRecordSize;
  }
  mNewData = true;
}

bool CMotiWearData::CopyMotiWearData(SkeletonPkg* pkg, bool swapYZ, bool reverseX, bool reverseY,
                                     bool reverseZ) {
  CMutexLock lock(*this);
  if (!mNewData || pkg == nullptr || pkg->point_count != kMotiWearSensorCount) return false;

  pkg->update_count++;
  pkg->tracking_state = kSkeletonTracked;
  pkg->unit = kSkeletonUnitMetres;
  const float sx = reverseX ? -1.0f : 1.0f;
  const float sy = reverseY ? -1.0f : 1.0f;
  const float sz = reverseZ ? -1.0f : 1.0f;
  const int yIndex = swapYZ ? 2 : 1;
  const int zIndex = swapYZ ? 1 : 2;
  for (size_t i = 0; i < kMotiWearSensorCount; ++i) {
    const float* position = mSensors[i].mPosition;
    SkeletonPoint& point = pkg->points[i];
    point.x = position[0] * sx;
    point.y = position[yIndex] * sy;
    point.z = position[zIndex] * sz;
  }
  return true;
}

bool CMotiWearData::CopyMotiWearData(CMotiWearData& other) {
  CMutexLock lock(*this);
  if (&other != this) {
    other.mNewData = mNewData;
    other.mSuitID = mSuitID;
    other.mFlagBit7 = mFlagBit7;
    other.mFlagBit6 = mFlagBit6;
    other.mFlagBit5 = mFlagBit5;
    other.mSensors = mSensors;
  }
  return mNewData;
}

void CMotiWearData::InitSkeletonJointNames(SkeletonPkg* pkg, bool friendlyNames) {
  if (pkg == nullptr || pkg->point_count != kMotiWearSensorCount) return;
  CMutexLock lock(*this);
  for (size_t i = 0; i < kMotiWearSensorCount; ++i) {
    const uint8_t address = mSensors[i].mHeader[0];
    char* name = pkg->points[i].name;
    std::memset(name, 0, kSkeletonNameSize);
    if (friendlyNames) {
      const char* text = GetMotiWearSensorAddressToDefaultJointName(address);
      std::strncpy(name, text, kSkeletonNameSize - 1);
    } else {
      std::snprintf(name, kSkeletonNameSize, "%02X", static_cast<unsigned>(address));
    }
  }
}
