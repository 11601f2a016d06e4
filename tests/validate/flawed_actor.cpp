// A small actor written against the literal byte offsets, built once sound
// and once per flaw that the validator must find:
//
//   FLAW_NULL_STRING      reads a string input without looking for null
//   FLAW_LEAK_STRING      never releases the host string it sends
//   FLAW_SECOND_EXPORT    exports a second symbol
//   FLAW_HANG             never returns from its tick receiver
//   FLAW_BAD_DEFINITION   declares its last property without the closing CR
//   FLAW_RECEIVER_LEFT    leaves its message receiver registered at deactivation
//   FLAW_PACKAGE_FREED    frees its published package without publishing null first
//   FLAW_HEAP_PACKAGE_FREED  the same with its package from the C heap, as the
//                         watcher's is
//   FLAW_THREAD_LEFT      starts a thread that outlives its last instance
//   FLAW_ALLOCATES        allocates from the heap on every tick
//   FLAW_WRITE_PAST_BLOCK writes one byte past its instance block in CreateActor
//   FLAW_OFF_THREAD_CALL  calls a service from a thread it starts at activation
//
// Built without a linker version script (FLAW_SECOND_EXPORT, and the sound
// variant "unscripted"), the file also carries the symbols the linker defines.
//
// Inputs: label (string), skeleton_in (data=skel), count (int). Outputs:
// skeleton (data=skel, a 1-point package per tick) and text ("label: ...").
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tests/host/raw_contract.h"

namespace {

constexpr size_t kPackageSize = 52 + 44;

struct FlawedData {
  void* mReceiver;
  unsigned char* mPackage;  // from AllocateMemory (or the C heap), published on output 1
  uint32_t mFrame;
  bool mActive;
};

#ifdef FLAW_HEAP_PACKAGE_FREED
#define FLAW_PACKAGE_FREED
unsigned char* NewPackage(VorlaneParameters*) { return static_cast<unsigned char*>(std::calloc(1, kPackageSize)); }
void FreePackage(VorlaneParameters*, unsigned char* package) { std::free(package); }
#else
unsigned char* NewPackage(VorlaneParameters* params) {
  return static_cast<unsigned char*>(Service<AllocFn>(params, 0x118)(kPackageSize, 1));
}
void FreePackage(VorlaneParameters* params, unsigned char* package) { Service<FreeFn>(params, 0x120)(package); }
#endif

void* Ref(ActorInfo* info) { return ReadAt<void*>(info, 40); }
FlawedData* Data(ActorInfo* info) { return ReadAt<FlawedData*>(info, 592); }

void Publish(VorlaneParameters* params, ActorInfo* info, const void* package) {
  alignas(8) unsigned char value[16] = {};
  WriteAt<uint16_t>(value, 0, 5);
  WriteAt<const void*>(value, 8, package);
  Service<SetOutputFn>(params, 0x38)(Ref(info), 1, reinterpret_cast<Value*>(value));
}

intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t, uint16_t, const uint8_t*, uint32_t, void* refcon) {
  auto* info = static_cast<ActorInfo*>(refcon);
  FlawedData* data = Data(info);
  if (data == nullptr || !data->mActive) return 0;  // a message already on its way at deactivation
#ifdef FLAW_ALLOCATES
  void* volatile scratch = std::malloc(64);
  std::free(scratch);
#endif
#ifdef FLAW_HANG
  volatile bool forever = true;
  while (forever) {
  }
#endif
  if (data->mPackage == nullptr) {
    data->mPackage = NewPackage(params);
    if (data->mPackage == nullptr) return 0;
    WriteAt<uint32_t>(data->mPackage, 0, 0x736B656C);  // 'skel'
    data->mPackage[4] = 1;
    std::memcpy(data->mPackage + 12, "skeleton", 9);
    WriteAt<uint32_t>(data->mPackage, 48, 1);
    std::memcpy(data->mPackage + 52, "head", 5);
  }
  WriteAt<uint32_t>(data->mPackage, 8, ++data->mFrame);
  Publish(params, info, data->mPackage);
  return 0;
}

const char* GetParameterString(VorlaneParameters*, ActorInfo*) {
  return "INPROP \tlabel\t\t\tlabl\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
         "INPROP \tskeleton_in\t\tskli\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
         "INPROP \tcount\t\t\tcont\tint\t\t\t\tnumber\t\t\t\t0\t\t100\t\t1\r"
         "OUTPROP\tskeleton\t\tskel\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
#ifdef FLAW_BAD_DEFINITION
         "OUTPROP\ttext\t\t\ttext\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t";
#else
         "OUTPROP\ttext\t\t\ttext\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r";
#endif
}

constexpr const char* kHelp[] = {"An actor with one flaw at most.", "label help", "skeleton_in help", "count help",
                                 "skeleton help", "text help"};

void GetHelpString(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index, char* buffer,
                   uint32_t size) {
  const int32_t entry = Service<HelpIndexFn>(params, 0xb8)(Ref(info), kind, index);
  if (size == 0 || buffer == nullptr) return;
  const char* text = entry >= 0 && entry < 6 ? kHelp[entry] : "";
  std::strncpy(buffer, text, size);
  buffer[size - 1] = 0;
}

