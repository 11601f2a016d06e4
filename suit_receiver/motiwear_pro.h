// CMotiWearPro: one UDP receiver. It owns a socket bound to one port
// (optionally joined to one IPv4 multicast group) and one network thread
// (kept by CReceiverThreads) that turns each datagram into a CMotiWearMessage and queues it until
// the host's main thread collects the queue with Service and hands every
// message to the receiver's clients.
//
// Lifetime: reference counted, one reference at construction (the caller's).
// The object is destroyed exactly once, by whichever comes second of the last
// Release and the end of its thread; which one is decided under the receiver
// lock. The owner (the registry) is told of the last Release before that, with
// no receiver lock held.
//
// Threads: [network thread] ThreadMain and what it calls (socket setup,
// receiving, decoding, appending to mPending). [main thread] everything else:
// Retain, Release, Service, the client list, reading the error. The network
// thread never calls a client or the host.
//
// Locks: the receiver lock guards mPending, the error fields, the end-of-life
// flags and the socket during shutdown. It is never held together with the
// client-list lock or the registry lock, and never while clients are called.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "framework/vorlane_types.h"
#include "suit_receiver/cmutex.h"
#include "suit_receiver/motiwear_client_list.h"
#include "suit_receiver/motiwear_owner.h"
#include "suit_receiver/receiver_socket.h"

class CMotiWearMessage;

class CMotiWearPro {
 public:
  using SocketHandle = CReceiverSocket::Handle;
  static constexpr SocketHandle kNoSocket = CReceiverSocket::kNone;

  // [main thread] Starts the network thread for (groupAddress, port); the
  // socket is opened by that thread, so failures show up later in the error
  // fields. `params` is only kept. `owner` may be null. If the thread cannot
  // be started nothing is thrown: the error text is "thread constructor
  // failed" and the receiver behaves as one whose thread has ended.
  CMotiWearPro(VorlaneParameters* params, CMotiWearOwner* owner, const std::string& groupAddress,
               int port);

  CMotiWearPro(const CMotiWearPro&) = delete;
  CMotiWearPro& operator=(const CMotiWearPro&) = delete;

  // [main thread] One more reference.
  void Retain();
  // [main thread] Drops one reference. The last one tells the owner, stops
  // the thread (it notices within 50 ms) and destroys the receiver if the
  // thread has already ended; otherwise the ending thread destroys it.
  // REQUIRES: the caller holds a reference; the pointer is dead afterwards
  // if that was the last one.
  void Release() VORL_EXCLUDES(mLock);

  // True when this receiver serves exactly (groupAddress, port); the text is
  // compared byte for byte.
  bool Matches(const std::string& groupAddress, int port) const;

  // [main thread] Hands every message queued since the last call to every
  // client, in arrival order, then drops the queue's references.
  void Service() VORL_EXCLUDES(mLock);

  // [main thread] Copies mErrorText into `text` (when not null) and returns
  // mErrorCount, both read under the receiver lock.
  int ReadError(std::string* text) VORL_EXCLUDES(mLock);
  // The longest error text kept; longer ones are cut. mErrorText has this
  // capacity from construction on, so setting it needs no memory.
  static constexpr size_t kMaxErrorText = 1023;

  int GetRefCount() const { return mRefCount.load(std::memory_order_relaxed); }
  // True once the network thread has ended (or never started).
  bool IsThreadDone() VORL_EXCLUDES(mLock);
  // Messages received and not yet handed out by Service.
  size_t GetPendingCount() VORL_EXCLUDES(mLock);
  // True once the socket is bound (and stays true after it closed): from
  // then on datagrams sent to the port reach this receiver.
  bool IsListening() VORL_EXCLUDES(mLock);
  // True while the receiver's socket is open; the network thread closes it
  // before it ends, also when binding or joining the group failed.
  bool IsSocketOpen() VORL_EXCLUDES(mLock);
  // Messages dropped, oldest first, because kMaxPendingMessages were already
  // waiting for Service; counted over the receiver's whole life.
  uint64_t GetDroppedCount() VORL_EXCLUDES(mLock);

