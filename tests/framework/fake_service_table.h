// A raw service table for framework tests: 8-byte slots filled at literal
// byte offsets, so a wrapper that calls the wrong slot fails the test instead
// of agreeing with its own declaration.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/vorlane_types.h"

class CFakeServiceTable {
 public:
  CFakeServiceTable() {
    std::memset(mParams, 0, sizeof(mParams));
    void* table = mSlots.data();
    std::memcpy(mParams + 16, &table, sizeof(table));  // service table pointer at byte 16
  }

  template <class Fn>
  void Set(size_t byteOffset, Fn fn) {
    void* slot = reinterpret_cast<void*>(fn);
    std::memcpy(reinterpret_cast<char*>(mSlots.data()) + byteOffset, &slot, sizeof(slot));
  }

  VorlaneParameters* Params() { return reinterpret_cast<VorlaneParameters*>(mParams); }

 private:
  std::array<void*, 0x680 / 8> mSlots{};
  alignas(8) unsigned char mParams[24];
};
