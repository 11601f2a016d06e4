#include "tests/skeleton_renderer/fake_video_host.h"

#include <cstdlib>
#include <cstring>

#include "framework/host_services.h"
#include "host/gl/gl_image_buffer_backend.h"

namespace {

CFakeVideoHost* gActiveHost = nullptr;

template <class T>
void Put(uint8_t* record, size_t offset, T value) {
  std::memcpy(record + offset, &value, sizeof(value));
}

FakeHostCall Call(const char* service, void* ref = nullptr, void* pointer = nullptr) {
  FakeHostCall call;
  call.mService = service;
  call.mRef = ref;
  call.mPointer = pointer;
  return call;
}

void* RegisterMessageReceiver(MessageReceiverProc receiver, uintptr_t, uint32_t mask, ActorInfo*,
                              uintptr_t, void* refcon) {
  gActiveHost->mReceiver = receiver;
  gActiveHost->mReceiverRefcon = refcon;
  gActiveHost->mReceiverMask = mask;
  gActiveHost->mReceiverRegistered = true;
  FakeHostCall call = Call("RegisterMessageReceiver", nullptr, refcon);
  call.mArgs[0] = mask;
  gActiveHost->Record(call);
  return &gActiveHost->mReceiverRegistered;
}

void UnregisterMessageReceiver(void* handle) {
  gActiveHost->mReceiverRegistered = false;
  gActiveHost->Record(Call("UnregisterMessageReceiver", nullptr, handle));
}

uint16_t SetOutputPropertyValue(void* ref, uint16_t index, Value* value) {
  FakeHostCall call = Call("SetOutputPropertyValue", ref, value != nullptr ? value->mData : nullptr);
  call.mArgs[0] = index;
  if (value != nullptr) call.mValue = *value;
  gActiveHost->Record(call);
  return 0;
}

void ReleaseVideoHandle(void* handle) { gActiveHost->Record(Call("ReleaseVideoHandle", nullptr, handle)); }

int32_t GetPropertyHelpIndex(void* ref, uint8_t kind, uint16_t index) {
  FakeHostCall call = Call("GetPropertyHelpIndex", ref);
  call.mArgs[0] = kind;
  call.mArgs[1] = index;
  gActiveHost->Record(call);
  // Bonescope: the actor, then 21 inputs, then its output.
  if (kind == kKindInput) return index;
  if (kind == kKindOutput) return 21 + index;
  return 0;
}

void* AllocateMemory(uint64_t size, uint32_t zeroFill) {
  FakeHostCall call = Call("AllocateMemory");
  call.mArgs[0] = static_cast<int64_t>(size);
  call.mArgs[1] = zeroFill;
  gActiveHost->Record(call);
  if (gActiveHost->mFailAllocate) return nullptr;
  ++gActiveHost->mLiveBlocks;
  return std::calloc(1, size);
}

uint16_t FreeMemory(void* block) {
  gActiveHost->Record(Call("FreeMemory", nullptr, block));
  if (block != nullptr) --gActiveHost->mLiveBlocks;
  std::free(block);
  return 0;
}

int32_t FindStringInList(uint32_t count, const char* const* strings, const char* text) {
  FakeHostCall call = Call("FindStringInList");
  call.mArgs[0] = count;
  gActiveHost->Record(call);
  if (gActiveHost->mFindStringAnswer != -2) return gActiveHost->mFindStringAnswer;
  for (uint32_t i = 0; i < count; ++i) {
    if (std::strcmp(strings[i], text) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

void AssertionFailed(const char* condition, const char* actorName, int32_t line) {
  gActiveHost->mAssertions.push_back({condition, actorName, line});
  gActiveHost->Record(Call("AssertionFailed"));
}

void* BeginVideoRender(void* actorData, uint32_t kind, uint16_t arg, const uint8_t*) {
  FakeHostCall call = Call("BeginVideoRender", nullptr, actorData);
  call.mArgs[0] = kind;
  call.mArgs[1] = arg;
  gActiveHost->Record(call);
  return &gActiveHost->mEndVideoRenderResult;
}

intptr_t EndVideoRender(void* token) {
  gActiveHost->Record(Call("EndVideoRender", nullptr, token));
  return gActiveHost->mEndVideoRenderResult;
}

void* CreateImageBuffer(void* ref, int32_t context, int32_t w, int32_t h, uint32_t flags, uint32_t) {
  return gActiveHost->CreateBuffer(ref, context, w, h, flags);
}

void DisposeImageBuffer(void* ref, void* buffer) { gActiveHost->DisposeBuffer(ref, buffer); }

int32_t BeginImageBufferDraw(void* ref, void* buffer, uint8_t arg) {
  return gActiveHost->BeginDraw(ref, buffer, arg);
}

void* EndImageBufferDraw(void* ref, void* buffer) { return gActiveHost->EndDraw(ref, buffer); }

}  // namespace

CFakeVideoHost::CFakeVideoHost() : mPrevious(gActiveHost) {
  gActiveHost = this;
  void* table = mSlots;
  std::memcpy(mParams + 16, &table, sizeof(table));
  mInfo.mActorRef = &mActorRefTarget;
  auto set = [this](size_t offset, auto fn) {
    void* slot = reinterpret_cast<void*>(fn);
    std::memcpy(reinterpret_cast<char*>(mSlots) + offset, &slot, sizeof(slot));
  };
  namespace Off = HostServiceOffset;
  set(Off::kRegisterMessageReceiver, &RegisterMessageReceiver);
  set(Off::kUnregisterMessageReceiver, &UnregisterMessageReceiver);
  set(Off::kSetOutputPropertyValue, &SetOutputPropertyValue);
  set(Off::kReleaseVideoHandle, &ReleaseVideoHandle);
  set(Off::kGetPropertyHelpIndex, &GetPropertyHelpIndex);
  set(Off::kAllocateMemory, &AllocateMemory);
  set(Off::kFreeMemory, &FreeMemory);
  set(Off::kFindStringInList, &FindStringInList);
  set(Off::kAssertionFailed, &AssertionFailed);
  set(Off::kBeginVideoRender, &BeginVideoRender);
  set(Off::kEndVideoRender, &EndVideoRender);
  set(Off::kCreateImageBuffer, &CreateImageBuffer);
  set(Off::kDisposeImageBuffer, &DisposeImageBuffer);
  set(Off::kBeginImageBufferDraw, &BeginImageBufferDraw);
  set(Off::kEndImageBufferDraw, &EndImageBufferDraw);
}

CFakeVideoHost::~CFakeVideoHost() { gActiveHost = mPrevious; }

std::vector<std::string> CFakeVideoHost::CallNames() const {
  std::vector<std::string> names;
  for (const auto& call : mCalls) names.push_back(call.mService);
  return names;
}

size_t CFakeVideoHost::Count(const std::string& service) const {
  size_t n = 0;
  for (const auto& call : mCalls) n += call.mService == service ? 1 : 0;
  return n;
}

std::vector<FakeHostCall> CFakeVideoHost::CallsOf(const std::string& service) const {
  std::vector<FakeHostCall> calls;
  for (const auto& call : mCalls) {
    if (call.mService == service) calls.push_back(call);
  }
  return calls;
}

intptr_t CFakeVideoHost::Send(uint32_t kind, uint16_t arg, const void* data, uint32_t length) {
  if (!mReceiverRegistered || (mReceiverMask & kind) == 0) return -1;
  return mReceiver(Params(), kind, arg, static_cast<const uint8_t*>(data), length, mReceiverRefcon);
}

void CFakeVideoHost::SetDrawing(void* buffer, bool drawing) {
  static_cast<uint8_t*>(buffer)[40] = drawing ? 1 : 0;
}

void* CFakeVideoHost::CreateBuffer(void* ref, int32_t context, int32_t w, int32_t h,
                                   uint32_t flags) {
  FakeHostCall call = Call("CreateImageBuffer", ref);
  call.mArgs[0] = context;
  call.mArgs[1] = w;
  call.mArgs[2] = h;
  call.mArgs[3] = flags;
  void* buffer = nullptr;
  if (!mFailCreate) {
    if (mBackend != nullptr) {
      buffer = mBackend->Create(context, w, h, flags);
    } else {
      SyntheticBuffer& synthetic = mSynthetic.emplace_back();
      Put<void*>(synthetic.mRecord, 16, synthetic.mTexture);
      Put<int32_t>(synthetic.mRecord, 32, w);
      Put<int32_t>(synthetic.mRecord, 36, h);
      Put<void*>(synthetic.mFrame, 16, synthetic.mTexture);
      buffer = synthetic.mRecord;
    }
  }
  call.mPointer = buffer;
  Record(call);
  return buffer;
}

void CFakeVideoHost::DisposeBuffer(void* ref, void* buffer) {
  Record(Call("DisposeImageBuffer", ref, buffer));
  if (mBackend != nullptr) {
    mBackend->Dispose(buffer);
    return;
  }
  for (auto& synthetic : mSynthetic) {
    if (synthetic.mRecord == buffer) synthetic.mDisposed = true;
  }
}

int32_t CFakeVideoHost::BeginDraw(void* ref, void* buffer, uint8_t arg) {
  FakeHostCall call = Call("BeginImageBufferDraw", ref, buffer);
  call.mArgs[0] = arg;
  Record(call);
  if (mFailBegin) return 0;
  if (mBackend != nullptr) return mBackend->BeginDraw(buffer, arg);
  SetDrawing(buffer, true);
  return 1;
}

void* CFakeVideoHost::EndDraw(void* ref, void* buffer) {
  Record(Call("EndImageBufferDraw", ref, buffer));
  void* frame = mBackend != nullptr ? mBackend->EndDraw(buffer) : nullptr;
  if (mBackend == nullptr) {
    SetDrawing(buffer, false);
    for (auto& synthetic : mSynthetic) {
      if (synthetic.mRecord == buffer) frame = synthetic.mFrame;
    }
  }
  if (mEndReturnsNull) return nullptr;
  if (mFrameWithoutTexture && frame != nullptr) {
    // A frame record whose texture pointer is null.
    static uint8_t emptyFrame[24] = {};
    return emptyFrame;
  }
  return frame;
}
