#include "tools/demo/latency_stats.h"

#include <algorithm>
#include <cmath>

double CLatencyStats::Percentile(double fraction) const {
  if (mSamples.empty()) return 0.0;
  std::vector<double> sorted = mSamples;
  // Nearest rank: the smallest sample with at least `fraction` of them at or below it.
  const auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  const size_t index = std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1);
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(index), sorted.end());
  return sorted[index];
}

double CLatencyStats::Max() const {
  return mSamples.empty() ? 0.0 : *std::max_element(mSamples.begin(), mSamples.end());
}
