// A probe plug-in for the host's tests, written against the literal byte
// offsets only (no shared declarations), so that the host is tested against
// the contract and not against our own headers.
//
// It reports what happens to it as text on output 1 ('log'), one event per
// value: "create", "activate 1", "change <index> flag <f> tag <t> value <v>
// seen <v>" (seen = what GetInputPropertyValue answers inside the callback),
// "message <kind> <arg>", "activate 0". Input 5 ('command') runs a command on
// every change, to make the probe call the services tests want exercised.
//
// Built in variants: PROBE_NULL_HELP leaves GetHelpString null,
// PROBE_BAD_DEFINITIONS declares its properties without the final CR,
// PROBE_WIDE declares as many inputs as a 16-bit index can number (65,535).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/host/raw_contract.h"

namespace {

constexpr const char* kName = "Host Probe";

// Per-instance block (from AllocateMemory): receiver handle, then a count of
// outputs added so far.
struct ProbeData {
  void* mReceiver;
  uint32_t mAdded;
  void* mLeak;
};

// A 2-point skeleton package laid out by hand.
alignas(8) unsigned char gPackage[52 + 2 * 44];
// The plug-in's picture record, filled by the host.
alignas(8) unsigned char gPicture[32];

void* Ref(ActorInfo* info) { return ReadAt<void*>(info, 40); }
ProbeData* Data(ActorInfo* info) { return ReadAt<ProbeData*>(info, 592); }

void Log(VorlaneParameters* params, ActorInfo* info, const char* text) {
  alignas(8) unsigned char value[16] = {};
  if (Service<MakeStringFn>(params, 0x310)(text, reinterpret_cast<Value*>(value)) != 0) return;
  Service<SetOutputFn>(params, 0x38)(Ref(info), 1, reinterpret_cast<Value*>(value));
  Service<ReleaseValueFn>(params, 0x318)(reinterpret_cast<Value*>(value));
}

void Describe(const void* value, char* out, size_t size) {
  if (value == nullptr) {
    std::snprintf(out, size, "null");
    return;
  }
  const auto tag = ReadAt<uint16_t>(value, 0);
  if (tag == 3) {
    std::snprintf(out, size, "%g", ReadAt<double>(value, 8));
  } else if (tag == 6) {
    const char* s = ReadAt<const char*>(value, 8);
    std::snprintf(out, size, "'%s'", s != nullptr ? s + 8 : "(null)");
  } else if (tag == 5) {
    std::snprintf(out, size, "%s", ReadAt<void*>(value, 8) != nullptr ? "ptr" : "nullptr");
  } else {
    std::snprintf(out, size, "%lld", static_cast<long long>(ReadAt<int64_t>(value, 8)));
  }
}

intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t arg, const uint8_t*,
                        uint32_t, void* refcon) {
  auto* info = static_cast<ActorInfo*>(refcon);
  char text[64];
  std::snprintf(text, sizeof text, "message 0x%X %u", kind, arg);
  Log(params, info, text);
  if ((kind & 0x1000) == 0) return 0;
  void* token = Service<BeginRenderFn>(params, 0x190)(Data(info), kind, arg, nullptr);
  return Service<EndRenderFn>(params, 0x198)(token);
}

