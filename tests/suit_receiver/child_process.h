// Runs a command-line tool as a child process for the tests, with its
// standard output readable line by line.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class CChildProcess {
 public:
  // Starts `arguments[0]` with the given arguments. IsRunning() tells
  // whether that worked.
  explicit CChildProcess(const std::vector<std::string>& arguments);
  // Kills a child that is still running.
  ~CChildProcess();

  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool IsRunning() const { return mPid > 0; }
  // Sends `signal` to the child; false when it has already been waited for.
  bool Signal(int signal);
  // The next line of the child's stdout, without the newline; nothing at the
  // end of its output or when `timeout` passes first.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Waits for the child to exit; its exit code, or nothing on timeout (the
  // child is then killed) or when it ended by a signal.
  std::optional<int> Wait(std::chrono::milliseconds timeout);

 private:
  pid_t mPid = -1;
  int mStdout = -1;
  std::string mBuffered;
};
