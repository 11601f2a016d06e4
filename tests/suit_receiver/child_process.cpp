#include "tests/suit_receiver/child_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

CChildProcess::CChildProcess(const std::vector<std::string>& arguments) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) mPid = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  mStdout = pipeEnds[0];
}

CChildProcess::~CChildProcess() {
  if (mPid > 0) {
    kill(mPid, SIGKILL);
    waitpid(mPid, nullptr, 0);
  }
  if (mStdout >= 0) close(mStdout);
}

bool CChildProcess::Signal(int signal) { return mPid > 0 && kill(mPid, signal) == 0; }

std::optional<std::string> CChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto newline = mBuffered.find('\n');
    if (newline != std::string::npos) {
      std::string line = mBuffered.substr(0, newline);
      mBuffered.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || mStdout < 0) return std::nullopt;
    pollfd waitFor{mStdout, POLLIN, 0};
    if (poll(&waitFor, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[512];
    const ssize_t got = read(mStdout, chunk, sizeof(chunk));
    if (got <= 0) return std::nullopt;
    mBuffered.append(chunk, static_cast<size_t>(got));
  }
}

std::optional<int> CChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (mPid <= 0) return std::nullopt;
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(mPid, &status, WNOHANG);
    if (done == mPid) {
      mPid = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    if (std::chrono::steady_clock::now() >= end) {
      kill(mPid, SIGKILL);
      waitpid(mPid, nullptr, 0);
      mPid = -1;
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
