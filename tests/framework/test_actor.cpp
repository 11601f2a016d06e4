// A small actor used only by the tests: it exercises every framework path
// (registration, data block, value readers, string values, message receiver,
// assertions, picture) so that the framework and the stand-in host can be
// proven against each other without the product actors.
//
// Inputs: count (int 0..100, default 7), gain (float -1..1, 0.5), enabled
// (bool, 1), label (string), skeleton_in (skeleton), mode (propdef 0..2).
// Outputs: echo (count, sent on every change), text (label), skeleton (the
// package on skeleton_in, passed through), ticks (kind-0x80 messages seen).
#include <cstring>
#include <stdexcept>

#include "framework/actor_assert.h"
#include "framework/actor_data.h"
#include "framework/actor_entry_points.h"
#include "framework/four_char_code.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "skeleton/skeleton_pkg.h"

namespace {

struct TestActorData {
  VorlaneParameters* mParameters;
  ActorInfo* mActorInfo;
  void* mReceiverHandle;
  int64_t mTicks;
  double mGain;
  uint8_t mEnabled;
  int64_t mMode;
};

struct CTestActor {
  static constexpr const char* kDisplayName = "Test Actor";
  static constexpr uint32_t kClassCode = FourCharCode("cntl");
  static constexpr uint32_t kActorID = FourCharCode("_tst");
  static constexpr const char* kHelpStrings[] = {
      "A test actor that echoes its inputs.",
      "Number echoed on 'echo'.",
      "A gain that is only stored.",
      "Switch that is only stored.",
      "Text echoed on 'text'.",
      "A skeleton passed through to 'skeleton'.",
      "A mode shown as text: zero, one or two.",
      "The last 'count'.",
      "The last 'label'.",
      "The skeleton that arrived on 'skeleton_in'.",
      "The number of service messages received.",
  };

  static const char* ParameterString() {
    return "INPROP \tcount\t\t\tcont\tint\t\t\t\tnumber\t\t\t\t0\t\t100\t\t7\r"
           "INPROP \tgain\t\t\tgain\tfloat\t\t\tnumber\t\t\t\t-1\t\t1\t\t0.5\r"
           "INPROP \tenabled\t\t\tenbl\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
           "INPROP \tlabel\t\t\tlabl\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
           "INPROP\t\tskeleton_in\t\tskli\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
           "INPROP\t\tmode\t\t\tmode\tint\t\t\t\tpropdef\t\t\t\t0\t\t2\t\t0\r"
           "OUTPROP\techo\t\t\techo\tint\t\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
           "OUTPROP\ttext\t\t\ttext\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
           "OUTPROP\tskeleton\t\tskel\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
           "OUTPROP\tticks\t\t\ttick\tint\t\t\t\tnumber\t\t\t\t0\t\t*\t\t0\r";
  }

  static void Create(VorlaneParameters* params, ActorInfo* info) {
    auto* data = static_cast<TestActorData*>(
        CreateActorData(params, info, sizeof(TestActorData), kDisplayName));
    if (data == nullptr) return;
    data->mParameters = params;
    data->mActorInfo = info;
  }

  static uint16_t Dispose(VorlaneParameters* params, ActorInfo* info) {
    return DisposeActorData(params, info, kDisplayName);
  }

  static void Activate(VorlaneParameters* params, ActorInfo* info, uint8_t active) {
    auto* data = ActorData<TestActorData>(info);
    if (active != 0) {
      data->mTicks = 0;
      data->mReceiverHandle = Host::RegisterMessageReceiver(
          params, &CActorEntryPoints<CTestActor>::ReceiveMessage, 0x80, info, info);
    } else {
      Host::UnregisterMessageReceiver(params, data->mReceiverHandle);
      data->mReceiverHandle = nullptr;
      Value none = MakeDataValue(nullptr);
      Host::SetOutputPropertyValue(params, info->mActorRef, 3, &none);
    }
  }

  static void PropertyChanged(VorlaneParameters* params, ActorInfo* info, uint16_t index, Value*,
                              Value* value, uint8_t) {
    auto* data = ActorData<TestActorData>(info);
    switch (index) {
      case 1: {
        Value echo = MakeIntegerValue(ValueToInteger(value));
        Host::SetOutputPropertyValue(params, info->mActorRef, 1, &echo);
        break;
      }
      case 2:
        data->mGain = ValueToDouble(value);
        break;
      case 3:
        data->mEnabled = ValueToSwitch(value) ? 1 : 0;
        break;
      case 4: {
        const char* text = ValueToText(value);
        Value out{};
        if (Host::MakeStringValue(params, text != nullptr ? text : "", &out) == kVorlNoError) {
          Host::SetOutputPropertyValue(params, info->mActorRef, 2, &out);
          Host::ReleaseValue(params, &out);
        }
        break;
      }
      case 5: {
        void* pkg = ValueToData(value);
        Value out = MakeDataValue(IsSkeletonPkg(pkg) ? pkg : nullptr);
        Host::SetOutputPropertyValue(params, info->mActorRef, 3, &out);
        break;
      }
      case 6:
        data->mMode = ValueToInteger(value);
        break;
      default:
        VORL_ASSERT(params, kDisplayName, false);
        break;
    }
  }

  static bool ValueToString(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
                            Value* value, char* text) {
    if (SkeletonPropertyValueToString(kind, index, kKindInput, 5, text)) return true;
    if (SkeletonPropertyValueToString(kind, index, kKindOutput, 3, text)) return true;
    if (kind == kKindInput && index == 6) {
      static constexpr const char* kModes[] = {"zero", "one", "two"};
      const uint64_t mode = ValueBits(value);
      if (mode < 3) std::strcpy(text, kModes[mode]);
      return mode < 3;
    }
    return false;
  }

  static bool StringToValue(VorlaneParameters* params, ActorInfo*, uint8_t kind, uint16_t index,
                            const char* text, Value* value) {
    if (kind != kKindInput || index != 6) return false;
    static constexpr const char* kModes[] = {"zero", "one", "two"};
    const int32_t found = Host::FindStringInList(params, 3, kModes, text);
    if (found < 0) return false;
    *value = MakeIntegerValue(found);
    return true;
  }

  static intptr_t ReceiveMessage(VorlaneParameters* params, uint32_t kind, uint16_t, const uint8_t*,
                                 uint32_t, ActorInfo* info) {
    auto* data = ActorData<TestActorData>(info);
    if ((kind & 0x80) == 0) return 0;
    ++data->mTicks;
    Value ticks = MakeIntegerValue(data->mTicks);
    Host::SetOutputPropertyValue(params, info->mActorRef, 4, &ticks);
    // A way for tests to see that an exception never reaches the host.
    if (data->mMode == 2) throw std::runtime_error("test actor: mode two throws");
    return static_cast<intptr_t>(data->mTicks);
  }
};

}  // namespace

VORL_EXPORT void GetActorInfo(void*, ActorInfo* info) { RegisterActor<CTestActor>(info); }
