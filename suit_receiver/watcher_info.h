// WatcherInfo: the private data block of one watcher instance, allocated
// zero-filled by the host in CreateActor and freed in DisposeActor. It holds
// only plain fields and pointers, so the host's zero fill is a valid initial
// state. [main thread] for every field.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "contract/watcher_stream.h"
#include "framework/vorlane_types.h"
#include "skeleton/skeleton_pkg.h"

struct CMotiWearClient;
class CMotiWearMessage;
class CMotiWearPro;

struct WatcherInfo {
  VorlaneParameters* mParameters;
  ActorInfo* mActorInfo;
  void* mReceiverHandle;                     // from RegisterMessageReceiver, null when none
  char mGroupAddress[256];                   // always empty: emptied at activation
  uint16_t mPort;                            // recv_ip_port; 0 means no receiver
  char mSuitID[4];                           // suit_id: up to 3 characters and a NUL
  uint8_t mPortChanged;                      // recv_ip_port changed since acquisition
  int32_t mSeenErrorCount;                   // receiver's error count last published
  CMotiWearClient* mClient;                  // owned; exists while active
  CMotiWearPro* mReceiver;                   // one reference held, or null
  std::vector<CMotiWearMessage*>* mPackets;  // owned; each message holds one reference
  uint8_t mInitialized;                      // the package was created since activation
  uint8_t mLabelsValid;                      // labels match the naming mode
  uint8_t mNameJoints;
  uint8_t mReverseX;
  uint8_t mReverseY;
  uint8_t mReverseZ;
  SkeletonPkg* mSkeleton;  // published package, owned, or null
  uint64_t mSeenDropCount;  // the receiver's drop count already added to mCounters
  // The plug-in file's live receiver threads (all instances together), set
  // in CreateActor and never written through: a host or a test watches it
  // to learn when receivers have ended. Valid while the file is loaded.
  const std::atomic<int>* mReceiverThreads;
  // Last, at a fixed distance from the block's end, where the host reads it.
  CWatcherStreamCounters mCounters;
};

static_assert(offsetof(WatcherInfo, mCounters) + sizeof(CWatcherStreamCounters) ==
                  sizeof(WatcherInfo),
              "the stream counters end the watcher's data block");
