// The validator against plug-ins with one known flaw each (among them a
// published package freed, a write past a host block, a service called from
// a plug-in's own thread): every flaw is found by the test meant for it,
// named with its seed and reason, while the run goes on; the sound variant passes everything; a printed command line
// reproduces its failure; the JUnit and JSON files are well formed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/allocation_counter.h"
#include "host/validate/elf_dynamic_info.h"
#include "host/validate/validation_report.h"
#include "host/validate/validation_test.h"
#include "host/validate/validator.h"

namespace {

using vhost::validate::CTestResult;
using vhost::validate::CValidateOptions;
using vhost::validate::ETestStatus;

std::string Flawed(const std::string& variant) { return std::string(VORL_FLAWED_DIR) + "/flawed_" + variant + ".so"; }

std::vector<CTestResult> Validate(const std::string& plugin, int level = 10, double timeLimit = 60) {
  CValidateOptions options;
  options.mPlugins = {plugin};
  options.mLevel = level;
  options.mSeed = 42;
  options.mTimeLimitSeconds = timeLimit;
  options.mProgram = VORL_ACTORHOST;
  std::ostringstream progress;
  return vhost::validate::RunValidation(options, progress);
}

const CTestResult* Find(const std::vector<CTestResult>& results, const std::string& test) {
  for (const auto& r : results) {
    if (r.mTest == test) return &r;
  }
  return nullptr;
}

std::string Report(const std::vector<CTestResult>& results) {
  std::ostringstream out;
  vhost::validate::WriteTextReport(results, out);
  return out.str();
}

struct CFlaw {
  std::string mVariant;
  std::string mTest;      // the test that must find it
  ETestStatus mStatus;
  std::string mReason;    // a piece of its finding
};

class ValidatorFinds : public testing::TestWithParam<CFlaw> {};

TEST_P(ValidatorFinds, TheFlawWithTestSeedAndReasonAndTheRunGoesOn) {
  const CFlaw& flaw = GetParam();
  const double limit = flaw.mStatus == ETestStatus::kHung ? 2 : 60;
  const auto results = Validate(Flawed(flaw.mVariant), 10, limit);
  const CTestResult* r = Find(results, flaw.mTest);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(vhost::validate::StatusName(r->mStatus), vhost::validate::StatusName(flaw.mStatus));
  std::string findings;
  for (const auto& f : r->mFindings) findings += f + '\n';
  EXPECT_NE(findings.find(flaw.mReason), std::string::npos) << findings;
  EXPECT_FALSE(vhost::validate::AllPassed(results));
  // The run went on past the failure: every test has a result.
  EXPECT_EQ(results.size(), vhost::validate::ValidationTests().size());
  const std::string report = Report(results);
  EXPECT_NE(report.find(flaw.mTest + " on " + Flawed(flaw.mVariant)), std::string::npos) << report;
  EXPECT_NE(report.find("seed 42"), std::string::npos);
  EXPECT_NE(report.find("--seed 42 "), std::string::npos) << report;
  EXPECT_NE(report.find("--only " + flaw.mTest + " " + Flawed(flaw.mVariant)), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Flaws, ValidatorFinds,
    testing::Values(CFlaw{"null_string", "fuzz.properties", ETestStatus::kCrashed, "null host string"},
                    CFlaw{"leak_string", "lifecycle.repeat", ETestStatus::kFailed, "host strings"},
                    CFlaw{"second_export", "file.exports", ETestStatus::kFailed, "exports 'FlawedActorVersion'"},
                    CFlaw{"hang", "lifecycle.repeat", ETestStatus::kHung, "time limit of 2 s"},
                    CFlaw{"bad_definition", "file.load", ETestStatus::kFailed, "the host refuses the file"},
                    CFlaw{"receiver_left", "lifecycle.repeat", ETestStatus::kFailed,
                          "still registered after deactivation"},
                    CFlaw{"package_freed", "lifecycle.repeat", ETestStatus::kFailed,
                          "'flawed_package_freed1' freed a block that is still the last value of its output 1 "
                          "('skeleton'), in ActivateActor(0) of 'flawed_package_freed1'"},
                    CFlaw{"write_past_block", "lifecycle.repeat", ETestStatus::kFailed,
                          "wrote 1 byte(s) past the end of its 24-byte AllocateMemory block (allocated in "
                          "CreateActor)"},
                    CFlaw{"off_thread_call", "lifecycle.repeat", ETestStatus::kFailed,
                          "GetPropertyCount called off the host's main thread, on thread "}),
    [](const testing::TestParamInfo<CFlaw>& info) { return info.param.mVariant; });

INSTANTIATE_TEST_SUITE_P(ThreadFlaws, ValidatorFinds,
                         testing::Values(CFlaw{"thread_left", "lifecycle.unload", ETestStatus::kFailed,
                                               "1 thread(s) of the plug-in still running after its last instance"}),
                         [](const testing::TestParamInfo<CFlaw>& info) { return info.param.mVariant; });

std::vector<CTestResult> ValidateOnly(const std::string& plugin, const std::string& test) {
  CValidateOptions options;
  options.mPlugins = {plugin};
  options.mOnly = {test};
  options.mLevel = 10;
  options.mSeed = 42;
  options.mProgram = VORL_ACTORHOST;
  std::ostringstream progress;
  return vhost::validate::RunValidation(options, progress);
}

// Runs a shell command line, answering its exit status and output.
int Shell(const std::string& command, std::string& output) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Figure(const CTestResult& r, const std::string& name) {
  for (const auto& [n, value] : r.mFigures) {
    if (n == name) return value;
  }
  return "(no figure '" + name + "')";
}

TEST(Validator, SoundVariantPassesEveryTestAtLevel10) {
  const auto results = Validate(Flawed("sound"));
  EXPECT_TRUE(vhost::validate::AllPassed(results)) << Report(results);
  const CTestResult* steady = Find(results, "steady.allocations");
  ASSERT_NE(steady, nullptr);
  if (vhost::AllocationCountingAvailable()) {
    EXPECT_EQ(Figure(*steady, "allocations per call: ReceiveMessage 0x80 (tick)"), "0");
  } else {
    EXPECT_EQ(Figure(*steady, "allocations"), vhost::AllocationCountingUnavailableReason());
  }
}

// A producer's package comes from the C heap: freeing it there while it is
// still published is found through the host programs' free(), which the
// sanitizers' runtimes own in their builds.
TEST(Validator, PackageFromTheCHeapFreedWhilePublishedIsFound) {
  if (!vhost::AllocationCountingAvailable()) GTEST_SKIP() << vhost::AllocationCountingUnavailableReason();
  const auto results = ValidateOnly(Flawed("heap_package_freed"), "lifecycle.repeat");
  ASSERT_EQ(results.size(), 1u);
  const CTestResult& r = results.front();
  EXPECT_EQ(r.mStatus, ETestStatus::kFailed) << Report(results);
  ASSERT_FALSE(r.mFindings.empty());
  EXPECT_NE(r.mFindings.front().find("'flawed_heap_package_freed1' freed a block that is still the last value of "
                                     "its output 1 ('skeleton'), in ActivateActor(0) of "
                                     "'flawed_heap_package_freed1'"),
            std::string::npos)
      << Report(results);
  std::string output;
  EXPECT_EQ(Shell(r.mReproduce, output), 3) << r.mReproduce;
  EXPECT_NE(output.find(r.mFindings.front()), std::string::npos) << output;
}

TEST(Validator, AllocationsInTheSteadyStateAreCountedPerCallKindAndReported) {
  if (!vhost::AllocationCountingAvailable()) GTEST_SKIP() << vhost::AllocationCountingUnavailableReason();
  const auto results = ValidateOnly(Flawed("allocates"), "steady.allocations");
  ASSERT_EQ(results.size(), 1u);
  const CTestResult& r = results.front();
  EXPECT_EQ(r.mStatus, ETestStatus::kFailed) << Report(results);
  ASSERT_EQ(r.mFindings.size(), 1u) << Report(results);
  EXPECT_NE(r.mFindings.front().find("steady-state call(s) of ReceiveMessage 0x80 (tick)"), std::string::npos)
      << r.mFindings.front();
  // One malloc per tick, nothing for the package input or the host's own work.
  EXPECT_EQ(Figure(r, "allocations per call: ReceiveMessage 0x80 (tick)"), "1");
  EXPECT_EQ(Figure(r, "allocations per call: HandlePropertyChangeValue (skeleton package, labels unchanged)"), "0");
  std::string output;
  EXPECT_EQ(Shell(r.mReproduce, output), 3) << r.mReproduce;
  EXPECT_NE(output.find(r.mFindings.front()), std::string::npos) << output;

  const auto dir = std::filesystem::temp_directory_path() / ("validate_figures_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string error;
  ASSERT_TRUE(vhost::validate::WriteJsonReport(results, (dir / "r.json").string(), error)) << error;
  std::ifstream jsonFile(dir / "r.json");
  const auto json = nlohmann::json::parse(jsonFile);
  EXPECT_EQ(json["tests"][0]["figures"]["allocations per call: ReceiveMessage 0x80 (tick)"], 1.0);
  std::filesystem::remove_all(dir);
}

TEST(Validator, ExportCheckNamesOnlyWhatThePluginsOwnCodeExports) {
  std::string error;
  const auto unscripted = vhost::validate::ReadElfDynamicInfo(Flawed("unscripted"), error);
  ASSERT_TRUE(unscripted) << error;
  EXPECT_EQ(unscripted->mExports, std::vector<std::string>{"GetActorInfo"});
  if (unscripted->mLinkerDefined.empty()) {
    GTEST_SKIP() << "this linker left none of its own symbols in the table; nothing more to tell apart";
  }
  auto only = ValidateOnly(Flawed("unscripted"), "file.exports");
  ASSERT_EQ(only.size(), 1u);
  EXPECT_EQ(only.front().mStatus, ETestStatus::kPassed) << Report(only);
  only = ValidateOnly(Flawed("second_export"), "file.exports");
  ASSERT_EQ(only.size(), 1u);
  EXPECT_EQ(only.front().mFindings,
            std::vector<std::string>{"exports 'FlawedActorVersion' (a plug-in file exports GetActorInfo only)"});
}

TEST(Validator, LowerLevelsSkipTheTestsAboveThem) {
  const auto results = Validate(Flawed("sound"), 1);
  EXPECT_EQ(Find(results, "graph.wired")->mStatus, ETestStatus::kSkipped);
  EXPECT_EQ(Find(results, "order.late_message")->mStatus, ETestStatus::kSkipped);
  EXPECT_EQ(Find(results, "file.exports")->mStatus, ETestStatus::kPassed);
  EXPECT_TRUE(vhost::validate::AllPassed(results));
}

TEST(Validator, PrintedCommandLineReproducesTheFailure) {
  const std::pair<std::string, std::string> failures[] = {{"package_freed", "lifecycle.repeat"},
                                                          {"write_past_block", "lifecycle.repeat"},
                                                          {"null_string", "fuzz.properties"}};
  for (const auto& [variant, test] : failures) {
    const auto results = Validate(Flawed(variant));
    const CTestResult* r = Find(results, test);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->mStatus, ETestStatus::kPassed);
    std::string output;
    EXPECT_EQ(Shell(r->mReproduce, output), 3) << r->mReproduce;
    EXPECT_NE(output.find(vhost::validate::StatusName(r->mStatus) + " " + test), std::string::npos) << output;
    EXPECT_NE(output.find(r->mFindings.front()), std::string::npos) << output;
    EXPECT_NE(output.find("1 tests: 0 passed, 1 failed"), std::string::npos) << output;
  }
}

// Well-formed XML as far as a report needs it: balanced elements, quoted
// attributes, known entities, no raw '<' or '&' in text.
bool WellFormedXml(const std::string& xml, std::string& why) {
  std::vector<std::string> open;
  size_t i = xml.find("?>");
  if (xml.rfind("<?xml", 0) != 0 || i == std::string::npos) return why = "no declaration", false;
  for (i += 2; i < xml.size();) {
    if (xml[i] == '&') {
      const size_t end = xml.find(';', i);
      const std::string entity = end == std::string::npos ? "" : xml.substr(i, end - i + 1);
      if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" && entity != "&apos;")
        return why = "bad entity at " + std::to_string(i), false;
      i = end + 1;
    } else if (xml[i] == '<') {
      const size_t end = xml.find('>', i);
      if (end == std::string::npos) return why = "unclosed tag", false;
      std::string tag = xml.substr(i + 1, end - i - 1);
      if (std::count(tag.begin(), tag.end(), '"') % 2 != 0 || tag.find('<') != std::string::npos)
        return why = "bad attributes in <" + tag + ">", false;
      const bool closing = tag[0] == '/', empty = tag.back() == '/';
      const std::string name = tag.substr(closing ? 1 : 0, tag.find_first_of(" /", 1) - (closing ? 1 : 0));
      if (closing) {
        if (open.empty() || open.back() != name) return why = "unbalanced </" + name + ">", false;
        open.pop_back();
      } else if (!empty) {
        open.push_back(name);
      }
      i = end + 1;
    } else {
      ++i;
    }
  }
  if (!open.empty()) return why = "unclosed <" + open.back() + ">", false;
  return true;
}

TEST(Validator, JUnitAndJsonFilesAreWellFormed) {
  auto results = Validate(Flawed("null_string"));
  const auto more = Validate(Flawed("second_export"), 1);
  results.insert(results.end(), more.begin(), more.end());
  results.back().mFindings.push_back("bytes \xff\xfe <&> \"quoted\" \x01 from a plug-in");
  const auto dir = std::filesystem::temp_directory_path() / ("validate_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string error;
  ASSERT_TRUE(vhost::validate::WriteJUnitReport(results, (dir / "r.xml").string(), error)) << error;
  ASSERT_TRUE(vhost::validate::WriteJsonReport(results, (dir / "r.json").string(), error)) << error;
  std::ifstream xmlFile(dir / "r.xml"), jsonFile(dir / "r.json");
  const std::string xml((std::istreambuf_iterator<char>(xmlFile)), std::istreambuf_iterator<char>());
  std::string why;
  EXPECT_TRUE(WellFormedXml(xml, why)) << why << '\n' << xml;
  EXPECT_EQ(vhost::validate::ValidUtf8(xml), xml);
  EXPECT_NE(xml.find("<testsuite name=\"flawed_null_string.so\""), std::string::npos);
  EXPECT_NE(xml.find("<error message=\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("<skipped"), std::string::npos);
  const auto json = nlohmann::json::parse(jsonFile);
  EXPECT_FALSE(json["passed"].get<bool>());
  ASSERT_EQ(json["tests"].size(), results.size());
  EXPECT_EQ(json["tests"][0]["seed"].get<uint64_t>(), 42u);
  bool crash = false;
  for (const auto& t : json["tests"]) crash = crash || t["status"] == "CRASH";
  EXPECT_TRUE(crash);
  std::filesystem::remove_all(dir);
}

}  // namespace
