// Instruction-count benchmark of Bonesplit, meant to run under
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect='BenchMeasured_*'
// (see measure_instructions.sh, which prints the figures).
//
// A minimal stand-in host of its own: it loads the plug-in file, and its
// services only store and return values (the skeleton and point_sel inputs,
// up to 196 outputs and their names), so that what callgrind counts between
// the measured calls, less the BenchHost_ services, is the plug-in's own work.
// Collection is on only inside BenchMeasured_Change.
//
// Scenarios, after 64 channels and a first skeleton are set up:
//   ordinary  a 19-point skeleton arrives again with new coordinates
//   layout    the skeleton alternates between two 19-point layouts, so each
//             arrival rebuilds the map and renames 57 outputs
//
// Usage: bonesplit_instruction_bench <plug-in file> ordinary|layout <count>
// Single-threaded.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/host_services.h"
#include "framework/vorlane_types.h"
#include "skeleton/skeleton_pkg.h"

namespace {

constexpr uint32_t kMaxOutputs = 196;
constexpr uint16_t kInputCount = 7;
constexpr uint32_t kDeclaredOutputs = 7;

struct CBenchHost {
  Value mInputs[kInputCount + 1] = {};
  Value mOutputs[kMaxOutputs + 1] = {};
  char mOutputNames[kMaxOutputs + 1][48] = {};
  uint32_t mOutputCount = kDeclaredOutputs;
  uint32_t mAssertions = 0;
};

CBenchHost gHost;

}  // namespace

// The services. C linkage keeps their names plain for callgrind's toggles.
extern "C" {

__attribute__((noinline)) Value* BenchHost_GetInputPropertyValue(void*, uint16_t index) {
  return index <= kInputCount ? &gHost.mInputs[index] : nullptr;
}

__attribute__((noinline)) uint16_t BenchHost_SetOutputPropertyValue(void*, uint16_t index,
                                                                    Value* value) {
  if (index == 0 || index > gHost.mOutputCount || value == nullptr) return 1;
  gHost.mOutputs[index] = *value;
  return 0;
}

__attribute__((noinline)) uint16_t BenchHost_GetPropertyCount(void*, uint8_t kind, uint32_t* count) {
  *count = kind == 2 ? gHost.mOutputCount : kInputCount;
  return 0;
}

__attribute__((noinline)) uint16_t BenchHost_AddOutputProperty(void*, uint8_t, uint32_t, uint32_t,
                                                               const char* name, uint32_t, uint32_t,
                                                               uint32_t, uint32_t, Value*, Value*,
                                                               Value*, uint32_t, uint32_t, uint32_t) {
  if (gHost.mOutputCount >= kMaxOutputs) return 1;
  ++gHost.mOutputCount;
  std::snprintf(gHost.mOutputNames[gHost.mOutputCount], 48, "%s", name);
  return 0;
}

__attribute__((noinline)) uint16_t BenchHost_RemoveOutputProperty(void*, uint8_t, uint16_t) {
  if (gHost.mOutputCount <= kDeclaredOutputs) return 1;
  --gHost.mOutputCount;
  return 0;
}

__attribute__((noinline)) uint16_t BenchHost_SetPropertyDisplayName(void*, uint8_t, uint16_t index,
                                                                    const char* name) {
  if (index == 0 || index > gHost.mOutputCount) return 1;
  std::strncpy(gHost.mOutputNames[index], name, 47);
  return 0;
}

__attribute__((noinline)) uint16_t BenchHost_GetPropertyTypeCodes(void*, uint8_t, uint16_t,
                                                                  uint32_t* code1, uint32_t* code2) {
  *code1 = 0;
  *code2 = 0;
  return 0;
}

__attribute__((noinline)) void* BenchHost_AllocateMemory(uint64_t size, uint32_t) {
  return std::calloc(1, size);
}

__attribute__((noinline)) uint16_t BenchHost_FreeMemory(void* block) {
  std::free(block);
  return 0;
}

__attribute__((noinline)) void BenchHost_AssertionFailed(const char*, const char*, int32_t) {
  ++gHost.mAssertions;
}

// The one measured region: a single input change delivered to the plug-in.
__attribute__((noinline)) void BenchMeasured_Change(HandlePropertyChangeValueProc handler,
                                                    VorlaneParameters* params, ActorInfo* info,
                                                    uint16_t index, Value* value) {
  handler(params, info, index, nullptr, value, 0);
}

}  // extern "C"

