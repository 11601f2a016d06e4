// CFakeVideoHost: a host service table for Bonescope's tests that records
// every call it receives.
//
// The slots are written at their literal byte offsets. Image buffers are
// either synthetic records laid out at the fixed offsets a plug-in reads
// (width 32, height 36, drawing byte 40, texture record at 16 with its mark
// at 56; frame record with the texture record at 16), or, after UseBackend(),
// real framebuffers of the GL backend. Switches make each image service fail.
//
// Only one fake host is active at a time (the C services reach it through a
// global); the newest one constructed is active until it is destroyed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "framework/vorlane_types.h"

namespace vhost {
class CGLImageBufferBackend;
}

// One recorded service call.
struct FakeHostCall {
  std::string mService;    // e.g. "CreateImageBuffer"
  void* mRef = nullptr;    // actor reference, where the service takes one
  void* mPointer = nullptr;  // buffer, handle or frame the call names
  int64_t mArgs[4] = {0, 0, 0, 0};  // numeric arguments in order
  Value mValue{};          // SetOutputPropertyValue's value
};

// A synthetic buffer: the record a plug-in reads, plus its texture and frame.
struct SyntheticBuffer {
  alignas(8) uint8_t mRecord[64] = {};
  alignas(8) uint8_t mTexture[64] = {};
  alignas(8) uint8_t mFrame[24] = {};
  bool mDisposed = false;
};

class CFakeVideoHost {
 public:
  CFakeVideoHost();
  ~CFakeVideoHost();
  CFakeVideoHost(const CFakeVideoHost&) = delete;
  CFakeVideoHost& operator=(const CFakeVideoHost&) = delete;

  VorlaneParameters* Params() { return reinterpret_cast<VorlaneParameters*>(mParams); }
  // An ActorInfo whose actor reference is ActorRef().
  ActorInfo* Info() { return &mInfo; }
  void* ActorRef() { return &mActorRefTarget; }

  // Image buffers from the real GL backend from now on (null: synthetic).
  void UseBackend(vhost::CGLImageBufferBackend* backend) { mBackend = backend; }

  // Switches.
  bool mFailCreate = false;
  bool mFailBegin = false;
  bool mEndReturnsNull = false;
  bool mFrameWithoutTexture = false;
  bool mFailAllocate = false;
  // What FindStringInList answers; -2 means "really search".
  int32_t mFindStringAnswer = -2;
  intptr_t mEndVideoRenderResult = 77;

  // Recorded calls, oldest first.
  std::vector<FakeHostCall> mCalls;
  void ClearCalls() { mCalls.clear(); }
  // Names of the recorded services, in order.
  std::vector<std::string> CallNames() const;
  size_t Count(const std::string& service) const;
  // Calls of one service.
  std::vector<FakeHostCall> CallsOf(const std::string& service) const;

  // Assertion reports: condition text, actor name, line.
  struct Assertion {
    std::string mCondition;
    std::string mActor;
    int32_t mLine;
  };
  std::vector<Assertion> mAssertions;

  // The receiver registered last and its refcon.
  MessageReceiverProc mReceiver = nullptr;
  void* mReceiverRefcon = nullptr;
  uint32_t mReceiverMask = 0;
  bool mReceiverRegistered = false;

  // Delivers a message to the registered receiver, as the host would.
  intptr_t Send(uint32_t kind, uint16_t arg, const void* data, uint32_t length);

  // The synthetic buffers made so far (stable addresses).
  std::deque<SyntheticBuffer> mSynthetic;
  // Sets the drawing byte of a synthetic buffer record.
  static void SetDrawing(void* buffer, bool drawing);

  // Blocks allocated through AllocateMemory and not yet freed.
  int64_t mLiveBlocks = 0;

  // The service implementations (C signatures).
  void Record(FakeHostCall call) { mCalls.push_back(call); }
  void* CreateBuffer(void* ref, int32_t context, int32_t w, int32_t h, uint32_t flags);
  void DisposeBuffer(void* ref, void* buffer);
  int32_t BeginDraw(void* ref, void* buffer, uint8_t arg);
  void* EndDraw(void* ref, void* buffer);
  vhost::CGLImageBufferBackend* mBackend = nullptr;

 private:
  alignas(8) unsigned char mParams[32] = {};
  void* mSlots[0x680 / 8] = {};
  ActorInfo mInfo{};
  int mActorRefTarget = 0;
  CFakeVideoHost* mPrevious = nullptr;
};
