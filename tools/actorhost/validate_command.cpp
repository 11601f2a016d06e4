#include "tools/actorhost/validate_command.h"

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <iostream>

#include "host/validate/validation_report.h"
#include "host/validate/validation_test.h"

CValidateCommand::CValidateCommand(CLI::App& app) {
  mCommand = app.add_subcommand(
      "validate",
      "Check actor plug-in files against the host contract: the file (immediate binding, exports, "
      "linked libraries, unloading), the registration (codes, entry points, declarations, help "
      "texts, value/text conversions), the life cycle (hundreds of cycles, several instances, "
      "every disposal order, failing AllocateMemory, no thread left), seeded fuzzing of every "
      "input interleaved with messages and activation changes, and the actor in a graph. After "
      "every test the host's accounting is checked: memory, strings, image buffers, receivers, "
      "failed assertions and contract violations.\n"
      "Each test runs in a child process with a time limit; a crash or hang is reported with the "
      "test's name and seed and the run goes on. Every failure prints the command line that "
      "reproduces it.\n"
      "Exit status: 0 when every test of the level passed, 2 when one failed, 1 for usage errors.");
  mCommand->add_option("PLUGIN", mOptions.mPlugins, "plug-in files (.so)");
  mCommand->add_option("--level", mOptions.mLevel,
                       "strictness 1..10: higher levels run more tests, trials and cycles; 10 runs everything")
      ->check(CLI::Range(1, 10))
      ->capture_default_str();
  mCommand->add_option("--seed", mOptions.mSeed, "seed of the fuzzing (default: from the clock, printed)")
      ->each([this](const std::string&) { mSeedGiven = true; });
  mCommand->add_option("--only", mOptions.mOnly, "run only this test (repeatable; see --list)")
      ->allow_extra_args(false);
  mCommand->add_option("--skip", mOptions.mSkip, "leave this test out (repeatable; reported as skipped)")
      ->allow_extra_args(false);
  mCommand->add_flag("--in-process", mOptions.mInProcess,
                     "run the tests in this process, one after another, without time limits (for a debugger; "
                     "a crash ends the run)");
  mCommand->add_option("--time-limit", mOptions.mTimeLimitSeconds, "seconds a test may take before it counts as hung")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  mCommand->add_option("--junit", mJUnit, "also write the results as JUnit XML to this file");
  mCommand->add_option("--json", mJson, "also write the results as JSON to this file");
  mCommand->add_flag("--list", mList, "list the tests with the level each starts at, and exit");
}

int CValidateCommand::Run(const std::string& program) {
  using namespace vhost::validate;
  if (mList) {
    std::cout << DescribeTests();
    return 0;
  }
  if (mOptions.mPlugins.empty()) {
    std::cerr << "actorhost validate: name at least one plug-in file\n";
    return 1;
  }
  std::vector<std::string> named = mOptions.mOnly;
  named.insert(named.end(), mOptions.mSkip.begin(), mOptions.mSkip.end());
  for (const auto& only : named) {
    bool known = false;
    for (const auto& t : ValidationTests()) known = known || t.mName == only;
    if (!known) {
      std::cerr << "actorhost validate: no test named '" << only << "' (see --list)\n";
      return 1;
    }
  }
  for (auto& plugin : mOptions.mPlugins) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(plugin, ec)) {
      std::cerr << "actorhost validate: no such file: " << plugin << '\n';
      return 1;
    }
    plugin = std::filesystem::absolute(plugin, ec).lexically_normal().string();
  }
  if (!mSeedGiven) {
    mOptions.mSeed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) % 1000000007u;
  }
  mOptions.mProgram = program;
  std::cout << fmt::format("actorhost validate: level {}, seed {}\n", mOptions.mLevel, mOptions.mSeed);
  const auto results = RunValidation(mOptions, std::cout);
  WriteTextReport(results, std::cout);
  std::string error;
  if (!mJUnit.empty() && !WriteJUnitReport(results, mJUnit, error)) std::cerr << "actorhost validate: " << error << '\n';
  if (!mJson.empty() && !WriteJsonReport(results, mJson, error)) std::cerr << "actorhost validate: " << error << '\n';
  return AllPassed(results) ? 0 : 2;
}
