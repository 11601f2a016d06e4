// Bonescope's frame cost against the same scene drawn with bare GL and GLU,
// the cost of reading a frame back, and the heap allocations per frame.
//
// For each image size the tool interleaves the two arms frame by frame (each
// ends with glFinish and reads nothing back) and prints the medians and their
// ratio. Allocations are counted by a malloc and operator new interposed in
// this executable and attributed by the caller's address: the plug-in file
// itself, GLU, or anything else (Mesa, the C++ runtime).
//
//   bonescope_bench [--frames N] [--plugin PATH] [--save-frame FILE.png]
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bench/skeleton_renderer/bench_host.h"
#include "framework/value_access.h"
#include "host/gl/gl_image_buffer_backend.h"
#include "skeleton/skeleton_pkg.h"

// ---- allocation counting ---------------------------------------------------

namespace {

struct AddressRange {
  uintptr_t mBegin = 0;
  uintptr_t mEnd = 0;
};

constexpr int kMaxRanges = 8;
AddressRange gPluginRanges[kMaxRanges];
int gPluginRangeCount = 0;
AddressRange gGluRanges[kMaxRanges];
int gGluRangeCount = 0;
std::atomic<bool> gCounting{false};
std::atomic<uint64_t> gPluginAllocations{0};
std::atomic<uint64_t> gGluAllocations{0};
std::atomic<uint64_t> gOtherAllocations{0};

bool InRanges(const AddressRange* ranges, int count, uintptr_t address) {
  for (int i = 0; i < count; ++i) {
    if (address >= ranges[i].mBegin && address < ranges[i].mEnd) return true;
  }
  return false;
}

void CountAllocation(void* caller) {
  if (!gCounting.load(std::memory_order_relaxed)) return;
  const auto address = reinterpret_cast<uintptr_t>(caller);
  if (InRanges(gPluginRanges, gPluginRangeCount, address)) {
    gPluginAllocations.fetch_add(1, std::memory_order_relaxed);
  } else if (InRanges(gGluRanges, gGluRangeCount, address)) {
    gGluAllocations.fetch_add(1, std::memory_order_relaxed);
  } else {
    gOtherAllocations.fetch_add(1, std::memory_order_relaxed);
  }
}

int CollectRanges(dl_phdr_info* info, size_t, void*) {
  const char* name = info->dlpi_name != nullptr ? info->dlpi_name : "";
  AddressRange* ranges = nullptr;
  int* count = nullptr;
  if (std::strstr(name, "bonescope.so") != nullptr) {
    ranges = gPluginRanges;
    count = &gPluginRangeCount;
  } else if (std::strstr(name, "libGLU.so") != nullptr) {
    ranges = gGluRanges;
    count = &gGluRangeCount;
  } else {
    return 0;
  }
  for (int i = 0; i < info->dlpi_phnum && *count < kMaxRanges; ++i) {
    const auto& header = info->dlpi_phdr[i];
    if (header.p_type != PT_LOAD || (header.p_flags & PF_X) == 0) continue;
    const uintptr_t begin = info->dlpi_addr + header.p_vaddr;
    ranges[(*count)++] = {begin, begin + header.p_memsz};
  }
  return 0;
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VORL_COUNT_ALLOCATIONS 1
extern "C" {
// glibc's own allocator, under the counting hooks below.
// NOLINTBEGIN(bugprone-reserved-identifier)
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
// NOLINTEND(bugprone-reserved-identifier)

void* malloc(size_t size) {
  CountAllocation(__builtin_return_address(0));
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  CountAllocation(__builtin_return_address(0));
  return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
  CountAllocation(__builtin_return_address(0));
  return __libc_realloc(block, size);
}
void free(void* block) { __libc_free(block); }
}

namespace {
void* CountedNew(size_t size, void* caller) {
  CountAllocation(caller);
  void* block = __libc_malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
}  // namespace

void* operator new(size_t size) { return CountedNew(size, __builtin_return_address(0)); }
void* operator new[](size_t size) { return CountedNew(size, __builtin_return_address(0)); }
void operator delete(void* block) noexcept { __libc_free(block); }
void operator delete[](void* block) noexcept { __libc_free(block); }
void operator delete(void* block, size_t) noexcept { __libc_free(block); }
void operator delete[](void* block, size_t) noexcept { __libc_free(block); }
#endif

// ---- the two arms ------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

// A standing figure of 19 joints, metres.
constexpr float kJoints[19][3] = {
    {0.0f, 0.9f, 0.0f},    {0.0f, 0.6f, 0.0f},    {0.0f, 0.3f, 0.0f},   {0.0f, 0.0f, 0.0f},
    {-0.2f, 0.55f, 0.0f},  {-0.45f, 0.35f, 0.1f}, {-0.6f, 0.1f, 0.15f}, {0.2f, 0.55f, 0.0f},
    {0.45f, 0.35f, 0.1f},  {0.6f, 0.1f, 0.15f},   {-0.12f, -0.05f, 0.0f}, {-0.15f, -0.5f, 0.05f},
    {-0.15f, -0.95f, 0.0f}, {0.12f, -0.05f, 0.0f}, {0.15f, -0.5f, 0.05f}, {0.15f, -0.95f, 0.0f},
    {-0.65f, 0.0f, 0.2f},  {0.65f, 0.0f, 0.2f},   {0.0f, 1.05f, 0.05f}};

struct SceneSettings {
  double mRadius = 0.05;
  int mSides = 16;
  double mOriginSize = 1.0;
  float mCameraZ = -3.0f;
};

// The renderer's scene with default properties, drawn directly.
void DrawBareScene(GLUquadric* sphere, int width, int height, const SceneSettings& s) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  const double base = std::tan(0.34906585) * 0.01;
  const double aspect = static_cast<float>(width) / static_cast<float>(height);
  const double right = aspect >= 1.0 ? base * aspect : base;
  const double top = aspect >= 1.0 ? base : base / aspect;
  glFrustum(-right, right, -top, top, 0.01, 2500.0);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glTranslatef(0.0f, 0.0f, s.mCameraZ);
  glLineWidth(5.0f);
  glBegin(GL_LINES);
  glColor4ub(255, 0, 0, 255);
  glVertex3d(-s.mOriginSize, 0, 0);
  glVertex3d(s.mOriginSize, 0, 0);
  glColor4ub(0, 255, 0, 255);
  glVertex3d(0, -s.mOriginSize, 0);
  glVertex3d(0, s.mOriginSize, 0);
  glColor4ub(0, 0, 255, 255);
  glVertex3d(0, 0, -s.mOriginSize);
  glVertex3d(0, 0, s.mOriginSize);
  glEnd();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glEnable(GL_NORMALIZE);
  for (const auto& joint : kJoints) {
    glPushMatrix();
    glTranslatef(joint[0], joint[1], joint[2]);
    gluSphere(sphere, s.mRadius, s.mSides, s.mSides);
    glPopMatrix();
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 200;
  std::string pluginPath;
  std::string savePath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--frames" && i + 1 < argc) {
      frames = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--plugin" && i + 1 < argc) {
      pluginPath = argv[++i];
    } else if (arg == "--save-frame" && i + 1 < argc) {
      savePath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--frames N] [--plugin PATH/bonescope.so] [--save-frame FILE.png]\n", argv[0]);
      return 2;
    }
  }
  if (pluginPath.empty()) {
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    pluginPath = std::string(dir != nullptr ? dir : VORL_DEFAULT_PLUGIN_DIR) + "/bonescope.so";
  }