void RunCommand(VorlaneParameters* params, ActorInfo* info, int64_t command) {
  ProbeData* data = Data(info);
  void* ref = Ref(info);
  switch (command) {
    case 1: {  // add an output like output 2, template 'nout'
      uint32_t code1 = 0, code2 = 0;
      Service<TypeCodesFn>(params, 0x1c8)(ref, 2, 2, &code1, &code2);
      alignas(8) unsigned char lo[16] = {}, hi[16] = {}, def[16] = {};
      WriteAt<uint16_t>(lo, 0, 2);
      WriteAt<int64_t>(lo, 8, -10);
      WriteAt<uint16_t>(hi, 0, 2);
      WriteAt<int64_t>(hi, 8, 10);
      WriteAt<uint16_t>(def, 0, 2);
      ++data->mAdded;
      const uint32_t id = 0x61640000u | (('0' + data->mAdded / 10) << 8) | ('0' + data->mAdded % 10);
      char name[32];
      std::snprintf(name, sizeof name, "added_%u", data->mAdded);
      const uint16_t err = Service<AddOutputFn>(params, 0xc0)(
          ref, 2, id, 0x6E6F7574 /* 'nout' */, name, 0, code1, code2, 255, reinterpret_cast<Value*>(lo),
          reinterpret_cast<Value*>(hi), reinterpret_cast<Value*>(def), 0, 0, 0);
      char text[32];
      std::snprintf(text, sizeof text, "added %u", err);
      Log(params, info, text);
      break;
    }
    case 2: {  // remove the last output
      uint32_t count = 0;
      Service<CountFn>(params, 0xd0)(ref, 2, &count);
      Service<RemoveOutputFn>(params, 0xc8)(ref, 2, static_cast<uint16_t>(count));
      break;
    }
    case 3:
      Service<SetNameFn>(params, 0x510)(ref, 2, 2, "renamed");
      break;
    case 4: {  // publish the package on output 3
      WriteAt<uint32_t>(gPackage, 0, 0x736B656C);
      gPackage[4] = 1;
      std::memcpy(gPackage + 12, "skeleton", 9);
      gPackage[33] = 2;
      WriteAt<uint32_t>(gPackage, 48, 2);
      std::memcpy(gPackage + 52, "head", 5);
      WriteAt<float>(gPackage, 52 + 32, 1.5f);
      std::memcpy(gPackage + 96, "neck", 5);
      WriteAt<float>(gPackage, 96 + 40, -2.0f);
      alignas(8) unsigned char value[16] = {};
      WriteAt<uint16_t>(value, 0, 5);
      WriteAt<void*>(value, 8, gPackage);
      Service<SetOutputFn>(params, 0x38)(ref, 3, reinterpret_cast<Value*>(value));
      break;
    }
    case 5:  // a block nobody frees until disposal
      if (data->mLeak == nullptr) data->mLeak = Service<AllocFn>(params, 0x118)(100, 1);
      break;
    case 6:
      Service<AssertFn>(params, 0x160)("probe != nil", kName, 42);
      break;
    case 7: {  // an int value on the string output: a type violation
      alignas(8) unsigned char value[16] = {};
      WriteAt<uint16_t>(value, 0, 2);
      Service<SetOutputFn>(params, 0x38)(ref, 1, reinterpret_cast<Value*>(value));
      break;
    }
    case 8:  // lose the receiver handle: deactivation cannot unregister it
      data->mReceiver = nullptr;
      break;
    default:
      break;
  }
}

const char* GetParameterString(VorlaneParameters*, ActorInfo*) {
#ifdef PROBE_WIDE
  static const std::string wide = [] {
    std::string text;
    for (int i = 1; i <= 65535; ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "INPROP\tin%d\ti%05d\tint\tnumber\t*\t*\t%d\r", i, i, i);
      text += line;
    }
    return text + "OUTPROP\tlog\tlogo\tstring\ttext\t*\t*\t\r";
  }();
  return wide.c_str();
#endif
  return "INPROP \tnumber\t\t\tnumb\tint\t\t\t\tnumber\t\t\t\t0\t\t100\t\t5\r"
         "INPROP \tratio\t\t\trato\tfloat\t\t\tnumber\t\t\t\t-1\t\t1\t\t0.25\r"
         "INPROP \tlabel\t\t\tlabl\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
         "INPROP \tpkg\t\t\tpkgi\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
         "INPROP \tcommand\t\t\tcmnd\tint\t\t\t\tnumber\t\t\t\t0\t\t*\t\t0\r"
         "OUTPROP\tlog\t\t\tlogo\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
         "OUTPROP\tnumber_out\t\tnout\tint\t\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
#ifdef PROBE_BAD_DEFINITIONS
         "OUTPROP\tskel\t\t\tskel\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0";
#else
         "OUTPROP\tskel\t\t\tskel\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r";
#endif
}

constexpr const char* kHelp[] = {"The probe.", "number help", "ratio help", "label help",
                                 "pkg help",   "command help", "log help",  "number_out help",
                                 "skel help"};

[[maybe_unused]] void GetHelpString(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index,
                   char* buffer, uint32_t size) {
  const int32_t entry = Service<HelpIndexFn>(params, 0xb8)(Ref(info), kind, index);
  if (size == 0) return;
  const char* text = entry >= 0 && entry < 9 ? kHelp[entry] : "";
  std::strncpy(buffer, text, size);
  buffer[size - 1] = 0;
}

void CreateActor(VorlaneParameters* params, ActorInfo* info) {
  void* block = Service<AllocFn>(params, 0x118)(sizeof(ProbeData), 1);
  WriteAt<void*>(info, 592, block);
  if (block != nullptr) Log(params, info, "create");
}

