// Latencies of the frames a watcher delivered, in milliseconds: median, 99th
// percentile and worst.
//
// Thread-safety: none.
#pragma once

#include <cstddef>
#include <vector>

class CLatencyStats {
 public:
  void Add(double milliseconds) { mSamples.push_back(milliseconds); }
  size_t Count() const { return mSamples.size(); }
  // 0 when there are no samples. `fraction` 0.5 is the median.
  double Percentile(double fraction) const;
  double Max() const;

 private:
  std::vector<double> mSamples;
};
