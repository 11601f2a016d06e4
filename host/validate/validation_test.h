// One validation test: a named check of one plug-in file, run with a seed at
// a strictness level, answering the findings it made (empty: passed).
//
// A test runs in a child process of its own unless the run asks for
// --in-process, so it may crash or hang; whatever it leaves behind goes with
// the process. Tests load the plug-in themselves (in the child), never in the
// validating process.
//
// Thread-safety: tests run one at a time on the thread that calls them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vhost::validate {

struct CTestContext {
  std::string mPluginPath;
  uint64_t mSeed = 1;
  int mLevel = 5;  // 1..10
  // Trials and cycles grow with the level: 10 runs the most.
  int Scaled(int atLevel5) const { return atLevel5 * mLevel / 5 > 0 ? atLevel5 * mLevel / 5 : 1; }
};

using CFindings = std::vector<std::string>;

struct CValidationTest {
  std::string mName;     // e.g. "lifecycle.repeat"
  int mMinimumLevel = 1; // skipped below this level
  std::string mSummary;  // one line for --list
  std::function<CFindings(const CTestContext&)> mRun;
};

// Every test, in the order a run goes through them.
const std::vector<CValidationTest>& ValidationTests();

// The tests of each group (defined in the group's own file).
void AddFileTests(std::vector<CValidationTest>& tests);
void AddRegistrationTests(std::vector<CValidationTest>& tests);
void AddLifecycleTests(std::vector<CValidationTest>& tests);
void AddPropertyFuzzTests(std::vector<CValidationTest>& tests);
void AddGraphTests(std::vector<CValidationTest>& tests);
void AddMisorderedCallTests(std::vector<CValidationTest>& tests);
void AddSteadyStateTests(std::vector<CValidationTest>& tests);

}  // namespace vhost::validate
