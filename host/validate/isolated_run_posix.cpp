// POSIX side of RunIsolated: fork, a pipe for the findings, poll with a
// deadline, SIGKILL at the time limit, waitpid for how the child ended.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "host/validate/isolated_run.h"

namespace vhost::validate {
namespace {

constexpr const char* kEndMark = "\x1e" "end";
constexpr char kStepMark = '\x1f';
constexpr char kFigureMark = '\x1d';  // then the name, a tab and the value
std::vector<std::pair<std::string, std::string>> gNotedFigures;  // outside a child
int gChildPipe = -1;  // the write end, in the child only

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// One finding per line: line breaks inside a finding become " | ".
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\n') line += " | ";
    else if (c != '\r') line += c;
  }
  return line;
}

[[noreturn]] void RunChild(int fd, const std::function<std::vector<std::string>()>& work) {
  gChildPipe = fd;
  ::dup2(2, 1);  // whatever the plug-in prints stays off the report
  std::vector<std::string> findings;
  try {
    findings = work();
  } catch (const std::exception& e) {
    findings.push_back(std::string("the test stopped on an exception: ") + e.what());
  } catch (...) {
    findings.push_back("the test stopped on an unknown exception");
  }
  std::string out;
  for (const auto& f : findings) out += OneLine(f) + '\n';
  out += std::string(kEndMark) + '\n';
  WriteAll(fd, out);
  ::close(fd);
  // No destructors or exit handlers: a plug-in's thread may still be running.
  ::_exit(0);
}

}  // namespace

void NoteStep(const std::string& step) {
  if (gChildPipe >= 0) WriteAll(gChildPipe, kStepMark + OneLine(step) + '\n');
}

void NoteFigure(const std::string& name, const std::string& value) {
  if (gChildPipe >= 0) WriteAll(gChildPipe, kFigureMark + OneLine(name) + '\t' + OneLine(value) + '\n');
  else gNotedFigures.emplace_back(name, value);
}

std::vector<std::pair<std::string, std::string>> TakeNotedFigures() { return std::exchange(gNotedFigures, {}); }

std::string SignalName(int signal) {
  const char* abbrev = sigabbrev_np(signal);
  const char* text = strsignal(signal);
  std::string name = abbrev != nullptr ? std::string("SIG") + abbrev : "signal " + std::to_string(signal);
  if (text != nullptr) name += std::string(" (") + text + ")";
  return name;
}

CIsolatedResult RunIsolated(const std::function<std::vector<std::string>()>& work, double timeLimitSeconds) {
  CIsolatedResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    result.mError = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.mError = std::string("fork: ") + std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return result;
  }
  if (pid == 0) {
    ::close(fds[0]);
    RunChild(fds[1], work);
  }
  ::close(fds[1]);

  const auto deadline = start + std::chrono::duration<double>(timeLimitSeconds);
  std::string received;
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;  // the deadline check above ends it
    char buffer[4096];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the child closed the pipe: it is ending
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.mSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  bool complete = false;
  size_t begin = 0;
  while (begin < received.size()) {
    size_t end = received.find('\n', begin);
    if (end == std::string::npos) end = received.size();
    std::string line = received.substr(begin, end - begin);
    begin = end + 1;
    if (line == kEndMark) complete = true;
    else if (!line.empty() && line[0] == kStepMark) result.mLastStep = line.substr(1);
    else if (const size_t tab = line.find('\t'); !line.empty() && line[0] == kFigureMark && tab != std::string::npos)
      result.mFigures.emplace_back(line.substr(1, tab - 1), line.substr(tab + 1));
    else result.mFindings.push_back(std::move(line));
  }
  if (timedOut) {
    result.mEnd = EIsolatedEnd::kTimedOut;
  } else if (WIFSIGNALED(status)) {
    result.mEnd = EIsolatedEnd::kCrashed;
    result.mSignal = WTERMSIG(status);
  } else if (!complete || WEXITSTATUS(status) != 0) {
    result.mEnd = EIsolatedEnd::kExited;
    result.mExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  } else {
    result.mEnd = EIsolatedEnd::kFinished;
  }
  return result;
}

}  // namespace vhost::validate
