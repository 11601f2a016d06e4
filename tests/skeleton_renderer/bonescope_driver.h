// CBonescopeDriver: loads the built Bonescope plug-in file and drives one
// instance through a CFakeVideoHost the way a host would: registration,
// create, activate, property values, render requests, context loss.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/value_access.h"
#include "framework/vorlane_types.h"
#include "tests/skeleton_renderer/fake_video_host.h"

class CBonescopeDriver {
 public:
  explicit CBonescopeDriver(CFakeVideoHost& host) : mHost(host) {
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    const std::string path = std::string(dir != nullptr ? dir : ".") + "/bonescope" VORL_PLUGIN_SUFFIX;
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    mLibrary = module;
    if (mLibrary == nullptr) return;
    auto getActorInfo = reinterpret_cast<void (*)(void*, ActorInfo*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetActorInfo")));
#else
    mLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (mLibrary == nullptr) return;
    auto getActorInfo = reinterpret_cast<void (*)(void*, ActorInfo*)>(dlsym(mLibrary, "GetActorInfo"));
#endif
    if (getActorInfo != nullptr) getActorInfo(nullptr, Info());
  }
  // The library stays loaded: a plug-in file is never unloaded by a host.
  ~CBonescopeDriver() = default;

  bool Loaded() const { return mLibrary != nullptr && mHost.Info()->mCreateActor != nullptr; }
  ActorInfo* Info() { return mHost.Info(); }
  VorlaneParameters* Params() { return mHost.Params(); }

  void Create() { Info()->mCreateActor(Params(), Info()); }
  uint16_t Dispose() { return Info()->mDisposeActor(Params(), Info()); }
  void Activate(uint8_t active) { Info()->mActivateActor(Params(), Info(), active); }

  void Set(uint16_t index, Value value) {
    Info()->mHandlePropertyChangeValue(Params(), Info(), index, nullptr, &value, 0);
  }
  void SetInteger(uint16_t index, int64_t n) { Set(index, MakeIntegerValue(n)); }
  void SetFloat(uint16_t index, double d) { Set(index, MakeFloatValue(d)); }
  void SetData(uint16_t index, void* data) { Set(index, MakeDataValue(data)); }

  // The declared defaults, delivered after activation as a host does.
  void SetDefaults() {
    SetData(1, nullptr);
    SetInteger(2, 1);
    SetFloat(3, 5);
    SetInteger(4, 16);
    SetFloat(5, 100);
    for (uint16_t i : {6, 7, 8, 12, 13, 14, 15, 16}) SetFloat(i, 0);
    SetInteger(9, 1);
    SetInteger(10, 0);
    SetInteger(11, 1);
    SetFloat(17, -3);
    SetInteger(18, 1);
    SetFloat(19, 1);
    SetInteger(20, 1280);
    SetInteger(21, 720);
  }

  // Create, activate and deliver the defaults.
  void Start() {
    Create();
    Activate(1);
    SetDefaults();
  }
  void Stop() {
    Activate(0);
    Dispose();
  }

  intptr_t Render() { return mHost.Send(0x1000, 0, nullptr, 0); }
  intptr_t LoseContext(int32_t number) { return mHost.Send(0x20000000, 0, &number, sizeof(number)); }

 private:
  CFakeVideoHost& mHost;
  void* mLibrary = nullptr;
};
