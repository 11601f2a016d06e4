// The framebuffer-object calls are taken from libGL's own exports.
#define GL_GLEXT_PROTOTYPES 1
#include "host/gl/headless_gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <utility>

namespace vhost {

namespace {

std::string EglErrorText(const char* what) {
  char text[96];
  std::snprintf(text, sizeof(text), "%s failed (EGL error 0x%04X)", what,
                static_cast<unsigned>(eglGetError()));
  return text;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// The surfaceless display, initialised on first use; EGL_NO_DISPLAY with
// `error` filled when the platform is unavailable.
EGLDisplay SurfacelessDisplay(std::string* error) {
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (extensions == nullptr) {
    SetError(error, "EGL client extensions are unavailable");
    return EGL_NO_DISPLAY;
  }
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    SetError(error, "eglGetPlatformDisplayEXT is unavailable");
    return EGL_NO_DISPLAY;
  }
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) {
    SetError(error, EglErrorText("eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)"));
    return EGL_NO_DISPLAY;
  }
  // Initialising an initialised display is allowed and does nothing.
  EGLint major = 0;
  EGLint minor = 0;
  if (eglInitialize(display, &major, &minor) != EGL_TRUE) {
    SetError(error, EglErrorText("eglInitialize"));
    return EGL_NO_DISPLAY;
  }
  return display;
}

}  // namespace

std::unique_ptr<CHeadlessGLContext> CHeadlessGLContext::Create(std::string* error) {
  EGLDisplay display = SurfacelessDisplay(error);
  if (display == EGL_NO_DISPLAY) return nullptr;
  if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
    SetError(error, EglErrorText("eglBindAPI(EGL_OPENGL_API)"));
    return nullptr;
  }
  const EGLint attributes[] = {
      EGL_CONTEXT_MAJOR_VERSION, 2,
      EGL_CONTEXT_MINOR_VERSION, 1,
      EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
      EGL_NONE};
  // Configless and surfaceless: the context only ever draws into FBOs.
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) {
    SetError(error, EglErrorText("eglCreateContext"));
    return nullptr;
  }
  std::unique_ptr<CHeadlessGLContext> result(new CHeadlessGLContext());
  result->mDisplay = display;
  result->mContext = context;
  if (!result->MakeCurrent()) {
    SetError(error, EglErrorText("eglMakeCurrent"));
    return nullptr;
  }
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  result->mRenderer = renderer != nullptr ? renderer : "";
  result->mVersion = version != nullptr ? version : "";
  // Mesa's libGL exports the framebuffer-object calls itself.
  GLFramebufferFunctions& functions = result->mFramebuffers;
  functions.mGenFramebuffers = glGenFramebuffers;
  functions.mDeleteFramebuffers = glDeleteFramebuffers;
  functions.mBindFramebuffer = glBindFramebuffer;
  functions.mFramebufferTexture2D = glFramebufferTexture2D;
  functions.mFramebufferRenderbuffer = glFramebufferRenderbuffer;
  functions.mCheckFramebufferStatus = glCheckFramebufferStatus;
  functions.mGenRenderbuffers = glGenRenderbuffers;
  functions.mDeleteRenderbuffers = glDeleteRenderbuffers;
  functions.mBindRenderbuffer = glBindRenderbuffer;
  functions.mRenderbufferStorage = glRenderbufferStorage;
  return result;
}

CHeadlessGLContext::~CHeadlessGLContext() {
  if (IsCurrent()) eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(mDisplay, mContext);
}

bool CHeadlessGLContext::MakeCurrent() {
  if (IsCurrent()) return true;
  return eglMakeCurrent(mDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, mContext) == EGL_TRUE;
}

bool CHeadlessGLContext::IsCurrent() const { return eglGetCurrentContext() == mContext; }

}  // namespace vhost
