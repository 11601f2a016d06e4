#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "host/run/patch.h"
#include "host/run/patch_runner.h"
#include "probe_paths.h"

using testing::HasSubstr;
using testing::Not;
using vhost::CPatchError;
using vhost::ParsePatch;

namespace {

std::string ParseError(const std::string& text) {
  try {
    ParsePatch(text, "p.patch");
    return "";
  } catch (const CPatchError& e) {
    return e.what();
  }
}

}  // namespace

TEST(PatchFiles, TheExampleFromTheHelpParses) {
  const auto patch = ParsePatch(
      "# watcher into splitter\n"
      "actor watcher  kavrin_watcher   recv_ip_port=14043 suit_id=E46\n"
      "\n"
      "actor split    bonesplit        channels=3 point_sel=\"head, left-hand, right-hand\"\n"
      "wire  watcher.skeleton -> split.skeleton_in   # the package\n"
      "print watcher.error watcher.recv_pkt split.*\n"
      "fps watcher.skeleton\n"
      "tick_rate 30\n"
      "print_rate 2\n"
      "duration 1.5\n",
      "p.patch");
  ASSERT_EQ(patch.mActors.size(), 2u);
  EXPECT_EQ(patch.mActors[0].mPlugin, "kavrin_watcher");
  ASSERT_EQ(patch.mActors[1].mSettings.size(), 2u);
  EXPECT_EQ(patch.mActors[1].mSettings[1].mInput, "point_sel");
  EXPECT_EQ(patch.mActors[1].mSettings[1].mValue, "head, left-hand, right-hand");
  EXPECT_EQ(patch.mActors[1].mLine, 4);
  ASSERT_EQ(patch.mWires.size(), 1u);
  EXPECT_EQ(patch.mWires[0].mFrom.Text(), "watcher.skeleton");
  EXPECT_EQ(patch.mWires[0].mTo.Text(), "split.skeleton_in");
  ASSERT_EQ(patch.mPrint.size(), 3u);
  EXPECT_EQ(patch.mPrint[2].mProperty, "*");
  EXPECT_EQ(patch.mTickRate, 30.0);
  EXPECT_EQ(patch.mPrintRate, 2.0);
  EXPECT_EQ(patch.mDuration, 1.5);
}

TEST(PatchFiles, OutputNamesWithBlanksAreQuoted) {
  const auto patch = ParsePatch("actor split x\nprint split.\"head x\" \"split.left-hand y\"\n", "p");
  ASSERT_EQ(patch.mPrint.size(), 2u);
  EXPECT_EQ(patch.mPrint[0].mInstance, "split");
  EXPECT_EQ(patch.mPrint[0].mProperty, "head x");
  EXPECT_EQ(patch.mPrint[1].mProperty, "left-hand y");
}

TEST(PatchFiles, QuotesKeepBlanksHashesAndEscapes) {
  const auto patch = ParsePatch("actor a x label=\"say \\\"hi\\\" # not a comment\" b=\"\"\n", "p");
  EXPECT_EQ(patch.mActors[0].mSettings[0].mValue, "say \"hi\" # not a comment");
  EXPECT_EQ(patch.mActors[0].mSettings[1].mValue, "");
}

