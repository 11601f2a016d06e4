#include "suit_receiver/watcher_actor.h"

#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "framework/actor_assert.h"
#include "framework/actor_data.h"
#include "framework/actor_entry_points.h"
#include "framework/host_services.h"
#include "framework/value_access.h"
#include "skeleton/skeleton_pkg.h"
#include "suit_receiver/motiwear_client.h"
#include "suit_receiver/motiwear_data.h"
#include "suit_receiver/motiwear_message.h"
#include "suit_receiver/motiwear_mgr.h"
#include "suit_receiver/motiwear_pro.h"
#include "suit_receiver/receiver_threads.h"
#include "suit_receiver/watcher_info.h"

int CWatcherActor::sMotiWearActorsInstantiated = 0;

const char* const CWatcherActor::kHelpStrings[10] = {
    "Receives motion capture data from a MotiWear Pro via the Kavrin Studio Live application.",
    "The IP port number on which to receive messages from the Kavrin Studio Live. This should "
    "match the port number specified in the 'forward port' specified in the MotiWear Studio "
    "application.",
    "To receive data for a specific MotiWear Pro, enter the three letter code here (e.g., 'E46' or "
    "'404'). Otherwise, leave this input blank to receive from any MotiWear Pro. You must enter "
    "three characters here or the ID will ignored. Also, the capitalization must match -- entering "
    "'e46' will not match a suit with an ID of 'E46'.",
    "When turned on, the joint names for the skeleton will be a 'friendly version' based on the "
    "default position of the MotiWear sensors. When turned off, the joint names will be the "
    "'sensor address' provided by the MotiWear Pro. This two-digit hexadecimal number will match "
    "the one you see if you hover over on an individual sensor in Kavrin's MotiWear Studio "
    "application.",
    "When turned on, negates the x-coordinate to 'flip' the joint coordinates along the x-axis.",
    "When turned on, negates the y-coordinate to 'flip' the joint coordinates along the y-axis.",
    "When turned on, negates the z-coordinate to 'flip' the joint coordinates along the z-axis.",
// The help texts are the actor's own, split over lines like every other entry;
// clang takes this two-piece one for a missing comma between two elements.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wstring-concatenation"
#endif
    "The skeleton output for the body being tracked. Use a Bonesplit to access the individual "
    "points on the skeleton.",
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
    "The last error encountered while trying to setup communications with Kavrin Studio Live.",
    "Sends a trigger whenever the 'skeleton' or 'error' output changes.",
};

