#include "host/validate/validator.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>
#include <ostream>

#include "host/host_error.h"
#include "host/validate/isolated_run.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

// Shell quoting for the reproducing command line.
std::string Quoted(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=:+,") ==
                           std::string::npos) {
    return word;
  }
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Repeated findings (a fuzz run can make one mistake hundreds of times) are
// listed once, with their count.
std::vector<std::string> Collapse(const std::vector<std::string>& findings) {
  std::vector<std::string> order;
  std::map<std::string, size_t> counts;
  for (const auto& f : findings) {
    if (counts[f]++ == 0) order.push_back(f);
  }
  std::vector<std::string> out;
  for (const auto& f : order) out.push_back(counts[f] > 1 ? fmt::format("{} ({} times)", f, counts[f]) : f);
  return out;
}

std::vector<std::string> RunGuarded(const CValidationTest& test, const CTestContext& context) {
  try {
    return test.mRun(context);
  } catch (const CHostError& e) {
    return {std::string("the host stopped the test: ") + e.what()};
  } catch (const std::exception& e) {
    return {std::string("the test stopped on an exception: ") + e.what()};
  }
}

}  // namespace

std::string StatusName(ETestStatus status) {
  switch (status) {
    case ETestStatus::kPassed: return "PASS";
    case ETestStatus::kFailed: return "FAIL";
    case ETestStatus::kCrashed: return "CRASH";
    case ETestStatus::kHung: return "HANG";
    case ETestStatus::kSkipped: return "SKIP";
  }
  return "?";
}

std::vector<CTestResult> RunValidation(const CValidateOptions& options, std::ostream& progress) {
  std::vector<CTestResult> results;
  for (const auto& plugin : options.mPlugins) {
    for (const auto& test : ValidationTests()) {
      if (!options.mOnly.empty() &&
          std::find(options.mOnly.begin(), options.mOnly.end(), test.mName) == options.mOnly.end()) {
        continue;
      }
      CTestResult result;
      result.mPlugin = plugin;
      result.mTest = test.mName;
      result.mSeed = options.mSeed;
      result.mLevel = options.mLevel;
      if (test.mMinimumLevel > options.mLevel ||
          std::find(options.mSkip.begin(), options.mSkip.end(), test.mName) != options.mSkip.end()) {
        result.mStatus = ETestStatus::kSkipped;
        results.push_back(std::move(result));
        continue;
      }
      const CTestContext context{plugin, options.mSeed, options.mLevel};
      if (options.mInProcess) {
        const auto start = std::chrono::steady_clock::now();
        result.mFindings = RunGuarded(test, context);
        result.mFigures = TakeNotedFigures();
        result.mSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.mStatus = result.mFindings.empty() ? ETestStatus::kPassed : ETestStatus::kFailed;
      } else {
        progress.flush();
        const CIsolatedResult run = RunIsolated([&] { return RunGuarded(test, context); }, options.mTimeLimitSeconds);
        result.mFindings = run.mFindings;
        result.mFigures = run.mFigures;
        result.mSeconds = run.mSeconds;
        switch (run.mEnd) {
          case EIsolatedEnd::kFinished:
            result.mStatus = result.mFindings.empty() ? ETestStatus::kPassed : ETestStatus::kFailed;
            break;
          case EIsolatedEnd::kCrashed:
            result.mStatus = ETestStatus::kCrashed;
            result.mFindings.insert(result.mFindings.begin(),
                                    fmt::format("crashed with {}", SignalName(run.mSignal)));
            break;
          case EIsolatedEnd::kTimedOut:
            result.mStatus = ETestStatus::kHung;
            result.mFindings.insert(result.mFindings.begin(),
                                    fmt::format("still running after the time limit of {:g} s (a hang?)",
                                                options.mTimeLimitSeconds));
            break;
          case EIsolatedEnd::kExited:
            result.mStatus = ETestStatus::kCrashed;
            result.mFindings.insert(result.mFindings.begin(),
                                    fmt::format("the process ended early with exit status {}", run.mExitStatus));
            break;
          case EIsolatedEnd::kNotStarted:
            result.mStatus = ETestStatus::kFailed;
            result.mFindings.insert(result.mFindings.begin(), "could not start the test: " + run.mError);
            break;
        }
        if (!run.mLastStep.empty() && (result.mStatus == ETestStatus::kCrashed || result.mStatus == ETestStatus::kHung)) {
          result.mFindings.insert(result.mFindings.begin() + 1, "last step begun: " + run.mLastStep);
        }
      }
      result.mFindings = Collapse(result.mFindings);
      if (result.mStatus != ETestStatus::kPassed) {
        const std::string limit =
            options.mTimeLimitSeconds != CValidateOptions{}.mTimeLimitSeconds && !options.mInProcess
                ? fmt::format(" --time-limit {:g}", options.mTimeLimitSeconds)
                : std::string();
        result.mReproduce = fmt::format("{} validate --level {} --seed {}{} --only {} {}", Quoted(options.mProgram),
                                        options.mLevel, options.mSeed, limit, test.mName, Quoted(plugin));
      }
      progress << fmt::format("{:<5} {:<26} {:>7.2f} s  {}\n", StatusName(result.mStatus), test.mName,
                              result.mSeconds, plugin);
      for (const auto& [name, value] : result.mFigures) progress << fmt::format("      {}: {}\n", name, value);
      results.push_back(std::move(result));
    }
  }
  return results;
}

bool AllPassed(const std::vector<CTestResult>& results) {
  bool ran = false;
  for (const auto& r : results) {
    if (r.mStatus == ETestStatus::kSkipped) continue;
    if (r.mStatus != ETestStatus::kPassed) return false;
    ran = true;
  }
  return ran;
}

std::string DescribeTests() {
  std::string text;
  for (const auto& t : ValidationTests()) {
    text += fmt::format("{:<26} level {:>2}+  {}\n", t.mName, t.mMinimumLevel, t.mSummary);
  }
  return text;
}

}  // namespace vhost::validate
