// Runs a piece of work in a child process with a time limit, so that a
// crash or a hang in plug-in code is reported instead of ending the run.
//
// The child sends its findings back through a pipe, one per line. A child
// that ends by a signal is a crash (the signal is named); one that is still
// running at the time limit is killed and reported as a hang.
//
// Thread-safety: call from one thread at a time; the calling process should
// have no other threads (the child starts with only the caller's).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vhost::validate {

enum class EIsolatedEnd { kFinished, kCrashed, kTimedOut, kExited, kNotStarted };

struct CIsolatedResult {
  EIsolatedEnd mEnd = EIsolatedEnd::kNotStarted;
  std::vector<std::string> mFindings;  // what the work answered (also partial ones)
  int mSignal = 0;                     // kCrashed
  int mExitStatus = 0;                 // kExited: the work called exit itself
  std::string mLastStep;               // the last NoteStep of the work, if any
  std::vector<std::pair<std::string, std::string>> mFigures;  // NoteFigure's, in order
  std::string mError;                  // kNotStarted: why
  double mSeconds = 0;
};

CIsolatedResult RunIsolated(const std::function<std::vector<std::string>()>& work, double timeLimitSeconds);

// Tells the parent what the work is doing now, so that a crash or a hang
// can say where it happened. Does nothing outside RunIsolated's child.
void NoteStep(const std::string& step);

// Hands the parent a measured figure (a name and its value as text) for the
// reports. Outside RunIsolated's child the figure is kept for
// TakeNotedFigures.
void NoteFigure(const std::string& name, const std::string& value);

// The figures noted outside a child since the last call.
std::vector<std::pair<std::string, std::string>> TakeNotedFigures();

// A readable name of a signal ("SIGSEGV (Segmentation fault)").
std::string SignalName(int signal);

}  // namespace vhost::validate
