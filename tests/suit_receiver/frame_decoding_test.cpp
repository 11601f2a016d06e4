// Decoding suit frames: slot order, the y/z exchange, the address scan, bad
// lengths, and writing frames into skeleton packages.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "skeleton/skeleton_pkg.h"
#include "suit_receiver/motiwear_data.h"
#include "suit_receiver/motiwear_message.h"
#include "suit_receiver/sensor_joint_names.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

struct PkgDeleter {
  void operator()(SkeletonPkg* pkg) const { DisposeSkeletonPkg(pkg); }
};
using PkgPtr = std::unique_ptr<SkeletonPkg, PkgDeleter>;

PkgPtr MakePkg(uint32_t count = 19) { return PkgPtr(CreateSkeletonPkg(count)); }

std::unique_ptr<CMotiWearData> Decode(const std::vector<uint8_t>& bytes) {
  return std::make_unique<CMotiWearData>(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

int SlotOf(uint8_t address) {
  for (int i = 0; i < 19; ++i) {
    if (CMotiWearData::sRemappedMotiWearSensorAddr[i] == address) return i;
  }
  return -1;
}

// A frame whose record for each address carries positions derived from the
// address, so a record found in the wrong slot shows.
SuitFrame NumberedFrame() {
  SuitFrame frame;
  frame.mSuitID = "E46";
  for (size_t i = 0; i < 19; ++i) {
    SuitRecord& r = frame.mRecords[i];
    r.mHeader[0] = kSuitDefaultRecordOrder[i];
    r.mHeader[1] = 0x11;
    r.mHeader[2] = 0x22;
    r.mHeader[3] = static_cast<uint8_t>(i);
    const float base = static_cast<float>(r.mHeader[0]);
    r.mWirePosition[0] = base + 0.25f;
    r.mWirePosition[1] = base + 0.5f;
    r.mWirePosition[2] = base + 0.75f;
    r.mQuad[0] = 1.0f;
    r.mVectorA[2] = -base;
    r.mVectorB[0] = base * 2;
    r.mTrailer = 0xC0DE0000u + static_cast<uint32_t>(i);
  }
  return frame;
}

// The scan as the wire description gives it, with a plain linear search:
// the reference the table-driven decoder must agree with.
void ReferenceDecode(const uint8_t* bytes, SensorRecord (&slots)[19]) {
  std::memset(slots, 0, sizeof(slots));
  size_t p = 4;
  for (int step = 0; step < 19; ++step) {
    int slot = -1;
    for (int k = 0; k < 19; ++k) {
      if (CMotiWearData::sRemappedMotiWearSensorAddr[k] == bytes[p]) {
        slot = k;
        break;
      }
    }
    if (slot < 0) {
      p += 4;
      continue;
    }
    SensorRecord& r = slots[slot];
    std::memcpy(r.mHeader, bytes + p, 4);
    std::memcpy(r.mVectorA, bytes + p + 4, 12);
    std::memcpy(r.mQuad, bytes + p + 16, 16);
    std::memcpy(r.mVectorB, bytes + p + 32, 12);
    std::memcpy(&r.mPosition[0], bytes + p + 44, 4);
    std::memcpy(&r.mPosition[2], bytes + p + 48, 4);
    std::memcpy(&r.mPosition[1], bytes + p + 52, 4);
    std::memcpy(&r.mTrailer, bytes + p + 56, 4);
    p += 60;
  }
}

void ExpectMatchesReference(const std::vector<uint8_t>& bytes) {
  SensorRecord expected[19];
  ReferenceDecode(bytes.data(), expected);
  auto data = Decode(bytes);
  for (int i = 0; i < 19; ++i) {
    ASSERT_EQ(0, std::memcmp(&expected[i], &data->mSensors[i], sizeof(SensorRecord)))
        << "slot " << i;
  }
}

}  // namespace

class ASuitFrame : public ::testing::Test {};

TEST_F(ASuitFrame, FillsEverySlotWhateverTheRecordOrder) {
  std::mt19937 rng(42);
  for (int round = 0; round < 20; ++round) {
    SuitFrame frame = NumberedFrame();
    ShuffleSuitRecords(frame, rng);
    auto data = Decode(EncodeSuitFrame(frame));
    ASSERT_TRUE(data->mNewData);
    for (int slot = 0; slot < 19; ++slot) {
      const uint8_t address = CMotiWearData::sRemappedMotiWearSensorAddr[slot];
      const SensorRecord& r = data->mSensors[slot];
      ASSERT_EQ(address, r.mHeader[0]) << "slot " << slot;
      EXPECT_EQ(address + 0.25f, r.mPosition[0]);
      EXPECT_EQ(0x11, r.mHeader[1]);
      EXPECT_EQ(-static_cast<float>(address), r.mVectorA[2]);
      EXPECT_EQ(2.0f * address, r.mVectorB[0]);
      EXPECT_EQ(1.0f, r.mQuad[0]);
    }
  }
}

TEST_F(ASuitFrame, ExchangesTheSecondAndThirdPositionComponents) {
  SuitFrame frame = NumberedFrame();
  SuitRecord& head = frame.mRecords[4];
  ASSERT_EQ(0x40, head.mHeader[0]);
  head.mWirePosition[0] = 1.0f;  // byte 44
  head.mWirePosition[1] = 2.0f;  // byte 48
  head.mWirePosition[2] = 3.0f;  // byte 52
  auto data = Decode(EncodeSuitFrame(frame));
  const float* position = data->mSensors[0].mPosition;
  EXPECT_EQ(1.0f, position[0]);
  EXPECT_EQ(3.0f, position[1]);
  EXPECT_EQ(2.0f, position[2]);

  auto pkg = MakePkg();
  ASSERT_TRUE(data->CopyMotiWearData(pkg.get(), false, false, true, false));
  EXPECT_EQ(1.0f, pkg->points[0].x);
  EXPECT_EQ(-3.0f, pkg->points[0].y);
  EXPECT_EQ(2.0f, pkg->points[0].z);

  ASSERT_TRUE(data->CopyMotiWearData(pkg.get(), true, true, false, true));
  EXPECT_EQ(-1.0f, pkg->points[0].x);
  EXPECT_EQ(2.0f, pkg->points[0].y);
  EXPECT_EQ(-3.0f, pkg->points[0].z);
}

TEST_F(ASuitFrame, KeepsSuitIDAndTheThreeHighFlagBits) {
  SuitFrame frame = NumberedFrame();
  frame.mSuitID = "404";
  frame.mFlags = 0xBF;  // 1011 1111
  auto data = Decode(EncodeSuitFrame(frame));
  EXPECT_EQ("404", data->mSuitID);
  EXPECT_TRUE(data->mFlagBit7);
  EXPECT_FALSE(data->mFlagBit6);
  EXPECT_TRUE(data->mFlagBit5);
}

TEST_F(ASuitFrame, SkipsAnUnknownAddressByFourBytesAndUsesUpAStep) {
  // An unknown word at byte 4, then 18 records packed from byte 8: the scan
  // reaches them all, and the 19th step has nothing left to find.
  std::vector<uint8_t> bytes(1144, 0);
  std::memcpy(bytes.data(), "E46", 3);
  bytes[4] = kSuitUnknownAddress;
  const SuitFrame frame = NumberedFrame();
  const auto full = EncodeSuitFrame(frame);
  for (size_t j = 0; j < 18; ++j) {
    std::memcpy(&bytes[8 + 60 * j], &full[4 + 60 * j], 60);
  }
  auto data = Decode(bytes);
  for (size_t j = 0; j < 18; ++j) {
    const int slot = SlotOf(kSuitDefaultRecordOrder[j]);
    EXPECT_EQ(kSuitDefaultRecordOrder[j], data->mSensors[slot].mHeader[0]);
  }
  const int missing = SlotOf(kSuitDefaultRecordOrder[18]);
  EXPECT_EQ(0, data->mSensors[missing].mHeader[0]);
  EXPECT_EQ(0.0f, data->mSensors[missing].mPosition[0]);
  ExpectMatchesReference(bytes);
}

TEST_F(ASuitFrame, LetsTheLaterOfTwoRecordsWithOneAddressWin) {
  SuitFrame frame = NumberedFrame();
  // The hip record (first on the wire) becomes a second head record after
  // the real head (fifth): the later one wins and the hip slot stays empty.
  std::swap(frame.mRecords[0], frame.mRecords[18]);  // hip goes last
  frame.mRecords[18].mHeader[0] = 0x40;
  frame.mRecords[18].mWirePosition[0] = 99.0f;
  auto data = Decode(EncodeSuitFrame(frame));
  EXPECT_EQ(99.0f, data->mSensors[0].mPosition[0]);
  EXPECT_EQ(0, data->mSensors[14].mHeader[0]);
  EXPECT_EQ(0.0f, data->mSensors[14].mPosition[1]);

  auto pkg = MakePkg();
  data->InitSkeletonJointNames(pkg.get(), true);
  EXPECT_STREQ("unknown", pkg->points[14].name);
  data->InitSkeletonJointNames(pkg.get(), false);
  EXPECT_STREQ("00", pkg->points[14].name);
}

TEST_F(ASuitFrame, OfTheWrongLengthStaysEmptyAndCopiesNothing) {
  const auto good = EncodeSuitFrame(NumberedFrame());
  for (size_t length : {size_t{1}, size_t{1143}, size_t{1145}, size_t{4096}}) {
    std::vector<uint8_t> bytes = good;
    bytes.resize(length, 0x40);
    auto data = Decode(bytes);
    EXPECT_FALSE(data->mNewData) << length;
    EXPECT_TRUE(data->mSuitID.empty()) << length;

    auto pkg = MakePkg();
    const std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(pkg.get()),
                                      reinterpret_cast<uint8_t*>(pkg.get()) + 888);
    EXPECT_FALSE(data->CopyMotiWearData(pkg.get(), false, false, false, false));
    EXPECT_EQ(0, std::memcmp(before.data(), pkg.get(), 888)) << length;
  }
}