namespace {

constexpr const char* kActorName = CWatcherActor::kDisplayName;
constexpr uint32_t kSkeletonPoints = 19;

void SendSkeleton(const WatcherInfo* info, SkeletonPkg* pkg) {
  Value value = MakeDataValue(pkg);
  Host::SetOutputPropertyValue(info->mParameters, Host::ActorRef(info->mActorInfo),
                               CWatcherActor::kOutSkeleton, &value);
}

void SendErrorText(const WatcherInfo* info, const char* text) {
  Value value{};
  if (Host::MakeStringValue(info->mParameters, text, &value) != kVorlNoError) return;
  Host::SetOutputPropertyValue(info->mParameters, Host::ActorRef(info->mActorInfo),
                               CWatcherActor::kOutError, &value);
  Host::ReleaseValue(info->mParameters, &value);
}

void SendReceivedTrigger(const WatcherInfo* info) {
  Value value = MakeIntegerValue(1);
  Host::SetOutputPropertyValue(info->mParameters, Host::ActorRef(info->mActorInfo),
                               CWatcherActor::kOutReceivedPacket, &value);
}

// Names the package's joints from a template frame (slot addresses only) and
// republishes it without a trigger.
void NameJointsFromTemplate(WatcherInfo* info) {
  CMotiWearData templateFrame;
  templateFrame.InitSkeletonJointNames(info->mSkeleton, info->mNameJoints != 0);
  UpdateSkeletonLabelHash(info->mSkeleton);
  ++info->mSkeleton->update_count;
  info->mLabelsValid = 1;
  SendSkeleton(info, info->mSkeleton);
}

// Takes a receiver for the instance's port and adds its client with the
// suit filter the user typed, whenever it arrived.
void AcquireReceiver(WatcherInfo* info) {
  info->mReceiver = CMotiWearMgr::sMotiWearMgr.AcquireMotiWearPro(
      info->mParameters, std::string(info->mGroupAddress), info->mPort);
  // Drops of a shared receiver before this instance joined are not its own.
  info->mSeenDropCount = info->mReceiver->GetDroppedCount();
  info->mReceiver->mClients.AddClient(info->mClient);
  info->mReceiver->mClients.SetSuitID(info->mClient, std::string(info->mSuitID));
}

void ReleaseReceiver(WatcherInfo* info) {
  if (info->mReceiver == nullptr) return;
  if (info->mClient != nullptr) info->mReceiver->mClients.RemoveClient(info->mClient);
  info->mReceiver->Release();
  info->mReceiver = nullptr;
}

// Adds the messages the receiver dropped since the last look.
void CountDrops(WatcherInfo* info) {
  if (info->mReceiver == nullptr) return;
  const uint64_t dropped = info->mReceiver->GetDroppedCount();
  if (dropped > info->mSeenDropCount) info->mCounters.mMessagesDropped += dropped - info->mSeenDropCount;
  info->mSeenDropCount = dropped;
}

// Undoes what activation made: the message receiver, the receiver and its
// client, the queued messages and the package (cleared on `skeleton` first,
// as consumers may hold the pointer until the next value).
void Deactivate(VorlaneParameters* params, WatcherInfo* info) {
  if (info->mReceiverHandle != nullptr) {
    Host::UnregisterMessageReceiver(params, info->mReceiverHandle);
    info->mReceiverHandle = nullptr;
  }
  ReleaseReceiver(info);
  delete info->mClient;
  info->mClient = nullptr;
  if (info->mPackets != nullptr) {
    // Another instance on the same receiver may have queued some since this
    // instance's last ReceiveMessage.
    for (CMotiWearMessage* message : *info->mPackets) message->Release();
    delete info->mPackets;
    info->mPackets = nullptr;
  }
  SendSkeleton(info, nullptr);
  if (info->mSkeleton != nullptr) {
    DisposeSkeletonPkg(info->mSkeleton);
    info->mSkeleton = nullptr;
  }
}

bool IsActive(const WatcherInfo* info) {
  return info->mClient != nullptr || info->mReceiverHandle != nullptr || info->mPackets != nullptr;
}

// True when the message carries a decoded suit frame.
bool IsFrame(CMotiWearData* frame) {
  if (frame == nullptr) return false;
  CMutexLock lock(*frame);
  return frame->mNewData;
}

// A frame passes when the filter is empty, or has the frame's length and
// bytes (case-sensitive). Undecoded frames have an empty identifier.
bool PassesSuitFilter(const CMotiWearClient* client, CMotiWearData* frame) {
  if (client->mSuitID.empty()) return true;
  CMutexLock lock(*frame);
  return frame->mSuitID == client->mSuitID;
}

}  // namespace

const char* CWatcherActor::ParameterString() {
  return "INPROP \trecv_ip_port\tport\tint\t\t\t\tnumber\t\t\t\t0\t\t65535\t14043\r"
         "INPROP \tsuit_id\t\t\tstid\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
         "INPROP \tname_joints\t\tnmjt\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
         "INPROP \treverse_x\t\trevx\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t0\r"
         "INPROP \treverse_y\t\trevy\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
         "INPROP \treverse_z\t\trevz\tbool\t\t\tonoff\t\t\t\t0\t\t1\t\t0\r"
         "OUTPROP\tskeleton\t\tskel\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
         "OUTPROP\terror\t\t\terrr\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
         "OUTPROP\trecv_pkt\t\trcpk\tbool\t\t\ttrig\t\t\t\t0\t\t1\t\t0\r";
}

void CWatcherActor::Create(VorlaneParameters* params, ActorInfo* info) {
  auto* data =
      static_cast<WatcherInfo*>(CreateActorData(params, info, sizeof(WatcherInfo), kActorName));
  if (data != nullptr) {
    data->mParameters = params;
    data->mActorInfo = info;
    data->mReceiverThreads = &CMotiWearPro::sMotiWearThreadsRunning;
    data->mCounters.mSignature = CWatcherStreamCounters::kSignature;
    data->mCounters.mVersion = CWatcherStreamCounters::kVersion;
  }
  // Counted even without a data block, so that DisposeActor stays balanced.
  ++sMotiWearActorsInstantiated;
}