  std::string error;
  auto backend = vhost::CGLImageBufferBackend::Create(&error);
  if (backend == nullptr) {
    std::fprintf(stderr, "no headless GL context: %s\n", error.c_str());
    return 1;
  }
  void* library = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto getActorInfo =
      library != nullptr ? reinterpret_cast<void (*)(void*, ActorInfo*)>(dlsym(library, "GetActorInfo"))
                         : nullptr;
  if (getActorInfo == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), dlerror());
    return 1;
  }
  dl_iterate_phdr(&CollectRanges, nullptr);
  std::printf("renderer: %s, %s\n", backend->Context().Renderer().c_str(),
              backend->Context().Version().c_str());
  std::printf("frames per arm and size: %d (interleaved)\n\n", frames);

  CBenchHost host(*backend);
  ActorInfo* info = host.Info();
  getActorInfo(nullptr, info);
  VorlaneParameters* params = host.Params();
  auto set = [&](uint16_t index, Value value) {
    info->mHandlePropertyChangeValue(params, info, index, nullptr, &value, 1);
  };
  info->mCreateActor(params, info);
  info->mActivateActor(params, info, 1);
  // Defaults: spheres of radius 0.05, 16 slices and stacks, lighting, depth
  // test, culling, camera 3 units back, crosshair of 1.
  set(2, MakeIntegerValue(1));
  set(3, MakeFloatValue(5));
  set(4, MakeIntegerValue(16));
  set(5, MakeFloatValue(100));
  for (uint16_t i : {6, 7, 8, 12, 13, 14, 15, 16}) set(i, MakeFloatValue(0));
  set(9, MakeIntegerValue(1));
  set(10, MakeIntegerValue(0));
  set(11, MakeIntegerValue(1));
  set(17, MakeFloatValue(-3));
  set(18, MakeIntegerValue(1));
  set(19, MakeFloatValue(1));
  SkeletonPkg* skeleton = CreateSkeletonPkg(19);
  skeleton->tracking_state = kSkeletonTracked;
  for (int i = 0; i < 19; ++i) {
    skeleton->points[0 + i].x = kJoints[i][0];
    skeleton->points[0 + i].y = kJoints[i][1];
    skeleton->points[0 + i].z = kJoints[i][2];
  }
  set(1, MakeDataValue(skeleton));

  GLUquadric* bareSphere = gluNewQuadric();
  const SceneSettings settings;
  std::printf("%-11s %12s %12s %8s %14s\n", "size", "bare ms", "whole ms", "ratio", "readback ms");
  const int sizes[][2] = {{640, 360}, {1280, 720}, {1920, 1080}};
  for (const auto& size : sizes) {
    const int w = size[0];
    const int h = size[1];
    set(20, MakeIntegerValue(w));
    set(21, MakeIntegerValue(h));
    void* bareBuffer = backend->Create(0, w, h, 0);
    auto* bareRecord = static_cast<vhost::GLImageBufferRecord*>(bareBuffer);

    auto bareFrame = [&] {
      glBindFramebuffer(GL_FRAMEBUFFER, bareRecord->mFramebuffer);
      glViewport(0, 0, w, h);
      glClearColor(0, 0, 0, 0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      DrawBareScene(bareSphere, w, h, settings);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      glFinish();
    };
    auto wholeFrame = [&] {
      host.Render();
      glFinish();
    };
    for (int i = 0; i < 10; ++i) {
      wholeFrame();
      bareFrame();
    }
    std::vector<double> bare;
    std::vector<double> whole;
    bare.reserve(frames);
    whole.reserve(frames);
    for (int i = 0; i < frames; ++i) {
      // Alternate which arm goes first so neither always follows the other.
      if (i % 2 == 0) {
        auto t0 = Clock::now();
        bareFrame();
        auto t1 = Clock::now();
        wholeFrame();
        auto t2 = Clock::now();
        bare.push_back(Milliseconds(t0, t1));
        whole.push_back(Milliseconds(t1, t2));
      } else {
        auto t0 = Clock::now();
        wholeFrame();
        auto t1 = Clock::now();
        bareFrame();
        auto t2 = Clock::now();
        whole.push_back(Milliseconds(t0, t1));
        bare.push_back(Milliseconds(t1, t2));
      }
    }

    // glReadPixels of the frame just sent, into a buffer made once.
    const auto* frame = static_cast<const vhost::GLFrameRecord*>(host.LastFrame());
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    std::vector<double> readback;
    for (int i = 0; i < std::max(10, frames / 4); ++i) {
      auto t0 = Clock::now();
      glBindFramebuffer(GL_READ_FRAMEBUFFER, frame->mBuffer->mFramebuffer);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
      glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
      readback.push_back(Milliseconds(t0, Clock::now()));
    }
    // A read that failed would look fast: make sure the figure came back.
    size_t drawn = 0;
    for (size_t i = 3; i < pixels.size(); i += 4) drawn += pixels[i] != 0 ? 1 : 0;
    if (glGetError() != GL_NO_ERROR || drawn == 0) {
      std::fprintf(stderr, "read-back of %dx%d returned no figure\n", w, h);
      return 1;
    }
    backend->Dispose(bareBuffer);
    if (!savePath.empty() && w == 1280) {
      std::string saveError;
      if (!backend->SaveFramePng(host.LastFrame(), savePath, &saveError)) {
        std::fprintf(stderr, "%s\n", saveError.c_str());
      }
    }

    const double bareMedian = Median(bare);
    const double wholeMedian = Median(whole);
    char label[32];
    std::snprintf(label, sizeof(label), "%dx%d", w, h);
    std::printf("%-11s %12.3f %12.3f %8.3f %14.3f\n", label, bareMedian, wholeMedian,
                wholeMedian / bareMedian, Median(readback));
  }

#ifdef VORL_COUNT_ALLOCATIONS
  // The first frame after a size change makes the buffer; count the frames after it.
  host.Render();
  glFinish();
  const int counted = 100;
  gCounting = true;
  for (int i = 0; i < counted; ++i) {
    host.Render();
    glFinish();
  }
  gCounting = false;
  std::printf("\nheap allocations over %d frames after the first (1920x1080):\n", counted);
  std::printf("  plug-in code: %llu\n  GLU: %llu\n  other (Mesa, runtime): %llu\n",
              static_cast<unsigned long long>(gPluginAllocations.load()),
              static_cast<unsigned long long>(gGluAllocations.load()),
              static_cast<unsigned long long>(gOtherAllocations.load()));
  if (gPluginRangeCount == 0) std::printf("  (plug-in code range not found)\n");
#else
  std::printf("\n(allocation counting is off in sanitizer builds)\n");
#endif

  gluDeleteQuadric(bareSphere);
  info->mActivateActor(params, info, 0);
  info->mDisposeActor(params, info);
  set(1, MakeDataValue(nullptr));
  DisposeSkeletonPkg(skeleton);
  return 0;
}
