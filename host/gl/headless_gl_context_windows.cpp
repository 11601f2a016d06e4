#include <windows.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstdio>
#include <utility>

#include "host/gl/headless_gl_context.h"

namespace vhost {

namespace {

constexpr const wchar_t* kWindowClass = L"VorlaneHeadlessGL";

std::string SystemErrorText(const char* what) {
  char text[96];
  std::snprintf(text, sizeof(text), "%s failed (error %lu)", what,
                static_cast<unsigned long>(GetLastError()));
  return text;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// The window class of the hidden windows, registered once per process; it
// stays registered until the process ends.
bool RegisterWindowClass(std::string* error) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_OWNDC;  // one device context for the window's life
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
  SetError(error, SystemErrorText("RegisterClassW"));
  return false;
}

// Some drivers answer an unknown name with a small integer instead of null.
template <typename Function>
bool Load(Function& function, const char* name) {
  PROC address = wglGetProcAddress(name);
  const auto value = reinterpret_cast<intptr_t>(address);
  if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) return false;
  // PROC is a generic function pointer; the real type is the entry point's.
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  return true;
}

bool LoadFramebufferFunctions(GLFramebufferFunctions& functions, std::string* error) {
  bool loaded = true;
  const auto load = [&](auto& function, const char* name) {
    if (!loaded) return;
    if (!Load(function, name)) {
      SetError(error, std::string("the GL driver lacks ") + name);
      loaded = false;
    }
  };
  load(functions.mGenFramebuffers, "glGenFramebuffers");
  load(functions.mDeleteFramebuffers, "glDeleteFramebuffers");
  load(functions.mBindFramebuffer, "glBindFramebuffer");
  load(functions.mFramebufferTexture2D, "glFramebufferTexture2D");
  load(functions.mFramebufferRenderbuffer, "glFramebufferRenderbuffer");
  load(functions.mCheckFramebufferStatus, "glCheckFramebufferStatus");
  load(functions.mGenRenderbuffers, "glGenRenderbuffers");
  load(functions.mDeleteRenderbuffers, "glDeleteRenderbuffers");
  load(functions.mBindRenderbuffer, "glBindRenderbuffer");
  load(functions.mRenderbufferStorage, "glRenderbufferStorage");
  return loaded;
}

}  // namespace

std::unique_ptr<CHeadlessGLContext> CHeadlessGLContext::Create(std::string* error) {
  if (!RegisterWindowClass(error)) return nullptr;
  std::unique_ptr<CHeadlessGLContext> result(new CHeadlessGLContext());
  // Never shown; it exists for its device context, whose pixel format the
  // context takes. The frames themselves go to framebuffer objects.
  HWND window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 16, 16, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    SetError(error, SystemErrorText("CreateWindowExW"));
    return nullptr;
  }
  result->mWindow = window;
  HDC deviceContext = GetDC(window);
  if (deviceContext == nullptr) {
    SetError(error, SystemErrorText("GetDC"));
    return nullptr;
  }
  result->mDisplay = deviceContext;

  PIXELFORMATDESCRIPTOR wanted{};
  wanted.nSize = sizeof(wanted);
  wanted.nVersion = 1;
  wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  wanted.iPixelType = PFD_TYPE_RGBA;
  wanted.cColorBits = 32;
  wanted.cAlphaBits = 8;
  wanted.cDepthBits = 24;
  wanted.iLayerType = PFD_MAIN_PLANE;
  const int format = ChoosePixelFormat(deviceContext, &wanted);
  if (format == 0) {
    SetError(error, SystemErrorText("ChoosePixelFormat"));
    return nullptr;
  }
  PIXELFORMATDESCRIPTOR chosen{};
  DescribePixelFormat(deviceContext, format, sizeof(chosen), &chosen);
  if (SetPixelFormat(deviceContext, format, &chosen) != TRUE) {
    SetError(error, SystemErrorText("SetPixelFormat"));
    return nullptr;
  }
  // wglCreateContext gives the driver's compatibility profile, so the
  // fixed-function calls work as they do through EGL.
  HGLRC context = wglCreateContext(deviceContext);
  if (context == nullptr) {
    SetError(error, SystemErrorText("wglCreateContext"));
    return nullptr;
  }
  result->mContext = context;
  if (!result->MakeCurrent()) {
    SetError(error, SystemErrorText("wglMakeCurrent"));
    return nullptr;
  }
  // Entry points beyond OpenGL 1.1 exist only with a current context.
  if (!LoadFramebufferFunctions(result->mFramebuffers, error)) return nullptr;
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  result->mRenderer = renderer != nullptr ? renderer : "";
  result->mVersion = version != nullptr ? version : "";
  return result;
}

CHeadlessGLContext::~CHeadlessGLContext() {
  if (mContext != nullptr) {
    if (IsCurrent()) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(mContext));
  }
  if (mDisplay != nullptr) ReleaseDC(static_cast<HWND>(mWindow), static_cast<HDC>(mDisplay));
  if (mWindow != nullptr) DestroyWindow(static_cast<HWND>(mWindow));
}

bool CHeadlessGLContext::MakeCurrent() {
  if (IsCurrent()) return true;
  return wglMakeCurrent(static_cast<HDC>(mDisplay), static_cast<HGLRC>(mContext)) == TRUE;
}

bool CHeadlessGLContext::IsCurrent() const {
  return mContext != nullptr && wglGetCurrentContext() == static_cast<HGLRC>(mContext);
}

}  // namespace vhost
