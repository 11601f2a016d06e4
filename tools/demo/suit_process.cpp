#include "tools/demo/suit_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>

extern char** environ;

CSuitProcess::~CSuitProcess() { Stop(); }

bool CSuitProcess::Start(const std::string& suitsim, const std::string& suit, int figure,
                         double rate, uint16_t port, std::string& error) {
  int ends[2];
  if (pipe(ends) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  std::vector<std::string> arguments = {suitsim, "send", "--suit", suit, "--figure", std::to_string(figure), "--rate",
                                        std::to_string(rate), "--to",
                                        "127.0.0.1:" + std::to_string(port), "--quiet",
                                        "--report-sends"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, ends[0]);
  posix_spawn_file_actions_addclose(&actions, ends[1]);
  const int result = posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (result != 0) {
    close(ends[0]);
    mPid = -1;
    error = "cannot start " + suitsim + ": " + std::strerror(result);
    return false;
  }
  mOutput = ends[0];
  mReader = std::thread([this] { ReadLines(); });
  return true;
}

void CSuitProcess::ReadLines() {
  std::FILE* in = fdopen(mOutput, "r");
  if (in == nullptr) return;
  char line[512];
  while (std::fgets(line, sizeof(line), in) != nullptr) {
    char suit[8] = {};
    unsigned long long tick = 0;
    long long nanoseconds = 0;
    unsigned x = 0;
    unsigned z = 0;
    int damaged = 0;
    if (std::sscanf(line, "frame %3s %llu %lld %x %x %d", suit, &tick, &nanoseconds, &x, &z,
                    &damaged) == 6) {
      const uint64_t key = static_cast<uint64_t>(x) << 32 | z;
      std::lock_guard<std::mutex> lock(mMutex);
      mSendTimes[key] = nanoseconds;
      mSendOrder.emplace_back(key, nanoseconds);
      while (!mSendOrder.empty() && nanoseconds - mSendOrder.front().second > kForgetAfterNs) {
        const auto found = mSendTimes.find(mSendOrder.front().first);
        // A later frame with the same hip bits keeps its own time.
        if (found != mSendTimes.end() && found->second == mSendOrder.front().second) mSendTimes.erase(found);
        mSendOrder.pop_front();
      }
      mSent.fetch_add(1);
      continue;
    }
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::lock_guard<std::mutex> lock(mMutex);
    mLastMessage = text;
  }
  std::fclose(in);  // closes mOutput
}

std::optional<int> CSuitProcess::Stop() {
  if (mPid <= 0) return std::nullopt;
  kill(mPid, SIGINT);
  if (mReader.joinable()) mReader.join();
  int status = 0;
  waitpid(mPid, &status, 0);
  mPid = -1;
  mOutput = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return std::nullopt;
}

std::optional<int64_t> CSuitProcess::TakeSendTime(uint32_t hipX, uint32_t hipZ) {
  std::lock_guard<std::mutex> lock(mMutex);
  const auto found = mSendTimes.find(static_cast<uint64_t>(hipX) << 32 | hipZ);
  if (found == mSendTimes.end()) return std::nullopt;
  const int64_t sent = found->second;
  mSendTimes.erase(found);
  return sent;
}

size_t CSuitProcess::HeldSendTimes() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSendTimes.size();
}

std::string CSuitProcess::LastMessage() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mLastMessage;
}