TEST(PatchFiles, ErrorsNameTheLineAndWhatIsWrong) {
  EXPECT_EQ(ParseError("actor a x\nwir a.b -> c.d\n"),
            "p.patch:2: unknown keyword 'wir' (actor, wire, plugin_dir, tick_rate, render_rate, "
            "duration, ticks, print, print_rate, fps, save, expect)");
  EXPECT_THAT(ParseError("actor a x label=\"open\n"), HasSubstr("p.patch:1: unterminated quote"));
  EXPECT_THAT(ParseError("actor a\n"), HasSubstr("p.patch:1: expected 'actor NAME PLUGIN"));
  EXPECT_THAT(ParseError("actor a x count\n"), HasSubstr("'count' is not INPUT=VALUE"));
  EXPECT_THAT(ParseError("actor a x =3\n"), HasSubstr("'=3' is not INPUT=VALUE"));
  EXPECT_THAT(ParseError("actor a.b x\n"), HasSubstr("actor name 'a.b' may hold only"));
  EXPECT_THAT(ParseError("actor a x\nactor a y\n"),
              HasSubstr("p.patch:2: actor 'a' was already declared on line 1"));
  EXPECT_THAT(ParseError("actor a x\nactor b x\nwire a.o b.i\n"),
              HasSubstr("p.patch:3: expected 'wire FROM.OUTPUT -> TO.INPUT'"));
  EXPECT_THAT(ParseError("actor a x\nwire a.o -> c.i\n"), HasSubstr("p.patch:2: no actor named 'c'"));
  EXPECT_THAT(ParseError("actor a x\nwire a.o -> a.i\n"), HasSubstr("wired to itself"));
  EXPECT_THAT(ParseError("actor a x\nactor b x\nwire a.* -> b.i\n"), HasSubstr("'*' is for print only"));
  EXPECT_THAT(ParseError("actor a x\nprint a\n"), HasSubstr("'a' is not INSTANCE.PROPERTY"));
  EXPECT_THAT(ParseError("actor a x\nprint b.o\n"), HasSubstr("p.patch:2: no actor named 'b'"));
  EXPECT_THAT(ParseError("actor a x\ntick_rate 0\n"), HasSubstr("bad tick rate '0' (a positive number)"));
  EXPECT_THAT(ParseError("actor a x\ntick_rate fast\n"), HasSubstr("bad tick rate 'fast'"));
  EXPECT_THAT(ParseError("actor a x\nduration -1\n"), HasSubstr("bad duration '-1'"));
  EXPECT_THAT(ParseError("actor a x\nticks 2.5\n"), HasSubstr("bad tick count '2.5'"));
  EXPECT_THAT(ParseError("actor a x\ntick_rate 30\ntick_rate 60\n"),
              HasSubstr("p.patch:3: tick_rate was already given on line 2"));
  EXPECT_THAT(ParseError("actor a x\nduration\n"), HasSubstr("expected 'duration SECONDS'"));
  EXPECT_THAT(ParseError("# nothing\n"), HasSubstr("p.patch: declares no actor"));
  EXPECT_THAT(ParseError("actor a x\nrender_rate 5\nsave a.vout\n"),
              HasSubstr("p.patch:3: expected 'save INSTANCE.OUTPUT DIR [EVERY]'"));
  EXPECT_THAT(ParseError("actor a x\nrender_rate 5\nsave a.vout out 0\n"),
              HasSubstr("p.patch:3: bad frame interval '0'"));
  EXPECT_THAT(ParseError("actor a x\nsave a.vout out\n"),
              HasSubstr("p.patch:2: save needs render requests: give a render_rate"));
  EXPECT_THAT(ParseError("actor a x\nrender_rate 5\nsave b.vout out\n"), HasSubstr("p.patch:3: no actor named 'b'"));
}

TEST(PatchFiles, RatesARunCannotKeepAreRefused) {
  EXPECT_THAT(ParseError("actor a x\ntick_rate 1e-300\n"),
              HasSubstr("p.patch:2: tick rate '1e-300' is out of range (0.001 to 1e+09 per second)"));
  EXPECT_THAT(ParseError("actor a x\ntick_rate 0.0001\n"), HasSubstr("out of range"));
  EXPECT_THAT(ParseError("actor a x\ntick_rate 1e300\n"), HasSubstr("out of range"));
  EXPECT_THAT(ParseError("actor a x\nrender_rate 1e300\n"),
              HasSubstr("render rate '1e300' is out of range (0 to 1e+09 per second)"));
  EXPECT_THAT(ParseError("actor a x\nprint_rate 1e10\n"), HasSubstr("print rate '1e10' is out of range"));
  EXPECT_EQ(ParseError("actor a x\ntick_rate 0.001\nrender_rate 1e9\nprint_rate 0\n"), "");
}

