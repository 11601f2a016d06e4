// The validator: runs every validation test on every plug-in file, each in a
// child process with a time limit (or in this process, for a debugger), and
// collects one result per test with the command line that reproduces it.
//
// Usage:
//   vhost::validate::CValidateOptions options;
//   options.mPlugins = {"build/plugins/bonesplit.so"};
//   options.mLevel = 10;
//   auto results = vhost::validate::RunValidation(options, std::cout);  // progress lines
//   bool ok = vhost::validate::AllPassed(results);
//
// Thread-safety: one call at a time; the process should have no other
// threads while it runs (it forks).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace vhost::validate {

struct CValidateOptions {
  std::vector<std::string> mPlugins;
  int mLevel = 5;
  uint64_t mSeed = 1;
  std::vector<std::string> mOnly;  // test names; empty: every test of the level
  std::vector<std::string> mSkip;  // test names left out (reported as skipped)
  bool mInProcess = false;
  double mTimeLimitSeconds = 60;
  std::string mProgram = "actorhost";  // how the reproducing command lines start
};

enum class ETestStatus { kPassed, kFailed, kCrashed, kHung, kSkipped };

struct CTestResult {
  std::string mPlugin;  // the path as given
  std::string mTest;
  uint64_t mSeed = 0;
  int mLevel = 0;
  ETestStatus mStatus = ETestStatus::kPassed;
  std::vector<std::string> mFindings;
  double mSeconds = 0;
  std::string mReproduce;  // empty when passed or skipped
  // What the test measured, by name: a number, or a text saying why not.
  std::vector<std::pair<std::string, std::string>> mFigures;
};

std::string StatusName(ETestStatus status);  // "PASS", "FAIL", "CRASH", "HANG", "SKIP"

// Runs the tests, printing one line per test as it ends on `progress`.
std::vector<CTestResult> RunValidation(const CValidateOptions& options, std::ostream& progress);

bool AllPassed(const std::vector<CTestResult>& results);

// The names of every test with its minimum level and summary, one per line.
std::string DescribeTests();

}  // namespace vhost::validate
