#include "host/window/preview_window.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace vhost {
namespace {

std::string GlfwError(const char* what) {
  const char* description = nullptr;
  glfwGetError(&description);
  return std::string(what) + (description != nullptr ? std::string(": ") + description : std::string());
}

// Rows top-down (images) to bottom-up (GL), or back.
std::vector<uint8_t> FlipRows(const uint8_t* pixels, int32_t width, int32_t height) {
  const size_t row = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> flipped(row * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(&flipped[static_cast<size_t>(height - 1 - y) * row], pixels + static_cast<size_t>(y) * row, row);
  }
  return flipped;
}

}  // namespace

bool CPreviewWindow::DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::unique_ptr<CPreviewWindow> CPreviewWindow::Open(const std::string& title, std::string* error) {
  if (!DisplayNamed()) {
    if (error != nullptr) *error = "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
    return nullptr;
  }
  std::unique_ptr<CPreviewWindow> window(new CPreviewWindow());
  window->mThread = std::thread(&CPreviewWindow::Run, window.get(), title);
  std::unique_lock<std::mutex> lock(window->mMutex);
  window->mChanged.wait(lock, [&] { return window->mState != EState::kStarting; });
  if (window->mState == EState::kOpen) return window;
  if (error != nullptr) *error = window->mError;
  lock.unlock();
  window->mThread.join();
  return nullptr;
}

CPreviewWindow::~CPreviewWindow() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mState == EState::kOpen) glfwPostEmptyEvent();
    mState = EState::kStopping;
  }
  mChanged.notify_all();
  if (mThread.joinable()) mThread.join();
}

void CPreviewWindow::Show(const std::string& name, const RgbaImage& frame) {
  std::lock_guard<std::mutex> lock(mMutex);
  bool found = false;
  for (CPreviewPicture& picture : mPictures) {
    if (picture.mName != name) continue;
    picture.mFrame = frame;
    found = true;
  }
  if (!found) mPictures.push_back({name, frame});
  ++mGeneration;
  // The window thread calls glfwTerminate only after leaving kOpen, under
  // this lock, so waking it here is safe.
  if (mState == EState::kOpen) glfwPostEmptyEvent();
}

CPreviewCanvas CPreviewWindow::WaitShown(double timeoutSeconds) {
  std::unique_lock<std::mutex> lock(mMutex);
  const uint64_t target = mGeneration;
  mSnapshotWanted = true;
  if (mState == EState::kOpen) glfwPostEmptyEvent();
  const bool shown = mChanged.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [&] {
    return mState != EState::kOpen || (!mSnapshotWanted && mShownGeneration >= target);
  });
  if (!shown || mState != EState::kOpen) return {};
  return mSnapshot;
}

void CPreviewWindow::Run(const std::string& title) {
  auto fail = [this](std::string why) {
    std::lock_guard<std::mutex> lock(mMutex);
    mState = EState::kFailed;
    mError = std::move(why);
    mChanged.notify_all();
  };
  if (glfwInit() != GLFW_TRUE) {
    fail(GlfwError("the window system cannot be used"));
    return;
  }
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  GLFWwindow* window = glfwCreateWindow(64, 64, title.c_str(), nullptr, nullptr);
  if (window == nullptr) {
    fail(GlfwError("no window"));
    glfwTerminate();
    return;
  }
  glfwMakeContextCurrent(window);
  glfwSwapInterval(0);
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mState = EState::kOpen;
  }
  mChanged.notify_all();

  uint64_t drawn = ~uint64_t{0};
  int32_t width = 0, height = 0;  // the window's size as last set
  for (;;) {
    glfwWaitEventsTimeout(0.1);
    if (glfwWindowShouldClose(window) == GLFW_TRUE) mClosed.store(true);
    std::vector<CPreviewPicture> pictures;
    uint64_t generation = 0;
    bool snapshot = false;
    {
      std::lock_guard<std::mutex> lock(mMutex);
      if (mState != EState::kOpen) break;
      generation = mGeneration;
      snapshot = mSnapshotWanted;
      if (generation == drawn && !snapshot) continue;
      pictures = mPictures;
    }
    const CPreviewCanvas canvas = ComposePreview(pictures);
    const RgbaImage& image = canvas.mImage;
    if (image.mWidth != width || image.mHeight != height) {
      width = image.mWidth;
      height = image.mHeight;
      glfwSetWindowSize(window, width, height);
    }
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
    // Until the window has its new size the picture would be cut; the
    // resize comes back as an event and the next pass draws it.
    if (fbWidth < width || fbHeight < height) continue;
    glViewport(0, 0, fbWidth, fbHeight);
    glDisable(GL_DITHER);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The canvas hangs from the window's top-left corner.
    glRasterPos2f(-1.0f, 1.0f - 2.0f * static_cast<float>(height) / static_cast<float>(fbHeight));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const std::vector<uint8_t> upward = FlipRows(image.mPixels.data(), width, height);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, upward.data());
    CPreviewCanvas shown;
    if (snapshot) {
      std::vector<uint8_t> read(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
      glReadBuffer(GL_BACK);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, fbHeight - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
      shown.mImage.mWidth = width;
      shown.mImage.mHeight = height;
      shown.mImage.mPixels = FlipRows(read.data(), width, height);
      shown.mPlacements = canvas.mPlacements;
    }
    glfwSwapBuffers(window);
    drawn = generation;
    if (snapshot) {
      std::lock_guard<std::mutex> lock(mMutex);
      mSnapshot = std::move(shown);
      mShownGeneration = generation;
      mSnapshotWanted = false;
      mChanged.notify_all();
    }
  }
  glfwDestroyWindow(window);
  glfwTerminate();
}

}  // namespace vhost