TEST(PatchFiles, LongInputIsQuotedAsAnExcerpt) {
  const std::string junk(5 * 1024 * 1024, 'j');
  const std::string keyword = ParseError("actor a x\n" + junk + "\n");
  EXPECT_LT(keyword.size(), 400u);
  EXPECT_THAT(keyword, HasSubstr("p.patch:2: unknown keyword 'jjjj"));
  EXPECT_THAT(keyword, HasSubstr("...' (5242816 more bytes)"));
  EXPECT_LT(ParseError("actor a x " + junk + "\n").size(), 400u);
  EXPECT_LT(ParseError("actor a x\nprint a.b " + junk + "\n").size(), 400u);
  EXPECT_LT(ParseError("actor a x\ntick_rate 1" + junk + "\n").size(), 400u);
  EXPECT_THAT(ParseError("actor a x\nprint \x01\x02\n"), HasSubstr("'\\x01\\x02' is not INSTANCE.PROPERTY"));
}

TEST(PatchFiles, ManyActorsParseAndADuplicateNamesItsFirstLine) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "actor a" + std::to_string(i) + " x\n";
  EXPECT_EQ(ParsePatch(text + "print a19999.o\n", "p").mActors.size(), 20000u);
  EXPECT_THAT(ParseError(text + "actor a5 y\n"), HasSubstr("p.patch:20001: actor 'a5' was already declared on line 6"));
  EXPECT_THAT(ParseError(text + "print a20000.o\n"), HasSubstr("no actor named 'a20000'"));
}

namespace {

class PatchesRunInTheHost : public testing::Test {
 protected:
  // Runs `text` unpaced; returns what it printed, or the error text.
  std::string RunPatch(const std::string& text, bool listOutputs = false) {
    std::ostringstream out;
    try {
      vhost::CRunOptions options;
      options.mPaced = false;
      options.mListOutputs = listOutputs;
      options.mPrintAssertions = false;
      options.mPluginDirs.push_back(BuiltPluginDir());
      vhost::CPatchRunner runner(ParsePatch(text, "t.patch"), options, out);
      mStatus = runner.Run();
    } catch (const vhost::CHostError& e) {
      return e.what();
    }
    return out.str();
  }

  int mStatus = -1;
};

}  // namespace

TEST_F(PatchesRunInTheHost, PrintsChangedOutputsAfterEachTickAndASummary) {
  const std::string out = RunPatch(
      "actor a test_actor count=150 label=\"x y\"\n"
      "actor b \"Test Actor\"\n"
      "wire a.echo -> b.count\n"
      "ticks 3\n"
      "print_rate 0\n"
      "print a.* b.echo\n");
  EXPECT_EQ(mStatus, 0);
  EXPECT_THAT(out, HasSubstr("a.echo = 100\n"));  // clamped to the declared maximum
  EXPECT_THAT(out, HasSubstr("t.patch:1: warning: count=150 is outside the range of count (0 to 100); using 100\n"));
  EXPECT_THAT(out, HasSubstr("a.text = 'x y'\n"));
  EXPECT_THAT(out, HasSubstr("b.echo = 100  (2 values)\n"));
  EXPECT_THAT(out, HasSubstr("a.ticks = 3\n"));
  EXPECT_THAT(out, HasSubstr("actorhost: 3 ticks in 0.05 s; 0 assertion(s), 0 violation(s); after "
                             "disposal 0 memory block(s), 0 string(s), 0 image buffer(s) live"));
}

TEST_F(PatchesRunInTheHost, SkeletonsPrintTheirJointsAndRatesAreReported) {
  const std::string out = RunPatch("actor p " + ProbePath("probe") +
                                   " command=4\n"
                                   "ticks 120\nprint_rate 1\nprint p.skel\nfps p.logo\n");
  EXPECT_THAT(out, HasSubstr("p.skel = skeleton id 0, tracking 2, unit 0, 2 points"));
  EXPECT_THAT(out, testing::ContainsRegex("\n +head +1\\.5000 +0\\.0000 +0\\.0000"));
  EXPECT_THAT(out, testing::ContainsRegex("\n +neck +0\\.0000 +0\\.0000 +-2\\.0000"));
  EXPECT_THAT(out, HasSubstr("p.logo 60.0 values/s"));  // one log line per tick at 60 Hz
}