namespace {

void* gServiceSlots[HostServiceOffset::kTableSize / 8 + 1] = {};

template <class Fn>
void SetService(size_t offset, Fn fn) {
  void* slot = reinterpret_cast<void*>(fn);
  std::memcpy(reinterpret_cast<char*>(gServiceSlots) + offset, &slot, sizeof(slot));
}

const char* const kLayoutA[19] = {
    "hip",        "spine",       "chest",       "neck",        "head",
    "left shoulder", "left elbow", "left hand", "right shoulder", "right elbow",
    "right hand", "left hip",    "left knee",   "left foot",   "right hip",
    "right knee", "right foot",  "left toe",    "right toe"};

// The same joints in their order, or reversed: another label hash, and the
// selection still finds its four joints.
SkeletonPkg* MakeSkeleton(bool reversed) {
  SkeletonPkg* pkg = CreateSkeletonPkg(19);
  for (uint32_t i = 0; i < 19; ++i) {
    std::strncpy(pkg->points[i].name, kLayoutA[reversed ? 18 - i : i], kSkeletonNameSize);
  }
  pkg->tracking_state = kSkeletonTracked;
  UpdateSkeletonLabelHash(pkg);
  return pkg;
}

std::vector<char> MakeHostString(const char* text) {
  std::vector<char> block(8 + std::strlen(text) + 1, 0);
  std::memcpy(block.data() + 8, text, std::strlen(text) + 1);
  return block;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <plug-in file> ordinary|layout <count>\n", argv[0]);
    return 2;
  }
  const std::string scenario = argv[2];
  const int count = std::atoi(argv[3]);
  if ((scenario != "ordinary" && scenario != "layout") || count < 1) return 2;

  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 1;
  }
  auto getActorInfo = reinterpret_cast<void (*)(void*, ActorInfo*)>(dlsym(module, "GetActorInfo"));
  if (getActorInfo == nullptr) return 1;

  SetService(HostServiceOffset::kGetInputPropertyValue, &BenchHost_GetInputPropertyValue);
  SetService(HostServiceOffset::kSetOutputPropertyValue, &BenchHost_SetOutputPropertyValue);
  SetService(HostServiceOffset::kGetPropertyCount, &BenchHost_GetPropertyCount);
  SetService(HostServiceOffset::kAddOutputProperty, &BenchHost_AddOutputProperty);
  SetService(HostServiceOffset::kRemoveOutputProperty, &BenchHost_RemoveOutputProperty);
  SetService(HostServiceOffset::kSetPropertyDisplayName, &BenchHost_SetPropertyDisplayName);
  SetService(HostServiceOffset::kGetPropertyTypeCodes, &BenchHost_GetPropertyTypeCodes);
  SetService(HostServiceOffset::kAllocateMemory, &BenchHost_AllocateMemory);
  SetService(HostServiceOffset::kFreeMemory, &BenchHost_FreeMemory);
  SetService(HostServiceOffset::kAssertionFailed, &BenchHost_AssertionFailed);
  VorlaneParameters params{};
  params.mServiceTable = gServiceSlots;

  static ActorInfo info{};
  getActorInfo(nullptr, &info);
  info.mActorRef = &gHost;
  info.mCreateActor(&params, &info);
  info.mActivateActor(&params, &info, 1);

  // Channels 64 and a selection, set up before any skeleton.
  std::vector<char> selection = MakeHostString("left hand, right hand, head, neck");
  gHost.mInputs[3].mType = kValueTypeString;
  gHost.mInputs[3].mString = reinterpret_cast<HostString*>(selection.data());
  info.mHandlePropertyChangeValue(&params, &info, 3, nullptr, &gHost.mInputs[3], 0);
  gHost.mInputs[2].mType = kValueTypeInteger;
  gHost.mInputs[2].mInteger = 64;
  info.mHandlePropertyChangeValue(&params, &info, 2, nullptr, &gHost.mInputs[2], 0);

  SkeletonPkg* skeletons[2] = {MakeSkeleton(false), MakeSkeleton(true)};
  Value* input = &gHost.mInputs[1];
  input->mType = kValueTypeData;
  auto deliver = [&](SkeletonPkg* pkg, bool measured) {
    input->mData = pkg;
    if (measured) {
      BenchMeasured_Change(info.mHandlePropertyChangeValue, &params, &info, 1, input);
    } else {
      info.mHandlePropertyChangeValue(&params, &info, 1, nullptr, input, 0);
    }
  };
  // Warm-up: both layouts once each and a few ordinary arrivals, so that lazy
  // symbol binding and first-touch costs stay out of the measured calls.
  for (int i = 0; i < 4; ++i) deliver(skeletons[i % 2], false);
  for (int i = 0; i < 4; ++i) deliver(skeletons[1], false);

  for (int i = 0; i < count; ++i) {
    if (scenario == "ordinary") {
      SkeletonPkg* pkg = skeletons[1];
      for (uint32_t p = 0; p < pkg->point_count; ++p) pkg->points[p].x = static_cast<float>(i + p);
      deliver(pkg, true);
    } else {
      deliver(skeletons[i % 2], true);
    }
  }

  const bool complete = gHost.mOutputCount == kMaxOutputs && gHost.mAssertions == 0 &&
                        std::strcmp(gHost.mOutputNames[5], "left hand x") == 0 &&
                        std::strcmp(gHost.mOutputNames[13], "head z") == 0 &&
                        gHost.mOutputs[5].mType == kValueTypeFloat;
  info.mActivateActor(&params, &info, 0);
  info.mDisposeActor(&params, &info);
  DisposeSkeletonPkg(skeletons[0]);
  DisposeSkeletonPkg(skeletons[1]);
  std::printf("%s: %d calls, %u outputs, %u assertions%s\n", scenario.c_str(), count,
              gHost.mOutputCount, gHost.mAssertions, complete ? "" : " (UNEXPECTED STATE)");
  return complete ? 0 : 1;
}