uint16_t CWatcherActor::Dispose(VorlaneParameters* params, ActorInfo* info) {
  VORL_ASSERT(params, kActorName, sMotiWearActorsInstantiated > 0);
  // A host that skipped ActivateActor(0) still gets back what activation
  // made; otherwise a shared receiver would call into the freed block.
  auto* data = ActorData<WatcherInfo>(info);
  if (data != nullptr && IsActive(data)) Deactivate(params, data);
  // A disposal more than the creations (a host calling DisposeActor twice
  // for one record) is told by the assertion above and leaves the count at
  // zero: below it, no later last disposal would join the receiver threads.
  if (sMotiWearActorsInstantiated > 0 && --sMotiWearActorsInstantiated == 0) {
    // No receiver thread may outlive the last instance, not even its last
    // instructions: the plug-in file may be unloaded right after this call.
    while (CMotiWearPro::sMotiWearThreadsRunning.load() > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    CReceiverThreads::JoinAll();
  }
  return DisposeActorData(params, info, kActorName);
}

void CWatcherActor::Activate(VorlaneParameters* params, ActorInfo* actor, uint8_t active) {
  auto* info = ActorData<WatcherInfo>(actor);
  if (info == nullptr) return;
  // A repeated activation first gives back what the previous one made.
  if (IsActive(info)) Deactivate(params, info);
  if (active == 0) return;

  info->mGroupAddress[0] = 0;
  info->mPort = 0;
  info->mPortChanged = 0;
  info->mSeenErrorCount = 0;
  info->mReceiver = nullptr;
  info->mSuitID[0] = 0;
  info->mInitialized = 0;
  info->mLabelsValid = 0;
  info->mNameJoints = 0;
  info->mSkeleton = nullptr;
  info->mReceiverHandle =
      Host::RegisterMessageReceiver(params, &CActorEntryPoints<CWatcherActor>::ReceiveMessage,
                                    kServiceMessageMask, actor, actor);
  info->mClient = new CMotiWearClient;
  info->mClient->mCallback = &MotiWearCallback;
  info->mClient->mContext = info;
  info->mPackets = new std::vector<CMotiWearMessage*>;
}

void CWatcherActor::PropertyChanged(VorlaneParameters* params, ActorInfo* actor, uint16_t index,
                                    Value*, Value* value, uint8_t flag) {
  auto* info = ActorData<WatcherInfo>(actor);
  switch (index) {
    case kInPort: {
      const auto port = static_cast<uint16_t>(ValueBits(value) & 0xFFFF);
      if (port != info->mPort) {
        info->mPort = port;
        info->mPortChanged = 1;
      }
      break;
    }
    case kInSuitID: {
      const char* text = ValueToText(value);
      if (text != nullptr) {
        // info is not null: the entry-point layer calls here only with a data block.
        std::strncpy(info->mSuitID, text, sizeof(info->mSuitID));  // NOLINT(clang-analyzer-core.NonNullParamChecker)
        info->mSuitID[3] = 0;
        if (info->mReceiver != nullptr && info->mClient != nullptr)
          info->mReceiver->mClients.SetSuitID(info->mClient, std::string(info->mSuitID));
      }
      break;
    }
    case kInNameJoints:
      info->mNameJoints = ValueToSwitch(value) ? 1 : 0;
      info->mLabelsValid = 0;
      break;
    case kInReverseX:
      info->mReverseX = ValueToSwitch(value) ? 1 : 0;
      break;
    case kInReverseY:
      info->mReverseY = ValueToSwitch(value) ? 1 : 0;
      break;
    case kInReverseZ:
      info->mReverseZ = ValueToSwitch(value) ? 1 : 0;
      break;
    default:
      VORL_ASSERT(params, kActorName, false);
      break;
  }
  // The last input delivered after activation starts listening at once. Only
  // an active instance (its client exists) with a real port does so: port 0
  // means no receiver on every path.
  if (flag != 0 && index == kInReverseZ && info->mReceiver == nullptr && info->mClient != nullptr &&
      info->mPort != 0) {
    AcquireReceiver(info);
    info->mPortChanged = 0;
  }
}

bool CWatcherActor::ValueToString(VorlaneParameters*, ActorInfo*, uint8_t kind, uint16_t index,
                                  Value*, char* text) {
  return SkeletonPropertyValueToString(kind, index, kKindOutput, kOutSkeleton, text);
}

bool CWatcherActor::StringToValue(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, const char*,
                                  Value*) {
  return false;
}

intptr_t CWatcherActor::ReceiveMessage(VorlaneParameters* params, uint32_t, uint16_t,
                                       const uint8_t*, uint32_t, ActorInfo* actor) {
  auto* info = ActorData<WatcherInfo>(actor);
  // An inactive instance has nothing to serve (and must not make a package
  // that nothing would free).
  if (info == nullptr || info->mClient == nullptr || info->mPackets == nullptr) return 0;

  // 1. The package exists from the first message after activation on.
  if (info->mInitialized == 0) {
    VORL_ASSERT_TEXT(params, kActorName, info->mSkeleton == nullptr, "info->mSkeleton == NULL");
    info->mSkeleton = CreateSkeletonPkg(kSkeletonPoints);
    if (info->mSkeleton != nullptr) {
      NameJointsFromTemplate(info);
      info->mInitialized = 1;
    }
  }

  // 2. and 3. Move to a changed port; port 0 means no receiver.
  bool acquire = info->mReceiver == nullptr;
  if (info->mPortChanged != 0) {
    if (info->mReceiver != nullptr) {
      ReleaseReceiver(info);
      info->mSeenErrorCount = 0;
    }
    info->mPortChanged = 0;
    acquire = true;
  }
  if (acquire) {
    if (info->mPort == 0 || info->mClient == nullptr) {
      if (info->mSkeleton != nullptr && info->mLabelsValid == 0) NameJointsFromTemplate(info);
      return 0;
    }
    AcquireReceiver(info);
    SendErrorText(info, "");
    info->mSeenErrorCount = 0;
  }

  // 4. A new error text of the receiver is shown once, without a trigger.
  std::string errorText;
  const int errorCount = info->mReceiver->ReadError(&errorText);
  if (errorCount != info->mSeenErrorCount) {
    info->mSeenErrorCount = errorCount;
    SendErrorText(info, errorText.c_str());
  }

  // 5. Collect every message queued for this receiver's clients.
  bool sent = false;
  if (info->mClient != nullptr && info->mSkeleton != nullptr) {
    info->mReceiver->Service();
    CountDrops(info);

    // 6. One skeleton and one trigger per accepted frame. A datagram that is
    // not a frame changes nothing: it is counted, not republished.
    for (CMotiWearMessage* message : *info->mPackets) {
      CMotiWearData* frame = message->mData;
      if (!IsFrame(frame)) {
        ++info->mCounters.mDatagramsRejected;
      } else if (PassesSuitFilter(info->mClient, frame)) {
        if (info->mLabelsValid == 0) {
          frame->InitSkeletonJointNames(info->mSkeleton, info->mNameJoints != 0);
          UpdateSkeletonLabelHash(info->mSkeleton);
          info->mLabelsValid = 1;
        }
        frame->CopyMotiWearData(info->mSkeleton, false, info->mReverseX != 0, info->mReverseY != 0,
                                info->mReverseZ != 0);
        SendSkeleton(info, info->mSkeleton);
        SendReceivedTrigger(info);
        ++info->mCounters.mFramesAccepted;
        sent = true;
      }
      message->Release();
    }
    info->mPackets->clear();
    if (sent) return 0;
  }

  // 7. A naming change shows even when no frame arrives.
  if (info->mSkeleton != nullptr && info->mLabelsValid == 0) NameJointsFromTemplate(info);
  return 0;
}

void CWatcherActor::MotiWearCallback(void* context, CMotiWearMessage* message) {
  auto* info = static_cast<WatcherInfo*>(context);
  if (info == nullptr || message == nullptr || info->mPackets == nullptr) return;
  info->mPackets->push_back(message);
  message->Retain();
}

VORL_EXPORT void GetActorInfo(void*, ActorInfo* info) { RegisterActor<CWatcherActor>(info); }
