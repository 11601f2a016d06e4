#include "suit_receiver/motiwear_pro.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>

#include "suit_receiver/motiwear_message.h"
#include "suit_receiver/receiver_threads.h"
#include "suit_receiver/suit_frame_layout.h"

std::atomic<int> CMotiWearPro::sMotiWearThreadsRunning{0};
std::atomic<bool> CMotiWearPro::sSimulateThreadStartFailure{false};
std::atomic<size_t> CMotiWearPro::sPendingLimitForTesting{0};
std::atomic<bool> CMotiWearPro::sFailErrorTextForTesting{false};

namespace {

// How long one wait for a datagram lasts: the delay with which a released
// receiver notices that it has to stop.
constexpr int kWaitMilliseconds = 50;
// Datagrams taken from the socket per wait at most.
constexpr int kMaxDatagramsPerWait = 256;

}  // namespace

CMotiWearPro::CMotiWearPro(VorlaneParameters* params, CMotiWearOwner* owner,
                           const std::string& groupAddress, int port)
    : mParameters(params), mOwner(owner), mGroupAddress(groupAddress), mPort(port) {
  // The network thread sets the text where an allocation failure would have
  // no caller to go to.
  mErrorText.reserve(kMaxErrorText);
  sMotiWearThreadsRunning.fetch_add(1);
  try {
    if (sSimulateThreadStartFailure.load()) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              "thread constructor failed");
    }
    CReceiverThreads::Start([this] { ThreadMain(); });
  } catch (...) {
    // No thread will ever end for us: stand in for its end so that the last
    // Release destroys the object and the running count is not left raised.
    // No other thread can reach this object yet, so taking its lock here
    // cannot meet the registry lock in another order.
    mRunning.store(false);
    {
      CMutexLock lock(mLock);
      mErrorText = "thread constructor failed";
      ++mErrorCount;
      mThreadDone = true;
    }
    sMotiWearThreadsRunning.fetch_sub(1);
  }
}

CMotiWearPro::~CMotiWearPro() {
  // Datagrams that arrived after the last Service have no one to go to.
  std::deque<CMotiWearMessage*> pending;
  {
    CMutexLock lock(mLock);
    pending.swap(mPending);
  }
  for (CMotiWearMessage* message : pending) message->Release();
}

void CMotiWearPro::Retain() { mRefCount.fetch_add(1, std::memory_order_relaxed); }

bool CMotiWearPro::TryRetain() {
  int count = mRefCount.load(std::memory_order_relaxed);
  while (count > 0) {
    if (mRefCount.compare_exchange_weak(count, count + 1, std::memory_order_relaxed)) return true;
  }
  return false;
}

