// macos_smoke: loads one plug-in file the way a host does and drives one
// instance through its whole life, printing one line per check and a
// verdict. Made to be run on a Mac against a bundle of tools/build_macos.sh;
// it builds and runs the same way on Linux against the .so files.
//
//   macos_smoke PLUGIN [--port N]
//
// PLUGIN is a .bundle folder (its Contents/MacOS/ executable is loaded) or a
// plug-in file. The watcher listens on N (default: a free port) and is sent
// one suit frame on 127.0.0.1; Bonesplit is handed a skeleton package.
// Exit status: 0 all checks passed, 1 a check failed, 2 a bad command line.
#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_abi.h"
#include "host/record_layout.h"
#include "tools/macos_smoke/smoke_host.h"
#include "tools/macos_smoke/suit_frame_sender.h"

namespace layout = vhost::layout;

namespace {

constexpr uint32_t kCodeCntl = 0x636E746C;     // 'cntl'
constexpr uint32_t kWatcherID = 0x5F737370;    // '_ssp'
constexpr uint32_t kBonesplitID = 0x5F736B6C;  // '_skl'
constexpr uint32_t kWatcherMessages = 0x80;
constexpr uint8_t kTracked = 2;

class CChecks {
 public:
  bool Check(bool passed, const std::string& what, const std::string& detail = "") {
    ++mCount;
    if (passed) {
      std::printf("ok   %s\n", what.c_str());
    } else {
      ++mFailed;
      std::printf("FAIL %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
    return passed;
  }
  int Verdict() const {
    if (mFailed == 0) {
      std::printf("PASS: %d checks\n", mCount);
      return 0;
    }
    std::printf("FAIL: %d of %d checks failed\n", mFailed, mCount);
    return 1;
  }

 private:
  int mCount = 0;
  int mFailed = 0;
};

template <class Fn>
Fn EntryPoint(const unsigned char* record, size_t offset) {
  return reinterpret_cast<Fn>(layout::ReadAt<void*>(record, offset));
}

// The executable of a bundle folder, named by CFBundleExecutable in its
// Info.plist; any other path as it is.
std::string ResolvePluginFile(const std::string& path, CChecks& checks) {
  std::ifstream plist(path + "/Contents/Info.plist");
  if (!plist) return path;
  std::stringstream text;
  text << plist.rdbuf();
  const std::string content = text.str();
  const std::string key = "<key>CFBundleExecutable</key>";
  size_t at = content.find(key);
  std::string executable;
  if (at != std::string::npos) {
    at = content.find("<string>", at);
    const size_t end = content.find("</string>", at);
    if (at != std::string::npos && end != std::string::npos)
      executable = content.substr(at + 8, end - at - 8);
  }
  checks.Check(!executable.empty(), "bundle names its executable (CFBundleExecutable)");
  return path + "/Contents/MacOS/" + executable;
}

std::string PointName(const std::vector<unsigned char>& package, size_t point) {
  const size_t at = layout::kSkelHeaderSize + point * layout::kSkelPointSize + layout::kSkelPointName;
  const char* name = reinterpret_cast<const char*>(package.data() + at);
  return std::string(name, strnlen(name, layout::kSkelPointNameSize));
}

float PointCoordinate(const std::vector<unsigned char>& package, size_t point, size_t axis) {
  return layout::ReadAt<float>(package.data(), layout::kSkelHeaderSize +
                                                   point * layout::kSkelPointSize +
                                                   layout::kSkelPointX + axis * sizeof(float));
}

void SetInput(CSmokeHost& host, const unsigned char* record, uint16_t index, unsigned char* value) {
  auto change = EntryPoint<vhost::HandlePropertyChangeValueFn>(record, layout::kHandlePropertyChangeValue);
  change(host.Parameters(), host.Instance(), index, nullptr, host.StoreInput(index, value), 1);
}

// The watcher, activated, listens on a loopback port and publishes the frame
// it is sent. A port someone else took meanwhile is replaced by another.
void DriveWatcher(CSmokeHost& host, const unsigned char* record, uint16_t requestedPort,
                  CChecks& checks) {
  unsigned char value[layout::kValueSize];
  uint16_t port = requestedPort != 0 ? requestedPort : CSuitFrameSender::FindFreePort();
  host.IntegerValue(port, value);
  SetInput(host, record, 1, value);
  host.StringValue("E46", value);
  SetInput(host, record, 2, value);
  host.IntegerValue(1, value);
  SetInput(host, record, 3, value);
  host.IntegerValue(0, value);
  for (uint16_t axis = 4; axis <= 6; ++axis) SetInput(host, record, axis, value);

  CSuitFrameSender sender;
  std::string error;
  if (!checks.Check(sender.Ready(&error), "UDP socket for sending", error)) return;

  // The receiver binds its port on its own thread: the frame is sent again
  // until it arrives, and the watcher is served as the host would.
  int portsTried = 1;
  std::string watcherError;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (host.Sent(3).empty() && std::chrono::steady_clock::now() < deadline) {
    if (!sender.Send(port, "E46", &error)) break;
    host.SendMessage(kWatcherMessages);
    if (!host.Sent(2).empty()) watcherError = host.Sent(2).back().mText;
    if (requestedPort == 0 && watcherError.rfind("socket: bind error", 0) == 0 && portsTried < 5) {
      port = CSuitFrameSender::FindFreePort();
      host.IntegerValue(port, value);
      SetInput(host, record, 1, value);
      host.ClearSent();
      watcherError.clear();
      ++portsTried;
      continue;
    }
    if (!watcherError.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  checks.Check(watcherError.empty(), "watcher listens on port " + std::to_string(port) + " (error '')",
               "error '" + watcherError + "'" + (error.empty() ? "" : ", " + error));
  const auto& triggers = host.Sent(3);
  if (!checks.Check(!triggers.empty(), "a suit frame sent to 127.0.0.1:" + std::to_string(port) +
                                           " is announced on recv_pkt",
                    "nothing within 10 s"))
    return;
  checks.Check(triggers.front().mType == layout::kTypeInteger && triggers.front().mInteger == 1,
               "recv_pkt sends the integer 1");

  const std::vector<unsigned char>* package = nullptr;
  for (const auto& sent : host.Sent(1))
    if (!sent.mPackage.empty()) package = &sent.mPackage;
  if (!checks.Check(package != nullptr, "skeleton output carries a skeleton package")) return;
  const uint32_t points = layout::ReadAt<uint32_t>(package->data(), layout::kSkelPointCount);
  const char* typeName = reinterpret_cast<const char*>(package->data() + layout::kSkelTypeName);
  checks.Check(points == CSuitFrameSender::kJointCount &&
                   std::string(typeName, strnlen(typeName, layout::kSkelTypeNameSize)) == "skeleton",
               "package: 19 points, type name 'skeleton'");
  if (points != CSuitFrameSender::kJointCount) return;
  checks.Check(package->at(layout::kSkelTrackingState) == kTracked, "package: tracking state 2 (tracked)");
  checks.Check(PointName(*package, 0) == "head" && PointName(*package, 14) == "hip",
               "package: friendly joint names (point 1 'head', point 15 'hip')",
               "'" + PointName(*package, 0) + "', '" + PointName(*package, 14) + "'");
  std::string mismatch;
  for (size_t point = 0; point < points && mismatch.empty(); ++point) {
    const auto expected = CSuitFrameSender::ExpectedPosition(point);
    for (size_t axis = 0; axis < 3; ++axis) {
      const float got = PointCoordinate(*package, point, axis);
      if (got != expected[axis])
        mismatch = "point " + std::to_string(point + 1) + " axis " + std::to_string(axis) + ": " +
                   std::to_string(got) + " instead of " + std::to_string(expected[axis]);
    }
  }
  checks.Check(mismatch.empty(), "package: the 19 positions of the frame, in slot order", mismatch);
}

// Bonesplit, given a package whose first point is the head, sends the head's
// coordinates on its first channel.
void DriveBonesplit(CSmokeHost& host, const unsigned char* record, CChecks& checks) {
  std::vector<unsigned char> package(layout::kSkelHeaderSize + 2 * layout::kSkelPointSize);
  layout::WriteAt<uint32_t>(package.data(), layout::kSkelSignature, layout::kSkeletonSignature);
  package[layout::kSkelVersion] = 1;
  std::memcpy(package.data() + layout::kSkelTypeName, "skeleton", 8);
  package[layout::kSkelTrackingState] = kTracked;
  package[layout::kSkelUnit] = 2;
  layout::WriteAt<uint64_t>(package.data(), layout::kSkelLabelHash, 0x5eed);
  layout::WriteAt<uint32_t>(package.data(), layout::kSkelPointCount, 2);
  const char* names[2] = {"hip", "head"};
  const float head[3] = {0.5f, 1.75f, -2.25f};
  for (size_t point = 0; point < 2; ++point) {
    unsigned char* at = package.data() + layout::kSkelHeaderSize + point * layout::kSkelPointSize;
    std::memcpy(at + layout::kSkelPointName, names[point], std::strlen(names[point]));
    for (size_t axis = 0; axis < 3; ++axis)
      layout::WriteAt<float>(at, layout::kSkelPointX + axis * sizeof(float), point == 1 ? head[axis] : 0.0f);
  }
  unsigned char value[layout::kValueSize];
  host.StringValue("head", value);
  SetInput(host, record, 3, value);
  host.DataValue(package.data(), value);
  SetInput(host, record, 1, value);

  bool same = true;
  std::string detail;
  for (uint16_t axis = 0; axis < 3; ++axis) {
    const auto& sent = host.Sent(static_cast<uint16_t>(5 + axis));
    const bool ok = !sent.empty() && sent.back().mType == layout::kTypeFloat &&
                    static_cast<float>(sent.back().mFloat) == head[axis];
    if (!ok) {
      same = false;
      detail = sent.empty() ? "output " + std::to_string(5 + axis) + " sent nothing"
                            : "output " + std::to_string(5 + axis) + " = " + std::to_string(sent.back().mFloat);
    }
  }
  checks.Check(same, "Bonesplit sends the head's x, y, z of a package it is handed", detail);
  host.DataValue(nullptr, value);
  SetInput(host, record, 1, value);
}

int Run(const std::string& path, uint16_t port) {
  CChecks checks;
  const std::string file = ResolvePluginFile(path, checks);
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!checks.Check(library != nullptr, "load " + file, library == nullptr ? dlerror() : ""))
    return checks.Verdict();
  auto getActorInfo = reinterpret_cast<vhost::GetActorInfoFn>(dlsym(library, "GetActorInfo"));
  if (!checks.Check(getActorInfo != nullptr, "GetActorInfo is exported")) {
    dlclose(library);
    return checks.Verdict();
  }

  alignas(16) unsigned char registration[layout::kActorInfoSize] = {};
  getActorInfo(nullptr, reinterpret_cast<ActorInfo*>(registration));
  const uint32_t actorID = layout::ReadAt<uint32_t>(registration, layout::kActorID);
  const auto* name = layout::ReadAt<const char*>(registration, layout::kDisplayName);
  const bool watcher = actorID == kWatcherID;
  const bool bonesplit = actorID == kBonesplitID;
  checks.Check((watcher || bonesplit) && layout::ReadAt<uint32_t>(registration, layout::kClassCode) == kCodeCntl,
               "registration: class 'cntl', actor '_ssp' (watcher) or '_skl' (Bonesplit)");
  checks.Check(layout::ReadAt<uint32_t>(registration, layout::kConstant256) == 256 &&
                   layout::ReadAt<uint32_t>(registration, layout::kConstant128) == 128,
               "registration: constants 256 and 128");
  const std::string displayName = name != nullptr ? name : "";
  checks.Check(displayName == (watcher ? "Kavrin Studio Live Watcher" : "Bonesplit"),
               "registration: display name '" + displayName + "'");
  bool entries = true;
  for (size_t slot : {layout::kGetParameterString, layout::kGetHelpString, layout::kCreateActor,
                      layout::kDisposeActor, layout::kActivateActor, layout::kHandlePropertyChangeValue,
                      layout::kPropertyValueToString, layout::kGetActorDefinedArea,
                      layout::kDrawActorDefinedArea})
    entries = entries && layout::ReadAt<void*>(registration, slot) != nullptr;
  for (size_t slot : {layout::kNullSlot680, layout::kNullSlot688, layout::kNullSlot736})
    entries = entries && layout::ReadAt<void*>(registration, slot) == nullptr;
  entries = entries && (layout::ReadAt<void*>(registration, layout::kPropertyStringToValue) != nullptr) == watcher;
  if (!checks.Check(entries, "registration: every entry point in its slot") || !(watcher || bonesplit)) {
    dlclose(library);
    return checks.Verdict();
  }

  CSmokeHost host;
  host.MakeInstance(registration);
  const unsigned char* record = registration;
  const char* definition = EntryPoint<vhost::GetParameterStringFn>(record, layout::kGetParameterString)(
      host.Parameters(), host.Instance());
  const std::string text = definition != nullptr ? definition : "";
  uint16_t inputs = 0;
  uint32_t outputs = 0;
  for (size_t at = text.find("INPROP"); at != std::string::npos; at = text.find("INPROP", at + 1)) ++inputs;
  for (size_t at = text.find("OUTPROP"); at != std::string::npos; at = text.find("OUTPROP", at + 1)) ++outputs;
  host.SetPropertyCounts(inputs, outputs);
  checks.Check(!text.empty() && text.back() == '\r' && text.find('\n') == std::string::npos &&
                   inputs == (watcher ? 6 : 7),
               "property definitions: " + std::to_string(inputs) + " inputs, lines end in CR");

  char help[512] = {};
  EntryPoint<vhost::GetHelpStringFn>(record, layout::kGetHelpString)(host.Parameters(), host.Instance(), 0, 0,
                                                                    help, sizeof(help));
  checks.Check(help[0] != 0, "help text of the actor: '" + std::string(help).substr(0, 40) + "...'");

  EntryPoint<vhost::CreateActorFn>(record, layout::kCreateActor)(host.Parameters(), host.Instance());
  checks.Check(layout::ReadAt<void*>(host.Instance(), layout::kActorDataPtr) != nullptr &&
                   host.LiveBlocks() == 1,
               "CreateActor takes its data block from the host");
  auto activate = EntryPoint<vhost::ActivateActorFn>(record, layout::kActivateActor);
  activate(host.Parameters(), host.Instance(), 1);
  if (watcher) {
    checks.Check(host.Receivers().size() == 1 && host.Receivers().begin()->second.mKindMask == kWatcherMessages,
                 "ActivateActor(1) registers one message receiver for kind 0x80");
    DriveWatcher(host, record, port, checks);
  } else {
    DriveBonesplit(host, record, checks);
  }
  activate(host.Parameters(), host.Instance(), 0);
  checks.Check(host.Receivers().empty(), "ActivateActor(0) unregisters its message receivers");
  EntryPoint<vhost::DisposeActorFn>(record, layout::kDisposeActor)(host.Parameters(), host.Instance());
  checks.Check(host.LiveBlocks() == 0 && host.LiveStrings() == 0,
               "DisposeActor gives back every block and string",
               std::to_string(host.LiveBlocks()) + " blocks, " + std::to_string(host.LiveStrings()) + " strings left");
  std::string assertions;
  for (const std::string& assertion : host.Assertions()) assertions += (assertions.empty() ? "" : "; ") + assertion;
  checks.Check(host.Assertions().empty(), "no failed assertion reported", assertions);
  checks.Check(dlclose(library) == 0, "the file unloads");
  return checks.Verdict();
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  long port = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf(
          "usage: macos_smoke PLUGIN [--port N]\n"
          "Loads PLUGIN (a .bundle folder or a plug-in file) as a host does and drives one\n"
          "instance: registration, create, activate, a suit frame on 127.0.0.1 (the watcher)\n"
          "or a skeleton package (Bonesplit), deactivate, dispose, unload. One line per\n"
          "check, then a verdict; exit 0 when every check passed, 1 otherwise.\n"
          "  --port N   the watcher's port (default: a free one)\n");
      return 0;
    }
    if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      port = std::strtol(argv[++i], &end, 10);
      if (end == nullptr || *end != 0 || port < 1 || port > 65535) {
        std::fprintf(stderr, "macos_smoke: --port takes a number from 1 to 65535\n");
        return 2;
      }
    } else if (path.empty() && arg.rfind("-", 0) != 0) {
      path = arg;
    } else {
      std::fprintf(stderr, "macos_smoke: unexpected argument '%s' (try --help)\n", arg.c_str());
      return 2;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: macos_smoke PLUGIN [--port N] (try --help)\n");
    return 2;
  }
  return Run(path, static_cast<uint16_t>(port));
}
