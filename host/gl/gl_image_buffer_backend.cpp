#include "host/gl/gl_image_buffer_backend.h"

#include "host/gl/gl_framebuffer_functions.h"

#include <algorithm>
#include <new>
#include <utility>

#include "host/gl/png_writer.h"
#include "host/guarded_block.h"

namespace vhost {

namespace {

// Restores the draw and read framebuffer bindings on scope exit, so reading
// a frame back never disturbs a bracket that is open on another buffer.
class CFramebufferBindingGuard {
 public:
  explicit CFramebufferBindingGuard(const GLFramebufferFunctions& gl) : mGL(gl) {
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &mDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &mRead);
  }
  ~CFramebufferBindingGuard() {
    mGL.mBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(mDraw));
    mGL.mBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(mRead));
  }
  CFramebufferBindingGuard(const CFramebufferBindingGuard&) = delete;
  CFramebufferBindingGuard& operator=(const CFramebufferBindingGuard&) = delete;

 private:
  const GLFramebufferFunctions& mGL;
  GLint mDraw = 0;
  GLint mRead = 0;
};

}  // namespace

std::unique_ptr<CGLImageBufferBackend> CGLImageBufferBackend::Create(std::string* error) {
  auto context = CHeadlessGLContext::Create(error);
  if (context == nullptr) return nullptr;
  return std::unique_ptr<CGLImageBufferBackend>(new CGLImageBufferBackend(std::move(context)));
}

CGLImageBufferBackend::CGLImageBufferBackend(std::unique_ptr<CHeadlessGLContext> context)
    : mContext(std::move(context)) {}

CGLImageBufferBackend::~CGLImageBufferBackend() {
  while (!mLive.empty()) Dispose(const_cast<void*>(*mLive.begin()));
}

void CGLImageBufferBackend::SetClearColour(float r, float g, float b, float a) {
  mClearColour[0] = r;
  mClearColour[1] = g;
  mClearColour[2] = b;
  mClearColour[3] = a;
}

GLImageBufferRecord* CGLImageBufferBackend::Live(const void* buffer) const {
  if (buffer == nullptr || mLive.count(buffer) == 0) return nullptr;
  return static_cast<GLImageBufferRecord*>(const_cast<void*>(buffer));
}

bool CGLImageBufferBackend::IsLiveBuffer(const void* buffer) const { return Live(buffer) != nullptr; }

GLImageBufferRecord* CGLImageBufferBackend::BufferOfFrame(const void* frame) const {
  for (const void* live : mLive) {
    auto* record = static_cast<GLImageBufferRecord*>(const_cast<void*>(live));
    if (&record->mFrame == frame) return record;
  }
  return nullptr;
}

int32_t CGLImageBufferBackend::MaxImageSize() {
  if (!mContext->MakeCurrent()) return 0;
  GLint maxTexture = 0;
  GLint maxRenderbuffer = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
  return std::min(maxTexture, maxRenderbuffer);
}

void* CGLImageBufferBackend::Create(int32_t context, int32_t w, int32_t h, uint32_t flags) {
  if (w <= 0 || h <= 0 || !mContext->MakeCurrent()) return nullptr;
  const int32_t limit = MaxImageSize();
  if (w > limit || h > limit) return nullptr;
  const GLFramebufferFunctions& gl = mContext->Framebuffers();

  // Records carry guard bytes, so that a plug-in writing past the fields it
  // may touch is caught rather than corrupting the next record.
  void* memory = AllocateGuarded(sizeof(GLImageBufferRecord), 0);
  if (memory == nullptr) return nullptr;
  const auto destroy = [](GLImageBufferRecord* r) {
    r->~GLImageBufferRecord();
    FreeGuarded(r, sizeof(GLImageBufferRecord));
  };
  std::unique_ptr<GLImageBufferRecord, decltype(destroy)> record(new (memory) GLImageBufferRecord(), destroy);
  record->mSignature = kGLImageBufferSignature;
  record->mContext = context;
  record->mFlags = flags;
  record->mWidth = w;
  record->mHeight = h;
  record->mTexture = &record->mTextureRecord;
  record->mTextureRecord.mSignature = kGLTextureSignature;
  record->mTextureRecord.mWidth = w;
  record->mTextureRecord.mHeight = h;
  record->mFrame.mSignature = kGLFrameSignature;
  record->mFrame.mBuffer = record.get();
  record->mFrame.mTexture = &record->mTextureRecord;

  while (glGetError() != GL_NO_ERROR) {
  }
  CFramebufferBindingGuard bindingGuard(gl);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  record->mTextureRecord.mTextureName = texture;

  GLuint depth = 0;
  gl.mGenRenderbuffers(1, &depth);
  gl.mBindRenderbuffer(GL_RENDERBUFFER, depth);
  gl.mRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
  gl.mBindRenderbuffer(GL_RENDERBUFFER, 0);
  record->mDepthBuffer = depth;

  GLuint framebuffer = 0;
  gl.mGenFramebuffers(1, &framebuffer);
  gl.mBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  gl.mFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  gl.mFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  record->mFramebuffer = framebuffer;
  const bool complete = gl.mCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (!complete || glGetError() != GL_NO_ERROR) {
    DeleteGLObjects(*record);
    return nullptr;
  }
  // A new buffer starts transparent black, whatever the clear colour.
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  GLImageBufferRecord* buffer = record.release();
  mLive.insert(buffer);
  return buffer;
}

