#include "skeleton/skeleton_pkg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

template <class T>
T ReadAt(const void* block, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(block) + offset, sizeof(T));
  return value;
}

struct PkgDeleter {
  void operator()(SkeletonPkg* pkg) const { DisposeSkeletonPkg(pkg); }
};
using PkgPtr = std::unique_ptr<SkeletonPkg, PkgDeleter>;

TEST(SkeletonPackage, SizesFollowThePointCount) {
  EXPECT_EQ(GetSkeletonPkgSize(0u), 52u);
  EXPECT_EQ(GetSkeletonPkgSize(19u), 888u);
  PkgPtr pkg(CreateSkeletonPkg(3));
  ASSERT_NE(pkg, nullptr);
  EXPECT_EQ(GetSkeletonPkgSize(pkg.get()), 52u + 3 * 44);
}

TEST(SkeletonPackage, FreshPackageHasTheCreatorsHeaderAtItsByteOffsets) {
  PkgPtr pkg(CreateSkeletonPkg(19));
  ASSERT_NE(pkg, nullptr);
  const void* raw = pkg.get();
  EXPECT_EQ(ReadAt<uint32_t>(raw, 0), 0x736B656Cu);
  EXPECT_EQ(ReadAt<uint8_t>(raw, 4), 1);
  EXPECT_EQ(ReadAt<uint32_t>(raw, 8), 0u);
  EXPECT_STREQ(static_cast<const char*>(raw) + 12, "skeleton");
  EXPECT_EQ(ReadAt<uint8_t>(raw, 27), 0);
  EXPECT_EQ(ReadAt<int32_t>(raw, 28), -24);
  EXPECT_EQ(ReadAt<uint8_t>(raw, 32), 0);   // skeleton_id
  EXPECT_EQ(ReadAt<uint8_t>(raw, 33), 0);   // tracking_state
  EXPECT_EQ(ReadAt<uint8_t>(raw, 34), 2);   // unit
  EXPECT_EQ(ReadAt<uint64_t>(raw, 40), 0u);  // label_hash
  EXPECT_EQ(ReadAt<uint32_t>(raw, 48), 19u);
  for (size_t byte = 52; byte < 888; ++byte) ASSERT_EQ(ReadAt<uint8_t>(raw, byte), 0) << byte;
  // Padding is part of the format and must be zero too.
  for (size_t byte : {5, 6, 7, 35, 36, 37, 38, 39}) EXPECT_EQ(ReadAt<uint8_t>(raw, byte), 0) << byte;
}

TEST(SkeletonPackage, PointFieldsSitAt44ByteStrides) {
  PkgPtr pkg(CreateSkeletonPkg(2));
  std::strcpy(pkg->points[1].name, "neck");
  pkg->points[1].y = 1.5f;
  EXPECT_STREQ(reinterpret_cast<const char*>(pkg.get()) + 52 + 44, "neck");
  EXPECT_EQ(ReadAt<float>(pkg.get(), 52 + 44 + 36), 1.5f);
}

TEST(SkeletonPackage, InitOverwritesAnyPreviousContents) {
  alignas(8) unsigned char block[52 + 2 * 44];
  std::memset(block, 0xAB, sizeof(block));
  auto* pkg = reinterpret_cast<SkeletonPkg*>(block);
  InitSkeletonPkg(pkg, 2);
  EXPECT_EQ(pkg->point_count, 2u);
  EXPECT_EQ(pkg->points[1].name[0], 0);
  EXPECT_EQ(pkg->points[1].z, 0.0f);
}

TEST(SkeletonLabelHash, MatchesTheSdbmHashAcrossLabels) {
  PkgPtr pkg(CreateSkeletonPkg(1));
  std::strcpy(pkg->points[0].name, "abc");
  EXPECT_EQ(GenerateSkeletonLabelHash(pkg.get()), 417419622498ull);
  EXPECT_EQ(pkg->label_hash, 0u) << "Generate must not store";
  UpdateSkeletonLabelHash(pkg.get());
  EXPECT_EQ(pkg->label_hash, 417419622498ull);
}

TEST(SkeletonLabelHash, LabelsAreNotSeparated) {
  PkgPtr split1(CreateSkeletonPkg(2));
  PkgPtr split2(CreateSkeletonPkg(2));
  std::strcpy(split1->points[0].name, "ab");
  std::strcpy(split1->points[1].name, "c");
  std::strcpy(split2->points[0].name, "a");
  std::strcpy(split2->points[1].name, "bc");
  EXPECT_EQ(GenerateSkeletonLabelHash(split1.get()), GenerateSkeletonLabelHash(split2.get()));
}

TEST(SkeletonLabelHash, EmptyLabelsAndNoPointsHashToZero) {
  PkgPtr none(CreateSkeletonPkg(0));
  PkgPtr blank(CreateSkeletonPkg(4));
  EXPECT_EQ(GenerateSkeletonLabelHash(none.get()), 0u);
  EXPECT_EQ(GenerateSkeletonLabelHash(blank.get()), 0u);
}

TEST(SkeletonLabelHash, HighBytesEnterAsNegativeValues) {
  PkgPtr plain(CreateSkeletonPkg(1));
  PkgPtr high(CreateSkeletonPkg(1));
  plain->points[0].name[0] = 'a';
  plain->points[0].name[1] = 0x7F;
  high->points[0].name[0] = 'a';
  high->points[0].name[1] = static_cast<char>(0x80);
  EXPECT_EQ(GenerateSkeletonLabelHash(plain.get()), 97ull * 65599ull + 127ull);
  EXPECT_EQ(GenerateSkeletonLabelHash(high.get()), 97ull * 65599ull - 128ull);
}

TEST(SkeletonLabelHash, AnUnterminatedLabelStopsAtItsField) {
  PkgPtr pkg(CreateSkeletonPkg(2));
  std::memset(pkg->points[0].name, 'x', sizeof(pkg->points[0].name));
  PkgPtr expected(CreateSkeletonPkg(1));
  std::memset(expected->points[0].name, 'x', 31);
  const uint64_t thirtyOne = GenerateSkeletonLabelHash(expected.get());
  EXPECT_EQ(GenerateSkeletonLabelHash(pkg.get()), thirtyOne * 65599ull + 'x');
}

TEST(SkeletonRecognition, OnlyTheSignatureMakesAPackage) {
  PkgPtr pkg(CreateSkeletonPkg(1));
  EXPECT_TRUE(IsSkeletonPkg(pkg.get()));
  uint32_t other = 0x736B656D;
  EXPECT_FALSE(IsSkeletonPkg(&other));
  EXPECT_FALSE(IsSkeletonPkg(nullptr));
  DisposeSkeletonPkg(nullptr);  // ignored
  EXPECT_STREQ(GetSkeletonPkgName(), "skeleton");
}

}  // namespace
