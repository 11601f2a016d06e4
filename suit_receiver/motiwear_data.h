// CMotiWearData: one decoded suit frame, 19 sensor slots in a fixed order.
//
// A frame is decoded on a receiver thread (ReceiveMotiWearData) and read on
// the host's main thread (the two CopyMotiWearData operations,
// InitSkeletonJointNames). Every access after construction takes the frame's
// own lock, so a frame may be read while another thread decodes into it.
//
// Slot i always becomes point i of a 19-point skeleton package, whatever the
// order of the records on the wire (sRemappedMotiWearSensorAddr). Copying a
// frame out does not consume it: mNewData stays true, so every watcher that
// shares a receiver writes every frame into its own package.
//
// Thread-safety: all members take the frame's lock; the public fields may be
// read without it only by a thread that owns the frame exclusively (a
// message handed over through the receiver queue is no longer written).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "skeleton/skeleton_pkg.h"
#include "suit_receiver/cmutex.h"
#include "suit_receiver/sensor_record.h"
#include "suit_receiver/suit_frame_layout.h"

class CMotiWearData : public CMutex {
 public:
  // A template frame: nothing decoded (mNewData false, mSuitID empty), every
  // field zero except the address byte of each slot, which is the slot's
  // address. Used to name a skeleton's joints before any frame has arrived.
  CMotiWearData();
  // Every field zero (addresses included), then ReceiveMotiWearData(buffer,
  // length). A datagram that is not a frame leaves the object empty.
  // REQUIRES: buffer holds `length` readable bytes (may be null when 0).
  CMotiWearData(const uint8_t* buffer, uint32_t length);

  CMotiWearData(const CMotiWearData&) = delete;
  CMotiWearData& operator=(const CMotiWearData&) = delete;

  // Decodes one suit frame. Anything other than exactly 1144 bytes is
  // ignored without taking the lock. Records are found by a scan of 19 steps
  // from byte 4: a word whose address byte is a known sensor is decoded into
  // that sensor's slot (a repeated address overwrites it) and moves the scan
  // 60 bytes on; an unknown address moves it 4 bytes on. Slots whose address
  // does not occur keep what they held. Never reads past byte 1143.
  void ReceiveMotiWearData(const uint8_t* buffer, uint32_t length);

  // Writes the 19 positions into `pkg` (bumps update_count, tracking_state
  // and unit become 2); each axis is negated when its reverse flag is set,
  // and y and z are exchanged first when swapYZ is set. Returns false and
  // leaves the package untouched when nothing has been decoded, `pkg` is
  // null or its point_count is not 19. Labels are not touched.
  bool CopyMotiWearData(SkeletonPkg* pkg, bool swapYZ, bool reverseX, bool reverseY, bool reverseZ);

  // Copies the decoded content (mNewData, mSuitID, flags, all slots) into
  // `other` under this frame's lock; `other`'s lock is neither taken nor
  // copied. Returns this frame's mNewData.
  bool CopyMotiWearData(CMotiWearData& other);

  // Writes the 19 labels of `pkg`: friendly joint names, or the sensor
  // address as two upper-case hex digits ("A3"; an empty slot gives "00").
  // A null package or one whose point_count is not 19 is left alone. The
  // caller recomputes the label hash afterwards.
  void InitSkeletonJointNames(SkeletonPkg* pkg, bool friendlyNames);

  bool mNewData = false;  // a frame has been decoded into this object
  std::string mSuitID;    // the frame's 3 identifier bytes; empty when nothing decoded
  bool mFlagBit7 = false;
  bool mFlagBit6 = false;
  bool mFlagBit5 = false;
  std::array<SensorRecord, kMotiWearSensorCount> mSensors{};

  // The suit's own record order; kept for reference, read by nothing.
  static constexpr uint8_t sDefaltMotiWearSensorAddr[kMotiWearSensorCount] = {
      0xA0, 0x01, 0x02, 0x03, 0x40, 0xA1, 0x81, 0x82, 0x83, 0xA2,
      0x21, 0x22, 0x23, 0x24, 0xA3, 0x61, 0x62, 0x63, 0x64};
  // The address of each slot: head, hands, feet, neck, shoulders, upper and
  // lower arms, chest, stomach, hip, upper and lower legs.
  static constexpr uint8_t sRemappedMotiWearSensorAddr[kMotiWearSensorCount] = {
      0x40, 0x24, 0x64, 0x03, 0x83, 0xA3, 0x21, 0x61, 0x22, 0x62,
      0x23, 0x63, 0xA2, 0xA1, 0xA0, 0x01, 0x81, 0x02, 0x82};

  // The slot of a sensor address, or -1 when no slot holds it. When several
  // slots hold one address the first one wins.
  static int SlotOfSensorAddress(uint8_t address);

 private:
  void DecodeFrame(const uint8_t* buffer) VORL_REQUIRES(this);
  // Only while the object is being constructed.
  void DecodeFrameUnshared(const uint8_t* buffer);
};