TEST_F(ASuitFrame, IsNotConsumedByCopyingItOut) {
  auto data = Decode(EncodeSuitFrame(NumberedFrame()));
  auto first = MakePkg();
  auto second = MakePkg();
  EXPECT_TRUE(data->CopyMotiWearData(first.get(), false, false, true, false));
  EXPECT_TRUE(data->CopyMotiWearData(second.get(), false, false, true, false));
  EXPECT_EQ(0, std::memcmp(first.get(), second.get(), 888));
  EXPECT_EQ(1u, second->update_count);
  EXPECT_EQ(kSkeletonTracked, second->tracking_state);
  EXPECT_EQ(kSkeletonUnitMetres, second->unit);

  CMotiWearData copy;
  EXPECT_TRUE(data->CopyMotiWearData(copy));
  EXPECT_TRUE(data->CopyMotiWearData(copy));
  EXPECT_EQ("E46", copy.mSuitID);
  EXPECT_EQ(0, std::memcmp(copy.mSensors.data(), data->mSensors.data(), sizeof(SensorRecord) * 19));
}

TEST_F(ASuitFrame, LeavesMissingAndMisshapenPackagesAlone) {
  auto data = Decode(EncodeSuitFrame(NumberedFrame()));
  EXPECT_FALSE(data->CopyMotiWearData(nullptr, false, false, false, false));
  data->InitSkeletonJointNames(nullptr, true);

  auto small = MakePkg(18);
  auto big = MakePkg(20);
  EXPECT_FALSE(data->CopyMotiWearData(small.get(), false, false, false, false));
  EXPECT_FALSE(data->CopyMotiWearData(big.get(), false, false, false, false));
  data->InitSkeletonJointNames(small.get(), true);
  EXPECT_EQ(0u, small->update_count);
  EXPECT_EQ(0, small->points[0].name[0]);
  EXPECT_EQ(0.0f, big->points[0].x);
}

