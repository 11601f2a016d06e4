// CHeadlessGLContext: an OpenGL context that nobody sees, for the stand-in
// host's image buffers.
//
// A compatibility context, so that fixed-function calls and GLU work; on a
// machine without a GPU Mesa renders with its software rasteriser.
// Framebuffer objects are the only render targets the backend uses.
//
// Linux (headless_gl_context_posix.cpp): EGL's surfaceless platform (Mesa),
// no window or display server, no default framebuffer. The EGL display is
// initialised once per process and never terminated: a terminate would free
// state that Mesa still reaches later, and the display is cheap to keep until
// exit.
//
// Windows (headless_gl_context_windows.cpp): WGL needs a window's device
// context to make a context, so each CHeadlessGLContext owns a small window
// that is never shown. Under Wine this needs a display (Xvfb will do).
//
// Thread-safety: a context is current on one thread at a time; use one
// CHeadlessGLContext from the host's main thread only (on Windows its window
// belongs to the thread that made it).
#pragma once

#include <memory>
#include <string>

#include "host/gl/gl_framebuffer_functions.h"

namespace vhost {

class CHeadlessGLContext {
 public:
  // A new context, or null with the reason in `error` (may be null).
  static std::unique_ptr<CHeadlessGLContext> Create(std::string* error);

  // Releases the context (made not current first if it is current).
  ~CHeadlessGLContext();
  CHeadlessGLContext(const CHeadlessGLContext&) = delete;
  CHeadlessGLContext& operator=(const CHeadlessGLContext&) = delete;

  // Makes the context current on the calling thread; false when EGL or WGL
  // refuses.
  bool MakeCurrent();
  bool IsCurrent() const;

  // GL_RENDERER and GL_VERSION as the driver reports them.
  const std::string& Renderer() const { return mRenderer; }
  const std::string& Version() const { return mVersion; }

  // The framebuffer-object entry points of this context, all set.
  const GLFramebufferFunctions& Framebuffers() const { return mFramebuffers; }

 private:
  CHeadlessGLContext() = default;

  // Linux: EGLDisplay (shared by every context of the process). Windows: the
  // window's device context (HDC), owned.
  void* mDisplay = nullptr;
  void* mContext = nullptr;  // EGLContext or HGLRC, owned
#if defined(_WIN32)
  void* mWindow = nullptr;   // the hidden window (HWND), owned
#endif
  GLFramebufferFunctions mFramebuffers;
  std::string mRenderer;
  std::string mVersion;
};

}  // namespace vhost
