// GLFramebufferFunctions: the framebuffer-object entry points the image
// buffer backend draws through.
//
// They are not part of OpenGL 1.1, so a platform whose GL library exports
// only 1.1 (Windows' opengl32) hands them out per context
// (wglGetProcAddress); on Linux they are the GL library's own exports. The
// context fills the table when it is made; every entry is set once the
// context exists.
//
// Thread-safety: a plain table, written once at context creation.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>

namespace vhost {

struct GLFramebufferFunctions {
  PFNGLGENFRAMEBUFFERSPROC mGenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC mDeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC mBindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC mFramebufferTexture2D = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC mFramebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC mCheckFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC mGenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC mDeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC mBindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC mRenderbufferStorage = nullptr;
};

}  // namespace vhost
