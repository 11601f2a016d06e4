// Every value a plug-in sends on an output, in order, for tests and the
// patch runner to look at afterwards.
//
// Each record holds a copy of the Value (strings copied, so the text stays
// readable after the plug-in released its string) and, when the value is a
// data pointer to a skeleton package, a decoded copy of the package as it was
// at that moment. Sequence numbers start at 1 and never repeat; Mark() gives
// the last one, so "outputs since mark" is everything sent after it.
//
// Thread-safety: none; the host's main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_value.h"
#include "host/skeleton_snapshot.h"

namespace vhost {

struct COutputRecord {
  uint64_t mSequence = 0;
  uint64_t mTick = 0;            // ticks sent by the host before this value
  uint32_t mInstanceSerial = 0;  // CActorInstance::Serial()
  std::string mInstanceName;
  uint16_t mOutputIndex = 0;     // 1-based index at the time it was sent
  std::string mOutputID;
  std::string mOutputName;       // display name at the time it was sent
  CHostValue mValue;
  std::optional<std::string> mText;             // for string values
  std::optional<CSkeletonSnapshot> mSkeleton;   // for skeleton packages
};

class COutputRecorder {
 public:
  // Appends (when enabled) and gives the record its sequence number.
  void Add(COutputRecord record);

  uint64_t Mark() const { return mLastSequence; }
  void SetEnabled(bool enabled) { mEnabled = enabled; }
  bool Enabled() const { return mEnabled; }
  // Forgets the records; sequence numbers keep counting.
  void Clear() { mRecords.clear(); }

  const std::deque<COutputRecord>& All() const { return mRecords; }
  // Records after `mark`, optionally of one instance (serial 0 = any) and one
  // output (index 0 = any; IDs match when non-empty).
  std::vector<const COutputRecord*> Since(uint64_t mark, uint32_t instanceSerial = 0,
                                          uint16_t outputIndex = 0,
                                          std::string_view outputID = {}) const;
  // The most recent record of an output, or null.
  const COutputRecord* Last(uint32_t instanceSerial, uint16_t outputIndex) const;
  const COutputRecord* Last(uint32_t instanceSerial, std::string_view outputID) const;

 private:
  std::deque<COutputRecord> mRecords;
  uint64_t mLastSequence = 0;
  bool mEnabled = true;
};

}  // namespace vhost
