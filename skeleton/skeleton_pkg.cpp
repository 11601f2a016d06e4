#include "skeleton/skeleton_pkg.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr char kSkeletonPkgName[] = "skeleton";
}  // namespace

const char* GetSkeletonPkgName() { return kSkeletonPkgName; }

uint64_t GetSkeletonPkgSize(uint32_t count) {
  return static_cast<uint64_t>(count) * sizeof(SkeletonPoint) + offsetof(SkeletonPkg, points);
}

uint64_t GetSkeletonPkgSize(const SkeletonPkg* pkg) { return GetSkeletonPkgSize(pkg->point_count); }

void InitSkeletonPkg(SkeletonPkg* pkg, uint32_t count) {
  std::memset(pkg, 0, GetSkeletonPkgSize(count));
  pkg->signature = kSkeletonPkgSignature;
  pkg->version = kSkeletonPkgVersion;
  pkg->update_count = 0;
  std::strncpy(pkg->type_name, kSkeletonPkgName, sizeof(pkg->type_name) - 1);
  pkg->type_name[sizeof(pkg->type_name) - 1] = 0;
  pkg->reserved = kSkeletonPkgReserved;
  pkg->skeleton_id = 0;
  pkg->tracking_state = kSkeletonNotTracked;
  pkg->unit = kSkeletonUnitMetres;
  pkg->point_count = count;
}

SkeletonPkg* CreateSkeletonPkg(uint32_t count) {
  auto* pkg = static_cast<SkeletonPkg*>(std::malloc(GetSkeletonPkgSize(count)));
  if (pkg != nullptr) InitSkeletonPkg(pkg, count);
  return pkg;
}

void DisposeSkeletonPkg(SkeletonPkg* pkg) { std::free(pkg); }

uint64_t GenerateSkeletonLabelHash(const SkeletonPkg* pkg) {
  uint64_t hash = 0;
  for (uint32_t i = 0; i < pkg->point_count; ++i) {
    const char* label = pkg->points[i].name;
    // A label is read up to its NUL but never past its 32-byte field.
    for (size_t k = 0; k < kSkeletonNameSize && label[k] != 0; ++k) {
      // The hash takes each byte as signed, as the host computes it.
      const auto c = static_cast<int64_t>(static_cast<int8_t>(label[k]));  // NOLINT(bugprone-signed-char-misuse)
      hash = hash * 65599u + static_cast<uint64_t>(c);
    }
  }
  return hash;
}

void UpdateSkeletonLabelHash(SkeletonPkg* pkg) { pkg->label_hash = GenerateSkeletonLabelHash(pkg); }

bool IsSkeletonPkg(const void* data) {
  if (data == nullptr) return false;
  uint32_t signature;
  std::memcpy(&signature, data, sizeof(signature));
  return signature == kSkeletonPkgSignature;
}