void CGLImageBufferBackend::DeleteGLObjects(GLImageBufferRecord& record) {
  const GLFramebufferFunctions& gl = mContext->Framebuffers();
  gl.mDeleteFramebuffers(1, &record.mFramebuffer);
  gl.mDeleteRenderbuffers(1, &record.mDepthBuffer);
  glDeleteTextures(1, &record.mTextureRecord.mTextureName);
  record.mFramebuffer = 0;
  record.mDepthBuffer = 0;
  record.mTextureRecord.mTextureName = 0;
}

void CGLImageBufferBackend::Dispose(void* buffer) {
  GLImageBufferRecord* record = Live(buffer);
  if (record == nullptr) return;
  mLive.erase(buffer);
  if (mContext->MakeCurrent()) {
    const GLFramebufferFunctions& gl = mContext->Framebuffers();
    GLint bound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    if (static_cast<GLuint>(bound) == record->mFramebuffer) gl.mBindFramebuffer(GL_FRAMEBUFFER, 0);
    DeleteGLObjects(*record);
  }
  record->~GLImageBufferRecord();
  FreeGuarded(record, sizeof(GLImageBufferRecord));
}

int32_t CGLImageBufferBackend::BeginDraw(void* buffer, uint8_t arg) {
  GLImageBufferRecord* record = Live(buffer);
  if (record == nullptr || !mContext->MakeCurrent()) return 0;
  if (record->mDrawDepth > 0) {
    ++record->mDrawDepth;
    return 1;
  }
  const GLFramebufferFunctions& gl = mContext->Framebuffers();
  gl.mBindFramebuffer(GL_FRAMEBUFFER, record->mFramebuffer);
  glViewport(0, 0, record->mWidth, record->mHeight);
  if (arg != 0 && !mKeepContents) {
    glClearColor(mClearColour[0], mClearColour[1], mClearColour[2], mClearColour[3]);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  record->mDrawDepth = 1;
  record->mDrawing = 1;
  return 1;
}

void* CGLImageBufferBackend::EndDraw(void* buffer) {
  GLImageBufferRecord* record = Live(buffer);
  if (record == nullptr || record->mDrawDepth == 0) return nullptr;
  if (--record->mDrawDepth == 0) {
    if (mContext->MakeCurrent()) mContext->Framebuffers().mBindFramebuffer(GL_FRAMEBUFFER, 0);
    record->mDrawing = 0;
    ++record->mFrame.mSerial;
  }
  return &record->mFrame;
}

bool CGLImageBufferBackend::ReadPixels(const GLImageBufferRecord& record, RgbaImage& image) {
  if (!mContext->MakeCurrent()) return false;
  const GLFramebufferFunctions& gl = mContext->Framebuffers();
  image.mWidth = record.mWidth;
  image.mHeight = record.mHeight;
  const size_t rowBytes = static_cast<size_t>(record.mWidth) * 4;
  image.mPixels.resize(rowBytes * static_cast<size_t>(record.mHeight));
  {
    CFramebufferBindingGuard bindingGuard(gl);
    gl.mBindFramebuffer(GL_READ_FRAMEBUFFER, record.mFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, record.mWidth, record.mHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.mPixels.data());
  }
  // GL's rows run bottom-up; image files and RgbaImage run top-down.
  uint8_t* pixels = image.mPixels.data();
  for (int32_t top = 0, bottom = record.mHeight - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels + rowBytes * static_cast<size_t>(top),
                     pixels + rowBytes * static_cast<size_t>(top + 1),
                     pixels + rowBytes * static_cast<size_t>(bottom));
  }
  return true;
}

bool CGLImageBufferBackend::ReadFrame(const void* frame, RgbaImage& image) {
  const GLImageBufferRecord* record = BufferOfFrame(frame);
  return record != nullptr && ReadPixels(*record, image);
}

bool CGLImageBufferBackend::ReadBuffer(const void* buffer, RgbaImage& image) {
  const GLImageBufferRecord* record = Live(buffer);
  return record != nullptr && ReadPixels(*record, image);
}

bool CGLImageBufferBackend::SaveFramePng(const void* frame, const std::string& path,
                                         std::string* error) {
  RgbaImage image;
  if (!ReadFrame(frame, image)) {
    if (error != nullptr) *error = "not a frame of a live image buffer";
    return false;
  }
  return WriteRgbaPng(path, image, error);
}

}  // namespace vhost