  // The pending queue's bound: about 3 s of frames from 200 suits at 60
  // frames a second. A host that stops ticking costs at most this much.
  static constexpr size_t kMaxPendingMessages = 36000;
  // Test seam: a lower bound than kMaxPendingMessages while not 0.
  static std::atomic<size_t> sPendingLimitForTesting;

  // Live network threads, all receivers together. Raised before a thread is
  // started, lowered as that thread's last action (or at once when it could
  // not start). The watcher's last instance waits for 0 before it goes.
  static std::atomic<int> sMotiWearThreadsRunning;

  // Test seam: while true, constructors behave as if the system refused to
  // start a thread.
  static std::atomic<bool> sSimulateThreadStartFailure;

  // Test seam: while true, storing an error text throws std::bad_alloc, as
  // it would when memory runs out.
  static std::atomic<bool> sFailErrorTextForTesting;

  CMutex mLock{false};                   // the receiver lock
  CMotiWearClientList mClients;          // [main thread]
  VorlaneParameters* const mParameters;  // kept, never used

  // Written by the network thread (Startup, receive errors) or the
  // constructor; read on the main thread. mErrorCount goes up by one each
  // time mErrorText is set.
  std::string mErrorText VORL_GUARDED_BY(mLock);
  int mErrorCount VORL_GUARDED_BY(mLock) = 0;

 private:
  ~CMotiWearPro();

  // [network thread] The thread's whole life: Startup, receive loop,
  // Shutdown, then the end-of-life hand-shake with Release. Nothing thrown
  // in it leaves it: an exception ends the receiving with an error text, and
  // the thread still ends the way the watcher's last instance waits for.
  void ThreadMain() noexcept;
  // [network thread] Opens the socket, joins the group, binds; 0 or -1.
  int Startup();
  // [network thread] Receives until stopped or a hard receive error.
  void ReceiveLoop();
  enum class ReceiveResult { kReceived, kRetry, kDrained, kFailed };
  // [network thread] One read: queues a datagram, skips an empty one, says
  // whether the socket is empty, or records a hard error.
  ReceiveResult ReceiveOne(uint8_t* buffer, size_t size);
  // [network thread] Decodes one datagram and appends it to mPending.
  void QueueDatagram(const uint8_t* buffer, size_t length) VORL_EXCLUDES(mLock);
  // [network thread] Closes the socket if open; returns the close result.
  int Shutdown() VORL_EXCLUDES(mLock);
  // Stores `error` in mLastError, formats the text, and under the lock sets
  // mErrorText and counts it.
#if defined(__GNUC__)
  __attribute__((format(printf, 3, 4)))
#endif
  void
  SetError(int error, const char* format, ...) VORL_EXCLUDES(mLock);
  // [network thread] Records that an exception stopped the thread, as an
  // error text ("receiver thread stopped: " and `reason`). Never throws.
  void SetStoppedError(const char* reason) noexcept VORL_EXCLUDES(mLock);

  friend class CMotiWearMgr;
  // Retains unless the count has already reached 0 (a receiver on its way
  // out must not be handed out again).
  bool TryRetain();

  std::atomic<int> mRefCount{1};
  CMotiWearOwner* const mOwner;
  std::atomic<bool> mRunning{true};  // the loop goes on while true
  bool mThreadDone VORL_GUARDED_BY(mLock) = false;
  bool mReleased VORL_GUARDED_BY(mLock) = false;  // the last Release is done with us
  bool mListening VORL_GUARDED_BY(mLock) = false;
  uint64_t mDroppedCount VORL_GUARDED_BY(mLock) = 0;
  const std::string mGroupAddress;
  const int mPort;
  // [network thread]; written under the lock (Startup, Shutdown), so that
  // IsSocketOpen may read it from the main thread.
  SocketHandle mSocket = kNoSocket;
  sockaddr_in mBindAddress{};
  int mLastError = 0;  // [network thread]
  bool mSocketCallsStarted = false;  // [network thread] StartThread succeeded
  std::deque<CMotiWearMessage*> mPending VORL_GUARDED_BY(mLock);  // one reference each
  // [main thread] Service's batch, exchanged with mPending and emptied again:
  // the queue's storage goes back and forth, so that handing out messages
  // allocates nothing once the queue has grown to the traffic's size.
  std::deque<CMotiWearMessage*> mServiceBatch;
};