TEST_F(PatchesRunInTheHost, ListsEveryOutputWithItsIDNameAndLastValue) {
  const std::string out = RunPatch("actor p " + ProbePath("probe") + " command=3\nticks 1\n", true);
  EXPECT_THAT(out, HasSubstr("outputs of p (Host Probe):"));
  EXPECT_THAT(out, testing::ContainsRegex("2  nout +renamed +5\n"));
  EXPECT_THAT(out, testing::ContainsRegex("3  skel +skel +\\(nothing sent\\)\n"));
}

TEST_F(PatchesRunInTheHost, SavingFramesWithoutAFrameWriterIsRefusedAtItsLine) {
  const std::string out = RunPatch("actor a test_actor\nrender_rate 10\nticks 2\nsave a.skeleton frames\n");
  EXPECT_THAT(out, HasSubstr("t.patch:4: saving frames needs the GL image buffers"));
}

TEST_F(PatchesRunInTheHost, SetupErrorsNameThePatchLine) {
  EXPECT_THAT(RunPatch("actor a no_such_plugin\n"),
              HasSubstr("t.patch:1: plug-in 'no_such_plugin' not found"));
  EXPECT_THAT(RunPatch("actor a test_actor\nactor b test_actor colour=3\n"),
              HasSubstr("t.patch:2: b has no input 'colour' (inputs: count, gain"));
  EXPECT_THAT(RunPatch("actor a test_actor count=many\n"),
              HasSubstr("t.patch:1: bad value 'many' for count (int): expected a whole number"));
  EXPECT_THAT(RunPatch("actor a test_actor\nactor b test_actor\nwire a.text -> b.count\n"),
              HasSubstr("t.patch:3: cannot wire a.text (string) to b.count (int)"));
  EXPECT_THAT(RunPatch("actor a test_actor\nactor b test_actor\nwire a.echo -> b.nothing\n"),
              HasSubstr("t.patch:3: b has no input 'nothing' (inputs: count, gain"));
  EXPECT_THAT(RunPatch("actor a " + ProbePath("no_entry") + "\n"),
              HasSubstr("t.patch:1: " + ProbePath("no_entry") + ": does not export GetActorInfo"));
}

TEST_F(PatchesRunInTheHost, ContractViolationsGiveExitStatusThree) {
  RunPatch("actor p " + ProbePath("probe") + " command=7\nticks 1\n");
  EXPECT_EQ(mStatus, 3);
}

TEST_F(PatchesRunInTheHost, OutputsThatNeverAppearAreReportedAtTheEndAndFailTheRun) {
  // Outputs may be added while the actors run, so a name is looked for until
  // the end; one that never existed is a mistake in the patch.
  const std::string out = RunPatch(
      "actor a test_actor\nactor b test_actor\nwire a.nothing -> b.count\nprint a.other a.echo\nticks 2\n");
  EXPECT_THAT(out, HasSubstr("t.patch:3: a never had an output 'nothing' (outputs: echo, text"));
  EXPECT_THAT(out, HasSubstr("t.patch:4: a never had an output 'other'"));
  EXPECT_THAT(out, Not(HasSubstr("never had an output 'echo'")));
  EXPECT_EQ(mStatus, vhost::kRunBadPatch);
}

