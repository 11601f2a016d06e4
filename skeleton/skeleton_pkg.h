// The skeleton package: the one data format that travels between actors.
//
// A package is one contiguous, self-contained block of 52 + 44 * point_count
// bytes in native (little-endian) byte order. The producer allocates it from
// the C heap, rewrites it in place and republishes the same pointer; consumers
// read it in place, never write or free it, and may keep the pointer only until
// the next value arrives on their input. Before freeing a package the producer
// publishes a null data value on its output.
//
// Thread-safety: none. A package is touched only on the host's main thread.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kSkeletonPkgSignature = 0x736B656C;  // 'skel'
inline constexpr uint8_t kSkeletonPkgVersion = 1;
inline constexpr int32_t kSkeletonPkgReserved = -24;

// Unit codes of SkeletonPkg::unit; any value other than 0 and 1 means metres.
inline constexpr uint8_t kSkeletonUnitMillimetres = 0;
inline constexpr uint8_t kSkeletonUnitCentimetres = 1;
inline constexpr uint8_t kSkeletonUnitMetres = 2;

// Tracking states of SkeletonPkg::tracking_state. 1 and 2 count as tracked.
inline constexpr uint8_t kSkeletonNotTracked = 0;
inline constexpr uint8_t kSkeletonTrackingBegun = 1;
inline constexpr uint8_t kSkeletonTracked = 2;
inline constexpr uint8_t kSkeletonNotTrackedAlt = 3;
inline constexpr uint8_t kSkeletonTrackingLost = 4;

inline constexpr size_t kSkeletonNameSize = 32;

struct SkeletonPoint {
  char name[kSkeletonNameSize];  // the point's label, NUL-terminated
  float x;
  float y;
  float z;
};

struct SkeletonPkg {
  uint32_t signature;        // kSkeletonPkgSignature
  uint8_t version;           // 1
  uint8_t pad0[3];
  uint32_t update_count;     // change counter, bumped by the producer
  char type_name[16];        // "skeleton"
  int32_t reserved;          // -24
  uint8_t skeleton_id;
  uint8_t tracking_state;
  uint8_t unit;              // 0 mm, 1 cm, anything else m
  uint8_t pad1[5];
  uint64_t label_hash;       // hash of all labels, see GenerateSkeletonLabelHash
  uint32_t point_count;      // fixed for the life of the block
  SkeletonPoint points[1];   // point_count entries follow in the block
};

static_assert(sizeof(SkeletonPoint) == 44);
static_assert(offsetof(SkeletonPoint, x) == 32);
static_assert(offsetof(SkeletonPoint, y) == 36);
static_assert(offsetof(SkeletonPoint, z) == 40);
static_assert(offsetof(SkeletonPkg, signature) == 0);
static_assert(offsetof(SkeletonPkg, version) == 4);
static_assert(offsetof(SkeletonPkg, update_count) == 8);
static_assert(offsetof(SkeletonPkg, type_name) == 12);
static_assert(offsetof(SkeletonPkg, reserved) == 28);
static_assert(offsetof(SkeletonPkg, skeleton_id) == 32);
static_assert(offsetof(SkeletonPkg, tracking_state) == 33);
static_assert(offsetof(SkeletonPkg, unit) == 34);
static_assert(offsetof(SkeletonPkg, label_hash) == 40);
static_assert(offsetof(SkeletonPkg, point_count) == 48);
static_assert(offsetof(SkeletonPkg, points) == 52);

// The package type name, "skeleton" (static storage).
const char* GetSkeletonPkgName();

// Size in bytes of a package of `count` points: count * 44 + 52.
uint64_t GetSkeletonPkgSize(uint32_t count);
// Size in bytes of `pkg`, from its point_count. REQUIRES: pkg is not null.
uint64_t GetSkeletonPkgSize(const SkeletonPkg* pkg);

// Initialises a caller-provided block of at least GetSkeletonPkgSize(count)
// bytes: zero-filled, header written, labels and coordinates zero.
void InitSkeletonPkg(SkeletonPkg* pkg, uint32_t count);

// Allocates and initialises a package of `count` points from the C heap.
// Returns null when the heap is exhausted. Free it with DisposeSkeletonPkg.
SkeletonPkg* CreateSkeletonPkg(uint32_t count);

// Frees a package made by CreateSkeletonPkg; null is ignored.
void DisposeSkeletonPkg(SkeletonPkg* pkg);

// The sdbm hash carried across all labels in point order (signed bytes,
// wrapping arithmetic); not stored.
uint64_t GenerateSkeletonLabelHash(const SkeletonPkg* pkg);

// Stores GenerateSkeletonLabelHash(pkg) in pkg->label_hash.
void UpdateSkeletonLabelHash(SkeletonPkg* pkg);

// True when `data` points to a block that starts with the package signature.
bool IsSkeletonPkg(const void* data);
