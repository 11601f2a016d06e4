#include "host/output_recorder.h"

namespace vhost {

void COutputRecorder::Add(COutputRecord record) {
  record.mSequence = ++mLastSequence;
  if (mEnabled) mRecords.push_back(std::move(record));
}

std::vector<const COutputRecord*> COutputRecorder::Since(uint64_t mark, uint32_t instanceSerial,
                                                         uint16_t outputIndex,
                                                         std::string_view outputID) const {
  std::vector<const COutputRecord*> found;
  for (const auto& r : mRecords) {
    if (r.mSequence <= mark) continue;
    if (instanceSerial != 0 && r.mInstanceSerial != instanceSerial) continue;
    if (outputIndex != 0 && r.mOutputIndex != outputIndex) continue;
    if (!outputID.empty() && r.mOutputID != outputID) continue;
    found.push_back(&r);
  }
  return found;
}

const COutputRecord* COutputRecorder::Last(uint32_t instanceSerial, uint16_t outputIndex) const {
  for (auto it = mRecords.rbegin(); it != mRecords.rend(); ++it) {
    if (it->mInstanceSerial == instanceSerial && it->mOutputIndex == outputIndex) return &*it;
  }
  return nullptr;
}

const COutputRecord* COutputRecorder::Last(uint32_t instanceSerial, std::string_view outputID) const {
  for (auto it = mRecords.rbegin(); it != mRecords.rend(); ++it) {
    if (it->mInstanceSerial == instanceSerial && it->mOutputID == outputID) return &*it;
  }
  return nullptr;
}

}  // namespace vhost