TEST_F(PatchesRunInTheHost, ExpectationsAreCheckedAtTheEnd) {
  const std::string out = RunPatch(
      "actor a test_actor count=12 label=\"x y\"\nticks 5\n"
      "expect a.echo == 12\nexpect a.ticks >= 5\nexpect a.text == \"x y\"\nexpect a.text != ''\n");
  EXPECT_EQ(mStatus, vhost::kRunOk) << out;
  EXPECT_THAT(out, HasSubstr("t.patch:3: expect a.echo == 12: holds"));
  EXPECT_THAT(out, HasSubstr("t.patch:5: expect a.text == 'x y': holds"));

  const std::string failed = RunPatch("actor a test_actor count=12\nticks 5\nexpect a.ticks > 5\n"
                                      "expect a.text == 'hello'\n");
  EXPECT_EQ(mStatus, vhost::kRunFailed);
  EXPECT_THAT(failed, HasSubstr("t.patch:3: expect a.ticks > 5: FAILED, got 5"));
  EXPECT_THAT(failed, HasSubstr("t.patch:4: expect a.text == 'hello': FAILED, got ''"));
  EXPECT_THAT(ParseError("actor a x\nexpect a.b >> 3\n"), HasSubstr("p.patch:2: '>>' is not one of == !="));
  EXPECT_THAT(ParseError("actor a x\nexpect a.b > 'x'\n"), HasSubstr("text compares only with == and !="));
  EXPECT_THAT(ParseError("actor a x\nexpect a.b == x\n"), HasSubstr("'x' is neither a number nor 'quoted text'"));
  EXPECT_THAT(ParseError("actor a x\nexpect c.b == 1\n"), HasSubstr("p.patch:2: no actor named 'c'"));
}

TEST_F(PatchesRunInTheHost, FailedAssertionsFailTheRun) {
  RunPatch("actor p " + ProbePath("probe") + " command=6\nticks 1\n");
  EXPECT_EQ(mStatus, vhost::kRunFailed);
}

TEST_F(PatchesRunInTheHost, OutputsAddedWhileRunningAreNamedByIDOrQuotedName) {
  // The first tick count reaching the probe's command input makes it add an
  // output ("added_1", ID ad01) while the run is under way.
  const std::string out = RunPatch("actor a test_actor\nactor p " + ProbePath("probe") +
                                   "\nactor b test_actor\n"
                                   "wire a.ticks -> p.command\n"
                                   "wire p.ad01 -> b.count\n"
                                   "print p.\"added_1\" p.ad01\nfps p.ad01\nticks 1\n");
  EXPECT_EQ(mStatus, vhost::kRunOk) << out;
  EXPECT_THAT(out, HasSubstr("p.added_1 = 0  (nothing sent yet)"));
  EXPECT_THAT(out, Not(HasSubstr("never had")));
}

TEST_F(PatchesRunInTheHost, RateLinesComeOnTheirScheduleWhateverTheTickRate) {
  // 7 Hz ticks against 2 reports a second: a tick lands late on almost
  // every half second, and no report may be lost to the lateness.
  const std::string out = RunPatch("actor a test_actor\ntick_rate 7\nduration 10\nprint_rate 2\nfps a.ticks\n");
  size_t lines = 0;
  for (size_t at = out.find(" values/s"); at != std::string::npos; at = out.find(" values/s", at + 1)) ++lines;
  EXPECT_GE(lines, 19u) << out;
}

TEST_F(PatchesRunInTheHost, ASlowTickRateEndsAtTheDurationNotAtTheNextTick) {
  std::ostringstream out;
  vhost::CRunOptions options;
  options.mPluginDirs.push_back(BuiltPluginDir());
  // One tick every 1,000 s: the run ends after its first tick, at 0.05 s.
  vhost::CPatchRunner runner(ParsePatch("actor a test_actor\ntick_rate 0.001\nduration 0.05\n", "t.patch"),
                             options, out);
  EXPECT_EQ(runner.Run(), vhost::kRunOk) << out.str();
  EXPECT_EQ(runner.Ticks(), 1u);
}

TEST_F(PatchesRunInTheHost, AHugeBadValueIsQuotedAsAnExcerpt) {
  const std::string error = RunPatch("actor a test_actor count=" + std::string(1024 * 1024, '9') + "x\n");
  EXPECT_LT(error.size(), 400u);
  EXPECT_THAT(error, HasSubstr("t.patch:1: bad value '9999"));
  EXPECT_THAT(error, HasSubstr("more bytes) for count (int)"));
}