uint16_t DisposeActor(VorlaneParameters* params, ActorInfo* info) {
  ProbeData* data = Data(info);
  if (data != nullptr && data->mLeak != nullptr) Service<FreeFn>(params, 0x120)(data->mLeak);
  return Service<FreeFn>(params, 0x120)(data);
}

void ActivateActor(VorlaneParameters* params, ActorInfo* info, uint8_t active) {
  ProbeData* data = Data(info);
  if (data == nullptr) return;
  if (active != 0) {
    data->mReceiver = Service<RegisterFn>(params, 0x8)(&ReceiveMessage, 0, 0x80 | 0x1000, info, 0, info);
    Log(params, info, "activate 1");
  } else {
    Service<UnregisterFn>(params, 0x10)(data->mReceiver);
    data->mReceiver = nullptr;
    Log(params, info, "activate 0");
  }
}

void HandlePropertyChangeValue(VorlaneParameters* params, ActorInfo* info, uint16_t index, Value*,
                               Value* value, uint8_t flag) {
  if (Data(info) == nullptr) return;
  char now[96], seen[96], text[256];
  Describe(value, now, sizeof now);
  Describe(Service<GetInputFn>(params, 0x30)(Ref(info), index), seen, sizeof seen);
  std::snprintf(text, sizeof text, "change %u flag %u tag %u value %s seen %s", index, flag,
                value != nullptr ? ReadAt<uint16_t>(value, 0) : 0u, now, seen);
  Log(params, info, text);
  if (index == 1 && value != nullptr) {
    Service<SetOutputFn>(params, 0x38)(Ref(info), 2, value);
  }
  if (index == 5 && value != nullptr) RunCommand(params, info, ReadAt<int64_t>(value, 8));
}

uint8_t PropertyValueToString(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index, Value*,
                              char* text) {
  // As Bonescope does for some properties: "written" without a character.
  if (kind == 2 && index == 2) return 1;
  if (kind != 1 || index != 4) return 0;
  std::strcpy(text, "skeleton");
  return 1;
}

uint8_t GetActorDefinedArea(VorlaneParameters* params, ActorInfo* info, int16_t* w, int16_t* h,
                            int16_t* third, int16_t* fourth) {
  using LoadFn = void (*)(ActorInfo*, uint32_t, PictInfo*);
  if (gPicture[0] == 0) Service<LoadFn>(params, 0x168)(info, 0, reinterpret_cast<PictInfo*>(gPicture));
  *w = static_cast<int16_t>(ReadAt<uint16_t>(gPicture, 24));
  *h = static_cast<int16_t>(ReadAt<uint16_t>(gPicture, 26));
  *third = 0;
  *fourth = 0;
  return 1;
}

void DrawActorDefinedArea(VorlaneParameters* params, ActorInfo* info, void*, uint16_t part, uint16_t,
                          Rect* area, Rect*, uint8_t state) {
  using DrawFn = void (*)(ActorInfo*, uint8_t, Rect*, PictInfo*);
  if (part == 1 && gPicture[0] == 1) {
    Service<DrawFn>(params, 0x170)(info, state, area, reinterpret_cast<PictInfo*>(gPicture));
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void GetActorInfo(void*, ActorInfo* info) {
  WriteAt<uint32_t>(info, 0, 0x636E746C);  // 'cntl'
  WriteAt<uint32_t>(info, 8, 0x5F707262);  // '_prb'
  WriteAt<uint32_t>(info, 12, 256);
  WriteAt<uint32_t>(info, 16, 128);
  WriteAt<const char*>(info, 24, kName);
  WriteAt<void*>(info, 624, reinterpret_cast<void*>(&GetParameterString));
#ifndef PROBE_NULL_HELP
  WriteAt<void*>(info, 632, reinterpret_cast<void*>(&GetHelpString));
#endif
  WriteAt<void*>(info, 640, reinterpret_cast<void*>(&CreateActor));
  WriteAt<void*>(info, 648, reinterpret_cast<void*>(&DisposeActor));
  WriteAt<void*>(info, 656, reinterpret_cast<void*>(&ActivateActor));
  WriteAt<void*>(info, 672, reinterpret_cast<void*>(&HandlePropertyChangeValue));
  WriteAt<void*>(info, 696, reinterpret_cast<void*>(&PropertyValueToString));
  WriteAt<void*>(info, 720, reinterpret_cast<void*>(&GetActorDefinedArea));
  WriteAt<void*>(info, 728, reinterpret_cast<void*>(&DrawActorDefinedArea));
}
