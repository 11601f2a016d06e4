#include "skeleton_renderer/video_helper.h"

#include <GL/gl.h>

#include <cstdlib>

#include "framework/host_services.h"
#include "framework/value_access.h"
#include "skeleton_renderer/image_buffer_record.h"

CVideoHelper::CVideoHelper(VorlaneParameters* params, ActorInfo* info, uint64_t inputCount,
                           uint16_t outputIndex, uint64_t bufferCount) {
  Init(params, info, inputCount, outputIndex, bufferCount);
}

CVideoHelper::~CVideoHelper() {
  Reset();
  if (mGL.mPixelBlock != nullptr) {
    if (mGL.mOwnsPixelBlock) std::free(mGL.mPixelBlock);
    mGL.mPixelBlock = nullptr;
    mGL.mOwnsPixelBlock = false;
  }
}

void CVideoHelper::Init(VorlaneParameters* params, ActorInfo* info, uint64_t inputCount,
                        uint16_t outputIndex, uint64_t bufferCount) {
  // A second Init must not strand the buffers or inputs of the first.
  if (mBuffers != nullptr || mInputs != nullptr) Reset();
  SendEmptyOutput();
  mParameters = params;
  mActorInfo = info;
  mMode = 0;
  mInputs.reset();
  mInputCount = inputCount;
  if (inputCount > 0) mInputs = std::make_unique<CVideoInputMixin[]>(inputCount);
  mBufferCount = bufferCount;
  mBuffers.reset();
  mBufferContext = -1;
  mHostHandle = nullptr;
  mOutputIndex = outputIndex;
  mOutputSent = 0;
  mOutputEmpty = 1;
}

void* CVideoHelper::ActorRef() const { return Host::ActorRef(mActorInfo); }

void* CVideoHelper::Buffer(uint64_t index) const {
  if (mBuffers == nullptr || index >= mBufferCount) return nullptr;
  return mBuffers[index];
}

void CVideoHelper::SetMode(uint32_t hostFlags) {
  int32_t mode = 0;
  if ((hostFlags & kVideoModeFlag1) != 0) {
    mode = 1;
  } else if ((hostFlags & kVideoModeFlag3) != 0) {
    mode = 3;
  } else if ((hostFlags & kVideoModeFlag2) != 0) {
    mode = 2;
  }
  if (mode == mMode) return;
  mBufferContext = -1;
  ReleaseOutputBuffers();
  ReleaseHostHandle();
  SendEmptyOutput();
  mMode = mode;
}

bool CVideoHelper::PrepareOutputBuffers(int32_t context, VideoImageSize size, bool clearOnCreate,
                                        bool option) {
  uint32_t flags = option ? kImageBufferOption : 0;
  if (clearOnCreate) flags += kImageBufferClearToBlack;

  bool changed = false;
  if (mBuffers != nullptr) {
    void* buffer = Buffer(0);
    if (buffer == nullptr) {
      // An earlier creation failed: drop the empty table (no host call) so
      // that this request tries again instead of blanking the output for good.
      ReleaseOutputBuffers();
    } else if (ImageBufferWidth(buffer) != size.mWidth ||
               ImageBufferHeight(buffer) != size.mHeight) {
      mBufferContext = -1;
      ReleaseOutputBuffers();
      ReleaseHostHandle();
      changed = true;
    }
  }
  if (mBuffers != nullptr) return changed;
  if (size.mWidth <= 0 || size.mHeight <= 0) return true;

  mBuffers = std::make_unique<void*[]>(mBufferCount);
  for (uint64_t i = 0; i < mBufferCount; ++i) {
    CreateOutputBuffer(i, context, size.mWidth, size.mHeight, flags);
  }
  return true;
}

void CVideoHelper::CreateOutputBuffer(uint64_t index, int32_t context, int32_t width,
                                      int32_t height, uint32_t flags) {
  if (mBuffers == nullptr) mBuffers = std::make_unique<void*[]>(mBufferCount);
  if (index >= mBufferCount || width <= 0 || height <= 0) return;

  void* buffer = Host::CreateImageBuffer(mParameters, ActorRef(), context, width, height, flags);
  mBuffers[index] = buffer;
  if (buffer == nullptr) return;
  mBufferContext = context;
  MarkTextureRecord(ImageBufferTextureRecord(buffer));
  if ((flags & kImageBufferClearToBlack) != 0) FillWithOpaqueBlack(buffer);
}