TEST_F(ASuitFrame, NamesJointsInSlotOrderFromATemplate) {
  CMotiWearData templateFrame;
  EXPECT_FALSE(templateFrame.mNewData);
  auto pkg = MakePkg();
  templateFrame.InitSkeletonJointNames(pkg.get(), true);
  const char* expected[19] = {
      "head",           "left-hand",       "right-hand",     "left-foot",      "right-foot",
      "neck",           "left-shoulder",   "right-shoulder", "left-upper-arm", "right-upper-arm",
      "left-lower-arm", "right-lower-arm", "chest",          "stomach",        "hip",
      "left-upper-leg", "right-upper-leg", "left-lower-leg", "right-lower-leg"};
  for (int i = 0; i < 19; ++i) {
    EXPECT_STREQ(expected[i], pkg->points[i].name) << i;
    for (size_t k = std::strlen(expected[i]); k < 32; ++k) ASSERT_EQ(0, pkg->points[i].name[k]);
  }
  templateFrame.InitSkeletonJointNames(pkg.get(), false);
  EXPECT_STREQ("40", pkg->points[0].name);
  EXPECT_STREQ("A3", pkg->points[5].name);
  EXPECT_STREQ("unknown", GetMotiWearSensorAddressToDefaultJointName(0x10));
  // A template carries addresses only: nothing to copy.
  EXPECT_FALSE(templateFrame.CopyMotiWearData(pkg.get(), false, false, false, false));
}

