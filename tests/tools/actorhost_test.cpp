// The actorhost command line, run as a user runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using testing::HasSubstr;
using testing::Not;

namespace {

struct CRun {
  int mStatus = -1;
  std::string mOutput;  // stdout and stderr together
};

CRun RunActorhost(const std::string& arguments) {
  CRun run;
  const std::string command = std::string(VORL_ACTORHOST) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> chunk;
  size_t n = 0;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.mOutput.append(chunk.data(), n);
  const int status = pclose(pipe);
  run.mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string PluginDir() {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  return dir != nullptr ? dir : "plugins";
}

}  // namespace

TEST(ActorhostInspect, PrintsTheRegistrationAndEveryPropertyWithItsHelp) {
  const CRun run = RunActorhost("inspect " + PluginDir() + "/test_actor.so");
  EXPECT_EQ(run.mStatus, 0) << run.mOutput;
  EXPECT_THAT(run.mOutput, HasSubstr("display name  Test Actor"));
  EXPECT_THAT(run.mOutput, HasSubstr("class code    'cntl' (0x636E746C)"));
  EXPECT_THAT(run.mOutput, HasSubstr("actor ID      '_tst' (0x5F747374)"));
  EXPECT_THAT(run.mOutput, HasSubstr("constants     256 (byte 12), 128 (byte 16)"));
  EXPECT_THAT(run.mOutput, HasSubstr("help          A test actor that echoes its inputs."));
  EXPECT_THAT(run.mOutput, testing::ContainsRegex("1  count +cont +int +number +0 \\.\\. 100  default 7"));
  EXPECT_THAT(run.mOutput, HasSubstr("Number echoed on 'echo'."));
  EXPECT_THAT(run.mOutput, HasSubstr("outputs (4)"));
  EXPECT_THAT(run.mOutput, HasSubstr("The number of service messages received."));
}

TEST(ActorhostInspect, ABadFileGivesOneLineAndAFailingStatus) {
  const CRun run = RunActorhost(std::string("inspect ") + VORL_HOST_PROBE_DIR + "/no_entry.so");
  EXPECT_EQ(run.mStatus, 1);
  EXPECT_THAT(run.mOutput, HasSubstr("does not export GetActorInfo"));
  EXPECT_EQ(std::count(run.mOutput.begin(), run.mOutput.end(), '\n'), 1);
}

TEST(ActorhostInspect, GoodFilesArePrintedEvenWhenAnotherIsBad) {
  const CRun run = RunActorhost("inspect /nonexistent.so " + PluginDir() + "/test_actor.so");
  EXPECT_EQ(run.mStatus, 1);
  EXPECT_THAT(run.mOutput, HasSubstr("/nonexistent.so: no such file"));
  EXPECT_THAT(run.mOutput, HasSubstr("display name  Test Actor"));
}

namespace {

std::string WritePatch(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path) << text;
  return path.string();
}

}  // namespace

TEST(ActorhostRun, RunsAPatchAndPrintsOutputsAndTheSummary) {
  const std::string patch = WritePatch("vorl_actorhost_run.patch",
                                       "actor a test_actor count=12\n"
                                       "actor b test_actor\n"
                                       "wire a.echo -> b.count\n"
                                       "print b.echo a.ticks\n");
  const CRun run = RunActorhost("run " + patch + " --fast --ticks 4 --list-outputs --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 0) << run.mOutput;
  EXPECT_THAT(run.mOutput, HasSubstr("b.echo = 12"));
  EXPECT_THAT(run.mOutput, HasSubstr("a.ticks = 4"));
  EXPECT_THAT(run.mOutput, HasSubstr("outputs of b (Test Actor):"));
  EXPECT_THAT(run.mOutput, HasSubstr("actorhost: 4 ticks"));
}

TEST(ActorhostRun, ABadPatchNamesTheLineAndFails) {
  const std::string patch = WritePatch("vorl_actorhost_bad.patch", "actor a test_actor\nwire a.echo b.count\n");
  const CRun run = RunActorhost("run " + patch + " --fast --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 1);
  EXPECT_THAT(run.mOutput, HasSubstr("vorl_actorhost_bad.patch:2: expected 'wire FROM.OUTPUT -> TO.INPUT'"));
}

TEST(ActorhostRun, HelpDescribesThePatchFormat) {
  const CRun run = RunActorhost("run --help");
  EXPECT_EQ(run.mStatus, 0);
  EXPECT_THAT(run.mOutput, HasSubstr("actor NAME PLUGIN [INPUT=VALUE ...]"));
  EXPECT_THAT(run.mOutput, HasSubstr("wire FROM.OUTPUT -> TO.INPUT"));
  EXPECT_THAT(run.mOutput, HasSubstr("--list-outputs"));
}