void CreateActor(VorlaneParameters* params, ActorInfo* info) {
#ifdef FLAW_THREAD_LEFT
  static bool sStarted = false;
  if (!sStarted) {
    sStarted = true;
    std::thread([] {
      for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }).detach();
  }
#endif
  void* block = Service<AllocFn>(params, 0x118)(sizeof(FlawedData), 1);
  WriteAt<void*>(info, 592, block);
#ifdef FLAW_WRITE_PAST_BLOCK
  if (block != nullptr) static_cast<unsigned char*>(block)[sizeof(FlawedData)] = 1;
#endif
}

uint16_t DisposeActor(VorlaneParameters* params, ActorInfo* info) {
  FlawedData* data = Data(info);
  if (data == nullptr) return 0;
#ifndef FLAW_RECEIVER_LEFT
  if (data->mReceiver != nullptr) Service<UnregisterFn>(params, 0x10)(data->mReceiver);  // disposed while active
#endif
  if (data->mPackage != nullptr) {
    Publish(params, info, nullptr);
    FreePackage(params, data->mPackage);
  }
  return Service<FreeFn>(params, 0x120)(data);
}

void ActivateActor(VorlaneParameters* params, ActorInfo* info, uint8_t active) {
  FlawedData* data = Data(info);
  if (data == nullptr) return;
  data->mActive = active != 0;
  if (active != 0) {
    if (data->mReceiver == nullptr) {
      data->mReceiver = Service<RegisterFn>(params, 0x8)(&ReceiveMessage, 0, 0x80, info, 0, info);
    }
#ifdef FLAW_OFF_THREAD_CALL
    uint32_t outputs = 0;
    void* ref = Ref(info);
    std::thread([params, ref, &outputs] { Service<CountFn>(params, 0xd0)(ref, 2, &outputs); }).join();
#endif
    return;
  }
#ifndef FLAW_RECEIVER_LEFT
  if (data->mReceiver != nullptr) Service<UnregisterFn>(params, 0x10)(data->mReceiver);
  data->mReceiver = nullptr;
#endif
  if (data->mPackage != nullptr) {
#ifndef FLAW_PACKAGE_FREED
    Publish(params, info, nullptr);
#endif
    FreePackage(params, data->mPackage);
    data->mPackage = nullptr;
  }
}

void HandlePropertyChangeValue(VorlaneParameters* params, ActorInfo* info, uint16_t index, Value*, Value* value,
                               uint8_t) {
  if (Data(info) == nullptr || index != 1 || value == nullptr || ReadAt<uint16_t>(value, 0) != 6) return;
  const char* hostString = ReadAt<const char*>(value, 8);
#ifdef FLAW_NULL_STRING
  std::string text = std::string("label: ") + (hostString + 8);
#else
  std::string text = std::string("label: ") + (hostString != nullptr ? hostString + 8 : "");
#endif
  alignas(8) unsigned char out[16] = {};
  if (Service<MakeStringFn>(params, 0x310)(text.c_str(), reinterpret_cast<Value*>(out)) != 0) return;
  Service<SetOutputFn>(params, 0x38)(Ref(info), 2, reinterpret_cast<Value*>(out));
#ifndef FLAW_LEAK_STRING
  Service<ReleaseValueFn>(params, 0x318)(reinterpret_cast<Value*>(out));
#endif
}

uint8_t PropertyValueToString(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, Value*, char*) { return 0; }

uint8_t GetActorDefinedArea(VorlaneParameters*, ActorInfo*, int16_t*, int16_t*, int16_t*, int16_t*) { return 0; }

void DrawActorDefinedArea(VorlaneParameters*, ActorInfo*, void*, uint16_t, uint16_t, Rect*, Rect*, uint8_t) {}

}  // namespace

#ifdef FLAW_SECOND_EXPORT
extern "C" __attribute__((visibility("default"))) int FlawedActorVersion() { return 1; }
#endif

extern "C" __attribute__((visibility("default"))) void GetActorInfo(void*, ActorInfo* info) {
  WriteAt<uint32_t>(info, 0, 0x636E746C);  // 'cntl'
  WriteAt<uint32_t>(info, 8, 0x5F666C77);  // '_flw'
  WriteAt<uint32_t>(info, 12, 256);
  WriteAt<uint32_t>(info, 16, 128);
  WriteAt<const char*>(info, 24, "Flawed Actor");
  WriteAt<void*>(info, 624, reinterpret_cast<void*>(&GetParameterString));
  WriteAt<void*>(info, 632, reinterpret_cast<void*>(&GetHelpString));
  WriteAt<void*>(info, 640, reinterpret_cast<void*>(&CreateActor));
  WriteAt<void*>(info, 648, reinterpret_cast<void*>(&DisposeActor));
  WriteAt<void*>(info, 656, reinterpret_cast<void*>(&ActivateActor));
  WriteAt<void*>(info, 672, reinterpret_cast<void*>(&HandlePropertyChangeValue));
  WriteAt<void*>(info, 696, reinterpret_cast<void*>(&PropertyValueToString));
  WriteAt<void*>(info, 720, reinterpret_cast<void*>(&GetActorDefinedArea));
  WriteAt<void*>(info, 728, reinterpret_cast<void*>(&DrawActorDefinedArea));
}
