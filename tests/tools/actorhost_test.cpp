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
#include <utility>
#include <vector>

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

// Width and height from a PNG file's header, or (0, 0) when it is not one.
std::pair<uint32_t, uint32_t> PngSize(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[24] = {};
  in.read(reinterpret_cast<char*>(head), sizeof(head));
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!in || !std::equal(kSignature, kSignature + 8, head)) return {0, 0};
  auto be32 = [&](int at) {
    return (uint32_t{head[at]} << 24) | (uint32_t{head[at + 1]} << 16) | (uint32_t{head[at + 2]} << 8) | head[at + 3];
  };
  return {be32(16), be32(20)};
}

TEST(ActorhostRun, SavesEveryNthVideoFrameOnceThereIsASkeletonBesideThePatch) {
  const auto dir = std::filesystem::temp_directory_path() / "vorl_actorhost_frames";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  // A longer earlier run left a higher-numbered frame; this run's frames
  // must not sit beside it.
  std::ofstream(dir / "scope_video_out_00009.png") << "old";
  std::ofstream(dir / "notes.txt") << "kept";
  // The watcher with port 0 publishes its template package on activation, so
  // every render has a skeleton. Six ticks at 60 Hz span 0 to 6/60 s:
  // requests at 0, 1/60, ..., 6/60 make seven frames, of which the 1st, 3rd,
  // 5th and 7th are saved, in a folder named relative to the patch file.
  const std::string patch = WritePatch("vorl_actorhost_save.patch",
                                       "actor w kavrin_watcher recv_ip_port=0\n"
                                       "actor scope bonescope width=48 height=20\n"
                                       "wire w.skeleton -> scope.skeleton_in\n"
                                       "render_rate 60\n"
                                       "ticks 6\n"
                                       "save scope.video_out vorl_actorhost_frames 2\n");
  const CRun run = RunActorhost("run " + patch + " --fast --plugin-dir " + PluginDir());
  ASSERT_EQ(run.mStatus, 0) << run.mOutput;
  EXPECT_THAT(run.mOutput, HasSubstr("actorhost: saved 4 frame(s) of scope.video_out in " + dir.string()));
  EXPECT_THAT(run.mOutput, HasSubstr("7 render request(s) sent, 0 dropped"));
  for (const char* name : {"scope_video_out_00001.png", "scope_video_out_00002.png", "scope_video_out_00003.png",
                           "scope_video_out_00004.png"})
    EXPECT_EQ(PngSize(dir / name), (std::pair<uint32_t, uint32_t>{48, 20})) << name;
  EXPECT_FALSE(std::filesystem::exists(dir / "scope_video_out_00005.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "scope_video_out_00009.png"));
  EXPECT_TRUE(std::filesystem::exists(dir / "notes.txt"));
  std::filesystem::remove_all(dir);
}

TEST(ActorhostRun, AScopeWithoutASkeletonSavesNoEmptyPicture) {
  const auto dir = std::filesystem::temp_directory_path() / "vorl_actorhost_empty";
  std::filesystem::remove_all(dir);
  const std::string patch = WritePatch("vorl_actorhost_empty.patch",
                                       "actor scope bonescope width=48 height=20\n"
                                       "render_rate 60\nticks 6\n"
                                       "save scope.video_out " + dir.string() + "\n");
  const CRun run = RunActorhost("run " + patch + " --fast --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 0) << run.mOutput;
  EXPECT_THAT(run.mOutput, HasSubstr("actorhost: saved 0 frame(s) of scope.video_out"));
  std::filesystem::remove_all(dir);
}

TEST(ActorhostRun, AnImageSizeBeyondTheGLLimitIsABadPatchThatNamesTheLimit) {
  const std::string patch = WritePatch("vorl_actorhost_huge.patch",
                                       "actor scope bonescope width=1000000 height=20\n"
                                       "render_rate 10\nticks 2\n");
  const CRun run = RunActorhost("run " + patch + " --fast --video gl --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 1) << run.mOutput;
  EXPECT_THAT(run.mOutput, testing::ContainsRegex(
                               "vorl_actorhost_huge.patch:1: width=1000000 is above the image buffers' limit of "
                               "[0-9]+ pixels"));
}

TEST(ActorhostRun, RenderRatesBeyondTheRunEndAtTheDurationAndDropWhatIsLate) {
  const std::string patch = WritePatch("vorl_actorhost_flood.patch",
                                       "actor w kavrin_watcher recv_ip_port=0\n"
                                       "actor scope bonescope width=32 height=32\n"
                                       "wire w.skeleton -> scope.skeleton_in\n"
                                       "render_rate 1e7\ntick_rate 1e6\nduration 0.3\n");
  const CRun run = RunActorhost("run " + patch + " --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 0) << run.mOutput;
  EXPECT_THAT(run.mOutput, testing::ContainsRegex("render request\\(s\\) sent, [1-9][0-9]* dropped"));
  EXPECT_THAT(run.mOutput, testing::ContainsRegex("ticks in 0\\.[3-9]"));
}

TEST(ActorhostRun, HelpDescribesThePatchFormat) {
  const CRun run = RunActorhost("run --help");
  EXPECT_EQ(run.mStatus, 0);
  EXPECT_THAT(run.mOutput, HasSubstr("actor NAME PLUGIN [INPUT=VALUE ...]"));
  EXPECT_THAT(run.mOutput, HasSubstr("wire FROM.OUTPUT -> TO.INPUT"));
  EXPECT_THAT(run.mOutput, HasSubstr("--list-outputs"));
  EXPECT_THAT(run.mOutput, HasSubstr("save INSTANCE.OUTPUT DIR [EVERY]"));
}

TEST(ActorhostRun, BadCommandLinesExitTwoWithAReadableRule) {
  for (const char* arguments : {"run x.patch --duration 0", "run x.patch --print-rate -1", "frobnicate", ""}) {
    const CRun run = RunActorhost(arguments);
    EXPECT_EQ(run.mStatus, 2) << arguments << "\n" << run.mOutput;
    EXPECT_THAT(run.mOutput, Not(HasSubstr("1797693134862315708145"))) << arguments;
  }
  EXPECT_THAT(RunActorhost("run x.patch --duration 0").mOutput, HasSubstr("--duration: '0' is not a number above 0"));
  EXPECT_EQ(RunActorhost("run /nonexistent/x.patch").mStatus, 1);
}

TEST(ActorhostRun, WritesReportsAndASummaryAsJsonLines) {
  const auto json = std::filesystem::temp_directory_path() / "vorl_actorhost_run.jsonl";
  std::filesystem::remove(json);
  const std::string patch = WritePatch("vorl_actorhost_json.patch",
                                       "actor a test_actor count=12\nprint a.echo\nfps a.ticks\n"
                                       "print_rate 2\nexpect a.echo == 12\n");
  const CRun run = RunActorhost("run " + patch + " --fast --ticks 120 --json " + json.string() +
                                " --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 0) << run.mOutput;
  std::ifstream in(json);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_THAT(lines.front(), HasSubstr("\"type\":\"report\""));
  EXPECT_THAT(lines.front(), HasSubstr("\"output\":\"a.echo\""));
  EXPECT_THAT(lines.back(), HasSubstr("\"type\":\"summary\""));
  for (const char* key : {"\"ticks\":120", "\"violations\":0", "\"assertions\":0", "\"live_memory_blocks\":0",
                          "\"held\":true", "\"exit_status\":0"})
    EXPECT_THAT(lines.back(), HasSubstr(key));
  std::filesystem::remove(json);
}

TEST(ActorhostRun, TheHelpExamplePatchRunsAsWritten) {
  // The example in `run --help`, with a port of its own and a short run.
  const std::string help = RunActorhost("run --help").mOutput;
  const size_t from = help.find("Example:\n");
  const size_t to = help.find("Each watcher", from);
  ASSERT_NE(from, std::string::npos);
  std::string example;
  for (size_t at = help.find('\n', from) + 1; at < to;) {
    const size_t end = help.find('\n', at);
    example += help.substr(at, end - at) + "\n";
    at = end + 1;
  }
  const size_t port = example.find("14043");
  ASSERT_NE(port, std::string::npos);
  example.replace(port, 5, "0");
  const std::string patch = WritePatch("vorl_actorhost_example.patch", example + "duration 0.2\n");
  const CRun run = RunActorhost("run " + patch + " --plugin-dir " + PluginDir());
  EXPECT_EQ(run.mStatus, 0) << example << run.mOutput;
  EXPECT_THAT(run.mOutput, HasSubstr("expect watcher.error == '': holds"));
}

TEST(ActorhostInspect, NamesAsInAPatchNotesForOtherFilesAndJson) {
  const CRun byName = RunActorhost("inspect \"Test Actor\" " + std::string(VORL_HOST_PROBE_DIR) + "/no_entry.so");
  EXPECT_EQ(byName.mStatus, 0) << byName.mOutput;
  EXPECT_THAT(byName.mOutput, HasSubstr("display name  Test Actor"));
  EXPECT_THAT(byName.mOutput, HasSubstr("not an actor plug-in, skipped"));
  const CRun json = RunActorhost("inspect --json test_actor");
  EXPECT_EQ(json.mStatus, 0) << json.mOutput;
  EXPECT_THAT(json.mOutput, HasSubstr("\"display_name\":\"Test Actor\""));
  EXPECT_THAT(json.mOutput, HasSubstr("\"name\":\"count\""));
}
