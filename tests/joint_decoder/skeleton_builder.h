// Building skeleton packages for tests: named points, optional coordinates.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "skeleton/skeleton_pkg.h"

struct SkeletonDeleter {
  void operator()(SkeletonPkg* pkg) const { DisposeSkeletonPkg(pkg); }
};
using SkeletonPtr = std::unique_ptr<SkeletonPkg, SkeletonDeleter>;

// A package whose point i is named names[i] (bounded 32-byte copy, like a
// producer) and sits at (i, 10 i, 100 i); the label hash is updated.
inline SkeletonPtr MakeSkeleton(const std::vector<std::string>& names) {
  SkeletonPtr pkg(CreateSkeletonPkg(static_cast<uint32_t>(names.size())));
  for (size_t i = 0; i < names.size(); ++i) {
    std::strncpy(pkg->points[i].name, names[i].c_str(), kSkeletonNameSize);
    pkg->points[i].x = static_cast<float>(i);
    pkg->points[i].y = static_cast<float>(10 * i);
    pkg->points[i].z = static_cast<float>(100 * i);
  }
  UpdateSkeletonLabelHash(pkg.get());
  return pkg;
}
