// The host strings made for plug-ins by MakeStringValue and given back with
// ReleaseValue, with accounting of the live ones.
//
// A host string is an 8-byte header followed by the NUL-terminated
// characters. Releasing a string this ledger did not make (or made and
// already released) is refused, so a double release shows up instead of
// corrupting the heap. Strings still live at destruction are freed then.
//
// Thread-safety: none; used on the host's main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>

namespace vhost {

class CStringLedger {
 public:
  CStringLedger() = default;
  CStringLedger(const CStringLedger&) = delete;
  CStringLedger& operator=(const CStringLedger&) = delete;
  ~CStringLedger();

  // A new host string holding `text`; the caller owns one release.
  void* Make(std::string_view text);
  // False when `hostString` is not a live string of this ledger.
  bool Release(void* hostString);

  size_t LiveStrings() const { return mLive.size(); }
  uint64_t MadeCount() const { return mMade; }
  uint64_t ReleasedCount() const { return mReleased; }

 private:
  std::unordered_set<void*> mLive;
  uint64_t mMade = 0;
  uint64_t mReleased = 0;
};

}  // namespace vhost
