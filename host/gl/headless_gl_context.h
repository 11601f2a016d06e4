// CHeadlessGLContext: an OpenGL context without any window or display
// server, for the stand-in host's image buffers.
//
// Made through EGL's surfaceless platform (Mesa), with a compatibility
// profile so that fixed-function calls and GLU work; on a machine without a
// GPU Mesa renders with its software rasteriser. Framebuffer objects are the
// only render targets: the context has no default framebuffer.
//
// The EGL display is initialised once per process and never terminated: a
// terminate would free state that Mesa still reaches later, and the display
// is cheap to keep until exit.
//
// Thread-safety: a context is current on one thread at a time; use one
// CHeadlessGLContext from the host's main thread only.
#pragma once

#include <memory>
#include <string>

namespace vhost {

class CHeadlessGLContext {
 public:
  // A new context, or null with the reason in `error` (may be null).
  static std::unique_ptr<CHeadlessGLContext> Create(std::string* error);

  // Releases the context (made not current first if it is current).
  ~CHeadlessGLContext();
  CHeadlessGLContext(const CHeadlessGLContext&) = delete;
  CHeadlessGLContext& operator=(const CHeadlessGLContext&) = delete;

  // Makes the context current on the calling thread; false when EGL refuses.
  bool MakeCurrent();
  bool IsCurrent() const;

  // GL_RENDERER and GL_VERSION as the driver reports them.
  const std::string& Renderer() const { return mRenderer; }
  const std::string& Version() const { return mVersion; }

 private:
  CHeadlessGLContext(void* display, void* context) : mDisplay(display), mContext(context) {}

  void* mDisplay;  // EGLDisplay, shared by every context of the process
  void* mContext;  // EGLContext, owned
  std::string mRenderer;
  std::string mVersion;
};

}  // namespace vhost
