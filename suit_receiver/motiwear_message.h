// CMotiWearMessage: one received datagram on its way from a receiver thread
// to the receiver's clients, carrying the frame decoded from it.
//
// Reference counted: created with one reference, which the receiver queue
// holds; a client that keeps the message calls Retain, and the Release that
// brings the count to 0 destroys the message and its frame.
//
// Thread-safety: created on a receiver thread and handed to the main thread
// under the receiver lock. Retain and Release may run on any thread: the
// main thread hands messages to clients and drops them, and a receiver
// thread drops queued ones when its queue overflows or its receiver goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "suit_receiver/motiwear_data.h"

class CMotiWearMessage {
 public:
  CMotiWearMessage() = default;

  CMotiWearMessage(const CMotiWearMessage&) = delete;
  CMotiWearMessage& operator=(const CMotiWearMessage&) = delete;

  // Frames one received datagram: a vector with exactly one new message
  // whose mData was decoded from `buffer` (a datagram that is not a suit
  // frame gives an empty, not-new frame). The caller holds each message's
  // one reference. Throws std::bad_alloc when memory runs out.
  // REQUIRES: buffer holds `length` readable bytes.
  static std::vector<CMotiWearMessage*> ReadMotiWearMessages(const uint8_t* buffer,
                                                             uint64_t length);

  void Retain() { mRefCount.fetch_add(1, std::memory_order_relaxed); }
  // Drops one reference; the last one deletes the message and its frame.
  void Release();

  int GetRefCount() const { return mRefCount.load(std::memory_order_relaxed); }

  CMotiWearData* mData = nullptr;  // owned
  std::atomic<int> mRefCount{1};

 private:
  ~CMotiWearMessage();
};