void CVideoHelper::FillWithOpaqueBlack(void* buffer) {
  if (Host::BeginImageBufferDraw(mParameters, ActorRef(), buffer, 1) == 0) return;
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glVertex2f(-1.0f, -1.0f);
  glVertex2f(-1.0f, 1.0f);
  glVertex2f(1.0f, 1.0f);
  glVertex2f(1.0f, -1.0f);
  glEnd();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  Host::EndImageBufferDraw(mParameters, ActorRef(), buffer);
}

template <class Deleter>
bool CVideoHelper::DeleteInDrawBracket(Deleter deleteObject) {
  void* buffer = Buffer(0);
  // Without buffer 0 there is no way to reach the drawing context, and a GL
  // call without it would hit whatever context happens to be current.
  if (buffer == nullptr) return false;
  bool began = false;
  if (!ImageBufferIsDrawing(buffer)) {
    if (Host::BeginImageBufferDraw(mParameters, ActorRef(), buffer, 0) == 0) return false;
    began = true;
  }
  deleteObject();
  if (began) Host::EndImageBufferDraw(mParameters, ActorRef(), buffer);
  return true;
}

void CVideoHelper::ReleaseOutputBuffers() {
  if (mBuffers == nullptr) return;

  if (mGL.mTextureA != 0) {
    DeleteInDrawBracket([this] {
      glDeleteTextures(1, &mGL.mTextureA);
      mGL.mTextureA = 0;
      if (mGL.mCompanionA.mCompanion != nullptr) mGL.mCompanionA.mCompanion->TextureDeleted();
      mGL.mCompanionA = TextureCompanionRecord{};
    });
  }
  if (mGL.mTextureB != 0) {
    DeleteInDrawBracket([this] {
      glDeleteTextures(1, &mGL.mTextureB);
      mGL.mTextureB = 0;
    });
  }
  for (auto& resource : mGL.mResources) {
    if (resource != nullptr) DeleteInDrawBracket([&resource] { resource.reset(); });
  }

  for (uint64_t i = 0; i < mBufferCount; ++i) {
    if (mBuffers[i] != nullptr) Host::DisposeImageBuffer(mParameters, ActorRef(), mBuffers[i]);
    mBuffers[i] = nullptr;
  }
  mBuffers.reset();
}

void CVideoHelper::ReleaseHostHandle() {
  if (mHostHandle == nullptr) return;
  Host::ReleaseVideoHandle(mParameters, mHostHandle);
  mHostHandle = nullptr;
}

void CVideoHelper::ClearInputs() {
  for (uint64_t i = 0; i < mInputCount; ++i) mInputs[i].Clear();
}

void CVideoHelper::SendOutput(Value* value) {
  Host::SetOutputPropertyValue(mParameters, ActorRef(), mOutputIndex, value);
  mOutputEmpty = 0;
  mOutputSent = (value != nullptr && value->mData != nullptr) ? 1 : 0;
}

void CVideoHelper::SendEmptyOutput() {
  if (mOutputIndex >= 1 && mOutputSent == 1) {
    Value empty = MakeDataValue(nullptr);
    Host::SetOutputPropertyValue(mParameters, ActorRef(), mOutputIndex, &empty);
    mOutputSent = 0;
  }
  mOutputEmpty = 1;
}

bool CVideoHelper::HandleContextLost(const int32_t* number) {
  if (number == nullptr || mBuffers == nullptr || mMode == 1) return false;
  if (static_cast<int64_t>(*number) != static_cast<int64_t>(mBufferContext) + 1) return false;
  mBufferContext = -1;
  ReleaseOutputBuffers();
  ReleaseHostHandle();
  ClearInputs();
  mOutputEmpty = 1;
  SendEmptyOutput();
  return true;
}

void CVideoHelper::Reset() {
  SendEmptyOutput();
  mBufferContext = -1;
  ReleaseOutputBuffers();
  ReleaseHostHandle();
  ClearInputs();
}