void CMotiWearPro::Release() {
  if (mRefCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  if (mOwner != nullptr) mOwner->NotifyMotiWearRelease(this);
  bool destroy = false;
  {
    CMutexLock lock(mLock);
    // Everything this call does to the object happens before mReleased is
    // visible: from then on the ending thread may delete it.
    mRunning.store(false);
    mReleased = true;
    destroy = mThreadDone;
  }
  if (destroy) delete this;
}

bool CMotiWearPro::Matches(const std::string& groupAddress, int port) const {
  return mPort == port && mGroupAddress == groupAddress;
}

void CMotiWearPro::Service() {
  {
    CMutexLock lock(mLock);
    mServiceBatch.swap(mPending);
  }
  // Each message leaves the batch before it is handed out, so the batch
  // never holds one whose reference was dropped.
  while (!mServiceBatch.empty()) {
    CMotiWearMessage* message = mServiceBatch.front();
    mServiceBatch.pop_front();
    mClients.NotifyClientsMessageReceived(message);
    message->Release();
  }
}

int CMotiWearPro::ReadError(std::string* text) {
  CMutexLock lock(mLock);
  if (text != nullptr) *text = mErrorText;
  return mErrorCount;
}

bool CMotiWearPro::IsThreadDone() {
  CMutexLock lock(mLock);
  return mThreadDone;
}

size_t CMotiWearPro::GetPendingCount() {
  CMutexLock lock(mLock);
  return mPending.size();
}

bool CMotiWearPro::IsListening() {
  CMutexLock lock(mLock);
  return mListening;
}

bool CMotiWearPro::IsSocketOpen() {
  CMutexLock lock(mLock);
  return mSocket != kNoSocket;
}

uint64_t CMotiWearPro::GetDroppedCount() {
  CMutexLock lock(mLock);
  return mDroppedCount;
}

void CMotiWearPro::SetError(int error, const char* format, ...) {
  mLastError = error;
  char text[kMaxErrorText + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  CMutexLock lock(mLock);
  if (sFailErrorTextForTesting.load()) throw std::bad_alloc();
  mErrorText = text;
  ++mErrorCount;
}

void CMotiWearPro::SetStoppedError(const char* reason) noexcept {
  char text[kMaxErrorText + 1];
  std::snprintf(text, sizeof(text), "receiver thread stopped: %s", reason);
  CMutexLock lock(mLock);
  try {
    mErrorText = text;
  } catch (...) {
    // Without the text the count still tells the watcher that something
    // went wrong; an empty text with a new count is better than none.
    mErrorText.clear();
  }
  ++mErrorCount;
}

void CMotiWearPro::ThreadMain() noexcept {
  try {
    if (Startup() == 0) ReceiveLoop();
  } catch (const std::exception& e) {
    SetStoppedError(e.what());
  } catch (...) {
    SetStoppedError("unknown exception");
  }
  // Also closes a socket that was opened but could not join or bind.
  Shutdown();
  if (mSocketCallsStarted) CReceiverSocket::EndThread();
  bool destroy = false;
  {
    CMutexLock lock(mLock);
    mRunning.store(false);
    mThreadDone = true;
    destroy = mReleased;
  }
  if (destroy) delete this;
  sMotiWearThreadsRunning.fetch_sub(1);
}

int CMotiWearPro::Startup() {
  const int started = CReceiverSocket::StartThread();
  if (started != 0) {
    SetError(started, "WSAStartup: error %d", started);
    return -1;
  }
  mSocketCallsStarted = true;
  {
    CMutexLock lock(mLock);
    mSocket = CReceiverSocket::Open();
  }
  if (mSocket == kNoSocket) {
    const int error = CReceiverSocket::LastError();
    SetError(error, "socket: error %d", error);
    return -1;
  }

  std::memset(&mBindAddress, 0, sizeof(mBindAddress));
  mBindAddress.sin_family = AF_INET;
  mBindAddress.sin_port = htons(static_cast<uint16_t>(mPort));
  mBindAddress.sin_addr.s_addr = htonl(INADDR_ANY);

  if (!mGroupAddress.empty() && !CReceiverSocket::JoinGroup(mSocket, mGroupAddress)) {
    const int error = CReceiverSocket::LastError();
    SetError(error, "socket: failed to join multicast group %d (%s)", error, mGroupAddress.c_str());
    return -1;
  }

  if (CReceiverSocket::Bind(mSocket, mBindAddress)) {
    CMutexLock lock(mLock);
    mListening = true;
    return 0;
  }
  const int error = CReceiverSocket::LastError();
  SetError(error, "socket: bind error %d", error);
  return -1;
}

CMotiWearPro::ReceiveResult CMotiWearPro::ReceiveOne(uint8_t* buffer, size_t size) {
  size_t received = 0;
  int error = 0;
  switch (CReceiverSocket::Receive(mSocket, buffer, size, &received, &error)) {
    case CReceiverSocket::EReceive::kDrained:
      return ReceiveResult::kDrained;
    case CReceiverSocket::EReceive::kRetry:
      return ReceiveResult::kRetry;
    case CReceiverSocket::EReceive::kFailed:
      SetError(error, "socket: receive error %d", error);
      return ReceiveResult::kFailed;
    case CReceiverSocket::EReceive::kReceived:
      break;
  }
  // An empty datagram carries nothing; anyone could send one, so it must
  // not silence the port.
  if (received == 0) return ReceiveResult::kRetry;
  QueueDatagram(buffer, received);
  return ReceiveResult::kReceived;
}

void CMotiWearPro::ReceiveLoop() {
  uint8_t buffer[kMotiWearMaxDatagram];
  while (mRunning.load() && mSocket != kNoSocket) {
    if (!CReceiverSocket::WaitReadable(mSocket, kWaitMilliseconds)) continue;
    // Empty the socket before waiting again: at high rates one wait then
    // serves a whole run of datagrams, which halves the system calls and
    // lets the thread catch up after it was kept off the processor. The
    // bound keeps the check of mRunning frequent.
    for (int i = 0; i < kMaxDatagramsPerWait && mRunning.load(); ++i) {
      const ReceiveResult result = ReceiveOne(buffer, sizeof(buffer));
      if (result == ReceiveResult::kFailed) return;
      if (result == ReceiveResult::kDrained) break;
    }
  }
}

void CMotiWearPro::QueueDatagram(const uint8_t* buffer, size_t length) {
  std::vector<CMotiWearMessage*> messages;
  try {
    messages = CMotiWearMessage::ReadMotiWearMessages(buffer, length);
  } catch (const std::bad_alloc&) {
    return;  // out of memory: this datagram is lost, the next may fit
  }
  const size_t testLimit = sPendingLimitForTesting.load();
  const size_t limit = testLimit != 0 ? testLimit : kMaxPendingMessages;
  CMutexLock lock(mLock);
  try {
    mPending.insert(mPending.end(), messages.begin(), messages.end());
  } catch (const std::bad_alloc&) {
    for (CMotiWearMessage* message : messages) message->Release();
  }
  // The queue's messages are referenced by the queue alone until Service
  // hands them out, so they may be released here.
  while (mPending.size() > limit) {
    mPending.front()->Release();
    mPending.pop_front();
    ++mDroppedCount;
  }
}

int CMotiWearPro::Shutdown() {
  CMutexLock lock(mLock);
  if (mSocket == kNoSocket) return 0;
  const int result = CReceiverSocket::Close(mSocket);
  mSocket = kNoSocket;
  return result;
}