TEST_F(ASuitFrame, AgreesWithALinearSearchDecoderUnderDamage) {
  // Every byte of a frame, one at a time, becomes each known address and an
  // unknown one: the scan must neither crash nor disagree with the plain
  // reading of the wire description.
  const auto good = EncodeSuitFrame(NumberedFrame());
  std::vector<uint8_t> values(CMotiWearData::sRemappedMotiWearSensorAddr,
                              CMotiWearData::sRemappedMotiWearSensorAddr + 19);
  values.push_back(kSuitUnknownAddress);
  for (size_t position = 4; position < good.size(); position += 3) {
    for (uint8_t value : values) {
      std::vector<uint8_t> bytes = good;
      bytes[position] = value;
      ExpectMatchesReference(bytes);
      if (HasFatalFailure()) return;
    }
  }
  for (int address = 0; address < 256; ++address) {
    EXPECT_EQ(SlotOf(static_cast<uint8_t>(address)),
              CMotiWearData::SlotOfSensorAddress(static_cast<uint8_t>(address)));
  }
}

TEST_F(ASuitFrame, FromTheWalkingFigureStandsUprightWithTheWatcherDefaults) {
  // The simulator's figure decoded and copied the way the watcher does
  // (no swap, y reversed) must look like a person: head at the top, feet on
  // the floor, hands below the shoulders.
  const CWalkingFigure figure(0);
  for (int frame = 0; frame < 200; frame += 7) {
    auto data = Decode(EncodeSuitFrame(figure.FrameAt("E46", frame / 100.0, frame)));
    auto pkg = MakePkg();
    ASSERT_TRUE(data->CopyMotiWearData(pkg.get(), false, false, true, false));
    const SkeletonPoint* p = pkg->points;
    EXPECT_GT(p[0].y, 1.55f);
    EXPECT_LT(p[0].y, 1.80f);
    EXPECT_LT(p[3].y, 0.25f);
    EXPECT_GT(p[3].y, -0.05f);
    EXPECT_LT(p[1].y, p[6].y);
    EXPECT_LT(p[2].y, p[7].y);
    EXPECT_GT(p[5].y, p[12].y);
    EXPECT_GT(p[12].y, p[14].y);
  }
}

TEST_F(ASuitFrame, TravelsInAMessageThatOwnsIt) {
  const auto bytes = EncodeSuitFrame(NumberedFrame());
  auto messages = CMotiWearMessage::ReadMotiWearMessages(bytes.data(), bytes.size());
  ASSERT_EQ(1u, messages.size());
  CMotiWearMessage* message = messages[0];
  ASSERT_NE(nullptr, message->mData);
  EXPECT_EQ(1, message->GetRefCount());
  EXPECT_TRUE(message->mData->mNewData);
  message->Retain();
  message->Release();
  EXPECT_EQ(1, message->GetRefCount());
  message->Release();  // frees message and frame; the sanitizer builds check

  // A length that only matches the frame size modulo 2^32 is no frame.
  auto wrapped = CMotiWearMessage::ReadMotiWearMessages(bytes.data(), (uint64_t{1} << 32) + 1144);
  EXPECT_FALSE(wrapped[0]->mData->mNewData);
  wrapped[0]->Release();
}
