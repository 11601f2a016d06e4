#include "host/string_ledger.h"

#include <cstring>

#include "host/record_layout.h"

namespace vhost {

CStringLedger::~CStringLedger() {
  for (void* s : mLive) delete[] static_cast<char*>(s);
}

void* CStringLedger::Make(std::string_view text) {
  auto* storage = new char[layout::kHostStringText + text.size() + 1]();
  std::memcpy(storage + layout::kHostStringText, text.data(), text.size());
  mLive.insert(storage);
  ++mMade;
  return storage;
}

bool CStringLedger::Release(void* hostString) {
  auto it = mLive.find(hostString);
  if (it == mLive.end()) return false;
  mLive.erase(it);
  delete[] static_cast<char*>(hostString);
  ++mReleased;
  return true;
}

}  // namespace vhost
