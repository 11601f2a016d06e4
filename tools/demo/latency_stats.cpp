#include "tools/demo/latency_stats.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLowest = 1e-3;  // ms
constexpr double kStep = 1.005;
const double kLogStep = std::log(kStep);
// 1 microsecond to 1000 s.
const size_t kBuckets = static_cast<size_t>(std::ceil(std::log(1e6 / kLowest) / kLogStep)) + 1;

size_t BucketOf(double milliseconds) {
  if (!(milliseconds > kLowest)) return 0;
  const double index = std::floor(std::log(milliseconds / kLowest) / kLogStep);
  return std::min(kBuckets - 1, static_cast<size_t>(index));
}

}  // namespace

CLatencyStats::CLatencyStats() : mBuckets(kBuckets, 0) {}

void CLatencyStats::Add(double milliseconds) {
  if (std::isnan(milliseconds)) return;
  ++mBuckets[BucketOf(milliseconds)];
  mMin = mCount == 0 ? milliseconds : std::min(mMin, milliseconds);
  mMax = mCount == 0 ? milliseconds : std::max(mMax, milliseconds);
  ++mCount;
}

double CLatencyStats::Percentile(double fraction) const {
  if (mCount == 0) return 0.0;
  const auto rank = static_cast<size_t>(std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(mCount)));
  const size_t wanted = std::max<size_t>(rank, 1);
  size_t seen = 0;
  for (size_t i = 0; i < mBuckets.size(); ++i) {
    seen += mBuckets[i];
    if (seen < wanted) continue;
    const double middle = kLowest * std::pow(kStep, static_cast<double>(i) + 0.5);
    return std::clamp(middle, mMin, mMax);
  }
  return mMax;
}
