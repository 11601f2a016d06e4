// A patch: the text file `actorhost run` reads to set up and run actors.
//
// One statement per line; '#' starts a comment (outside quotes); blank lines
// are ignored. Words are separated by blanks; a word may contain "quoted
// text" (with \" and \\ inside) to hold blanks or '#'.
//
//   actor NAME PLUGIN [INPUT=VALUE ...]
//       An instance called NAME of the plug-in PLUGIN: a file path (with a
//       '/' or ending in .so) or a name found in the plug-in directories as
//       NAME.so or as a display name. INPUT is an input's name or ID; VALUE
//       is read for the input's type (whole number, number, 0/1/on/off,
//       text; data inputs take only 0). Values are set before activation.
//   wire FROM.OUTPUT -> TO.INPUT
//       Every value sent on the output reaches the input at once. OUTPUT is
//       an output's ID, display name or declared name.
//   plugin_dir DIR       Where plug-ins named without a path are looked for
//                        (relative to the patch file; repeatable).
//   tick_rate HZ         Service messages (kind 0x80) per second; default 60;
//                        from 0.001 to 1e9.
//   render_rate HZ       Render requests (kind 0x1000) per second; default 0;
//                        at most 1e9 (as print_rate).
//   duration SECONDS     How long to run; default: until interrupted.
//   ticks N              Stop after N ticks (whichever of duration and ticks
//                        comes first).
//   print TARGET...      Outputs to print: INSTANCE.OUTPUT or INSTANCE.*
//                        (every output the instance has at printing time).
//   print_rate HZ        Reports per second (default 1); 0 reports after each
//                        tick on which a printed output received a value.
//   fps TARGET...        With each report, how many values per second
//                        arrived on these outputs.
//   save TARGET DIR [EVERY]
//                        Writes the video frames sent on TARGET (a video
//                        output) as numbered PNG files in DIR (made when
//                        missing; relative to the patch file):
//                        DIR/INSTANCE_OUTPUT_00001.png, ... Every EVERY-th
//                        frame (default 1). Needs render_rate and the GL
//                        image buffers.
//   expect TARGET OP VALUE
//                        Checked at the end of the run: OP is one of == !=
//                        < <= > >=; a trigger output compares how many
//                        values it sent, any other output its last value.
//
// Outputs are named by ID, current display name or declared name; a name
// with blanks is quoted (split."head x"). Outputs an actor adds while it runs
// are found when they appear.
//
// The keywords, their forms and their help are in one table, PatchKeywords(),
// which the parser and `actorhost run --help` both read.
//
// Example:
//   actor watcher  kavrin_watcher   recv_ip_port=14043 suit_id=E46
//   actor split    bonesplit        channels=3 point_sel="head, left-hand, right-hand"
//   wire  watcher.skeleton -> split.skeleton_in
//   print watcher.error watcher.recv_pkt split.*
//   fps   watcher.skeleton
//   print_rate 2
//
// Thread-safety: plain values and a stateless parser.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_error.h"

namespace vhost {

// A problem in a patch, with the line it is on (0 when it is about the
// whole patch). what() reads "FILE:LINE: problem".
class CPatchError : public CHostError {
 public:
  CPatchError(const std::string& file, int line, const std::string& problem);
  int Line() const { return mLine; }

 private:
  int mLine;
};

struct CPatchSetting {
  std::string mInput;  // name or ID
  std::string mValue;  // text, quotes removed
  int mLine = 0;
};

struct CPatchActor {
  std::string mName;
  std::string mPlugin;  // path or name, as written
  std::vector<CPatchSetting> mSettings;
  int mLine = 0;
};

// INSTANCE.OUTPUT or INSTANCE.INPUT; mProperty is "*" for every output.
struct CPatchTarget {
  std::string mInstance;
  std::string mProperty;
  int mLine = 0;
  std::string Text() const { return mInstance + "." + mProperty; }
};

struct CPatchWire {
  CPatchTarget mFrom;
  CPatchTarget mTo;
  int mLine = 0;
};

struct CPatchSave {
  CPatchTarget mTarget;
  std::string mDirectory;
  uint64_t mEvery = 1;
  int mLine = 0;
};

struct CPatchExpect {
  CPatchTarget mTarget;
  std::string mOperator;  // == != < <= > >=
  std::string mValue;     // quotes removed
  bool mQuoted = false;   // compared as text
  int mLine = 0;
  std::string Text() const;
};

struct CPatchKeyword {
  const char* mName;
  const char* mForm;  // "tick_rate HZ"
  const char* mHelp;  // one line
};
// Every statement of the patch language, in the order the help lists them.
const std::vector<CPatchKeyword>& PatchKeywords();
// The keywords as help text: "  FORM   HELP" lines.
std::string PatchKeywordHelp();

struct CPatch {
  std::string mFile;  // for messages; plug-in directories are relative to its folder
  std::vector<CPatchActor> mActors;
  std::vector<CPatchWire> mWires;
  std::vector<std::string> mPluginDirs;
  double mTickRate = 60.0;
  double mRenderRate = 0.0;
  std::optional<double> mDuration;
  std::optional<uint64_t> mTicks;
  std::vector<CPatchTarget> mPrint;
  std::vector<CPatchTarget> mFps;
  std::vector<CPatchSave> mSaves;
  std::vector<CPatchExpect> mExpects;
  double mPrintRate = 1.0;

  const CPatchActor* FindActor(std::string_view name) const;
};

// Throws CPatchError naming the line and what is wrong.
CPatch ParsePatch(std::string_view text, const std::string& fileName);
// Reads and parses a file; a file that cannot be read is a CPatchError too.
CPatch ReadPatchFile(const std::string& path);

}  // namespace vhost
