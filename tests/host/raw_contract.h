// The host contract as test plug-ins see it: records read and written at
// their literal byte offsets and services fetched from the table by offset,
// with no shared declarations, so that the stand-in host is tested against
// the contract and not against our own headers. For one-file test plug-ins
// only (everything is in an unnamed namespace).
#pragma once

#include <cstdint>
#include <cstring>

struct ActorInfo;
struct VorlaneParameters;
struct Value;
struct Rect;
struct PictInfo;

namespace {

template <class T>
T ReadAt(const void* p, size_t offset) {
  T v;
  std::memcpy(&v, static_cast<const char*>(p) + offset, sizeof(T));  // NOLINT(bugprone-sizeof-expression): T may be a pointer
  return v;
}
template <class T>
void WriteAt(void* p, size_t offset, T v) {
  std::memcpy(static_cast<char*>(p) + offset, &v, sizeof(T));
}

// The service at `offset` of the table that the host context points to.
template <class Fn>
Fn Service(VorlaneParameters* params, size_t offset) {
  void* const* table = ReadAt<void* const*>(params, 16);
  return reinterpret_cast<Fn>(ReadAt<void*>(table, offset));
}

using MessageReceiverFn = intptr_t (*)(VorlaneParameters*, uint32_t, uint16_t, const uint8_t*, uint32_t, void*);
using RegisterFn = void* (*)(MessageReceiverFn, uintptr_t, uint32_t, ActorInfo*, uintptr_t, void*);
using UnregisterFn = void (*)(void*);
using GetInputFn = Value* (*)(void*, uint16_t);
using SetOutputFn = uint16_t (*)(void*, uint16_t, Value*);
using HelpIndexFn = int32_t (*)(void*, uint8_t, uint16_t);
using AddOutputFn = uint16_t (*)(void*, uint8_t, uint32_t, uint32_t, const char*, uint32_t, uint32_t,
                                 uint32_t, uint32_t, Value*, Value*, Value*, uint32_t, uint32_t, uint32_t);
using RemoveOutputFn = uint16_t (*)(void*, uint8_t, uint16_t);
using CountFn = uint16_t (*)(void*, uint8_t, uint32_t*);
using AllocFn = void* (*)(uint64_t, uint32_t);
using FreeFn = uint16_t (*)(void*);
using AssertFn = void (*)(const char*, const char*, int32_t);
using BeginRenderFn = void* (*)(void*, uint32_t, uint16_t, const uint8_t*);
using EndRenderFn = intptr_t (*)(void*);
using TypeCodesFn = uint16_t (*)(void*, uint8_t, uint16_t, uint32_t*, uint32_t*);
using MakeStringFn = uint16_t (*)(const char*, Value*);
using ReleaseValueFn = void (*)(Value*);
using SetNameFn = uint16_t (*)(void*, uint8_t, uint16_t, const char*);

}  // namespace
