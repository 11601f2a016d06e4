// One simulated suit for the demo: a `suitsim send --report-sends` child
// process, and what it reports about every frame it sent (the steady-clock
// time just before sendto and the hip position bits that identify the frame).
//
// Thread-safety: a reader thread takes in the child's lines; every public
// member may be called from the thread that owns the object.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class CSuitProcess {
 public:
  CSuitProcess() = default;
  ~CSuitProcess();
  CSuitProcess(const CSuitProcess&) = delete;
  CSuitProcess& operator=(const CSuitProcess&) = delete;

  // Starts `suitsim send` for one suit. False with `error` set when the
  // program cannot be started.
  bool Start(const std::string& suitsim, const std::string& suit, int figure, double rate,
             uint16_t port, std::string& error);
  // Asks the child to stop (SIGINT), reads the rest of its output and waits
  // for it; its exit code, or nothing when it ended by a signal.
  std::optional<int> Stop();

  // The send time (steady clock, nanoseconds) of the frame whose hip record
  // carried these wire-float bit patterns at bytes 44 and 48, which is then
  // forgotten (each frame arrives once); nothing when no such frame was
  // reported. A frame that never arrives is forgotten kForgetAfterNs after
  // it was sent, so a long run keeps only the frames of the last seconds.
  std::optional<int64_t> TakeSendTime(uint32_t hipX, uint32_t hipZ);
  // Send times held now.
  size_t HeldSendTimes() const;
  static constexpr int64_t kForgetAfterNs = 5'000'000'000;
  // Frames reported sent so far.
  uint64_t Sent() const { return mSent.load(); }
  // The child's last line that was not a frame report (its summary, an error).
  std::string LastMessage() const;

 private:
  void ReadLines();

  pid_t mPid = -1;
  int mOutput = -1;
  std::thread mReader;
  std::atomic<uint64_t> mSent{0};
  mutable std::mutex mMutex;
  std::unordered_map<uint64_t, int64_t> mSendTimes;  // (x << 32 | z) -> nanoseconds
  std::deque<std::pair<uint64_t, int64_t>> mSendOrder;  // the same, oldest first
  std::string mLastMessage;
};
