// A lean host service table for benchmarking Bonescope: just the services
// the renderer calls, with image buffers from the real GL backend and no
// recording, so the host's own cost stays out of the figures.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/host_services.h"
#include "framework/vorlane_types.h"
#include "host/gl/gl_image_buffer_backend.h"

class CBenchHost {
 public:
  explicit CBenchHost(vhost::CGLImageBufferBackend& backend) : mBackend(backend) {
    sActive = this;
    void* table = mSlots;
    std::memcpy(mParams + 16, &table, sizeof(table));
    mInfo.mActorRef = this;
    namespace Off = HostServiceOffset;
    Set(Off::kRegisterMessageReceiver, &Register);
    Set(Off::kUnregisterMessageReceiver, &Unregister);
    Set(Off::kSetOutputPropertyValue, &SetOutput);
    Set(Off::kAllocateMemory, &Allocate);
    Set(Off::kFreeMemory, &Free);
    Set(Off::kBeginVideoRender, &BeginRender);
    Set(Off::kEndVideoRender, &EndRender);
    Set(Off::kCreateImageBuffer, &CreateBuffer);
    Set(Off::kDisposeImageBuffer, &DisposeBuffer);
    Set(Off::kBeginImageBufferDraw, &BeginDraw);
    Set(Off::kEndImageBufferDraw, &EndDraw);
  }
  ~CBenchHost() { sActive = nullptr; }

  VorlaneParameters* Params() { return reinterpret_cast<VorlaneParameters*>(mParams); }
  ActorInfo* Info() { return &mInfo; }
  intptr_t Render() {
    return mReceiver != nullptr ? mReceiver(Params(), 0x1000, 0, nullptr, 0, mRefcon) : 0;
  }
  void* LastFrame() const { return mLastFrame; }

 private:
  template <class Fn>
  void Set(size_t offset, Fn fn) {
    void* slot = reinterpret_cast<void*>(fn);
    std::memcpy(reinterpret_cast<char*>(mSlots) + offset, &slot, sizeof(slot));
  }
  static void* Register(MessageReceiverProc receiver, uintptr_t, uint32_t, ActorInfo*, uintptr_t,
                        void* refcon) {
    sActive->mReceiver = receiver;
    sActive->mRefcon = refcon;
    return sActive;
  }
  static void Unregister(void*) { sActive->mReceiver = nullptr; }
  static uint16_t SetOutput(void*, uint16_t, Value* value) {
    sActive->mLastFrame = value != nullptr ? value->mData : nullptr;
    return 0;
  }
  static void* Allocate(uint64_t size, uint32_t) { return std::calloc(1, size); }
  static uint16_t Free(void* block) {
    std::free(block);
    return 0;
  }
  static void* BeginRender(void*, uint32_t, uint16_t, const uint8_t*) { return sActive; }
  static intptr_t EndRender(void*) { return 0; }
  static void* CreateBuffer(void*, int32_t context, int32_t w, int32_t h, uint32_t flags, uint32_t) {
    return sActive->mBackend.Create(context, w, h, flags);
  }
  static void DisposeBuffer(void*, void* buffer) { sActive->mBackend.Dispose(buffer); }
  static int32_t BeginDraw(void*, void* buffer, uint8_t arg) {
    return sActive->mBackend.BeginDraw(buffer, arg);
  }
  static void* EndDraw(void*, void* buffer) { return sActive->mBackend.EndDraw(buffer); }

  static inline CBenchHost* sActive = nullptr;
  vhost::CGLImageBufferBackend& mBackend;
  alignas(8) unsigned char mParams[32] = {};
  void* mSlots[0x680 / 8] = {};
  ActorInfo mInfo{};
  MessageReceiverProc mReceiver = nullptr;
  void* mRefcon = nullptr;
  void* mLastFrame = nullptr;
};
