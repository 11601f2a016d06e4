// Latencies of the frames a watcher delivered, in milliseconds: median, 99th
// percentile and worst.
//
// Memory and time per question stay the same however long a run lasts: the
// samples go into buckets 0.5 % wide (from 1 microsecond to 1000 s; below
// and above go into the end buckets), so a percentile is read to 0.5 % and
// the worst one exactly.
//
// Thread-safety: none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CLatencyStats {
 public:
  CLatencyStats();
  void Add(double milliseconds);
  size_t Count() const { return mCount; }
  // 0 when there are no samples. `fraction` 0.5 is the median. Nearest rank:
  // the bucket of the smallest sample with at least `fraction` of them at or
  // below it, read at its middle and kept within the smallest and largest
  // samples.
  double Percentile(double fraction) const;
  double Max() const { return mCount == 0 ? 0.0 : mMax; }

 private:
  std::vector<uint64_t> mBuckets;
  size_t mCount = 0;
  double mMin = 0;
  double mMax = 0;
};
