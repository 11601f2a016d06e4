// A sequence of host calls decoded from fuzzer bytes and run against one
// plug-in through the stand-in host, with the host's accounting at the end.
//
// Input format (read with FuzzedDataProvider: the small numbers below come
// from the end of the input, byte strings from its front). The input is a
// list of steps; each step starts with an operation number, taken modulo
// the number of operations, and its operands follow:
//
//   0 create      (none)            new instance (at most 4 live ones)
//   1 activate    slot              ActivateActor(1), then every input (flag 1)
//   2 deactivate  slot              ActivateActor(0)
//   3 dispose     slot              deactivates first when active
//   4 set input   slot, input, value, mode (0: converted and clamped, as a
//                 wire delivers; else injected raw with flag = mode - 1)
//   5 tick        (none)            message kind 0x80
//   6 message     selector, arg u16, length u8, bytes
//                 selector 0..31: the n-th bit (modulo) of the kinds some live
//                 receiver registered for; else the selector itself as kind.
//                 A lost context carries its i32 number (the arg), others
//                 the bytes (at least 8, zero-padded).
//   7 render      arg u16           message kind 0x1000
//   8 wire        slot, output, slot, input   (refused pairs are skipped)
//   9 entry point which (0 help, 1 value to text, 2 text to value, 3 defined
//                 area, 4 draw area), slot, kind 0..2, index u16 (1 + n
//                 modulo the count of that kind now: the host asks only about
//                 properties that exist; kind 0 is index 0), then help size
//                 u16 / a value / text: length u16 and bytes / part u16 and
//                 state u8
//  10 switch      which, on         a host failure switch (allocation, picture,
//                 image buffer create / begin / end, add / remove output,
//                 property count)
//  11 rewrite     package, then the package's fields as in a value: a
//                 package handed out earlier is rewritten in place (as its
//                 producer would) and sent again on every input that got it
//  12 unload     (none)            every instance disposed and the ledgers
//                 checked there, as before the host unloads the file; the
//                 plug-in's threads must be gone too
//
// A slot is an index (modulo) into the instances made so far; an input or
// output is 1 + n modulo the count. A value is: tag selector (0 integer u64,
// 1 float from u64 bits, 2 string: length u16 and bytes, 3 null string,
// 4 null data, 5 skeleton package, 6 foreign data: length u8 and bytes,
// never starting with 'skel', 7 any tag u16 with a u64 payload (tags 5
// and 6 get payload 0: a wild pointer tests nothing), 8 a 64 KB string of
// one byte). A skeleton package is: point count u16 (modulo 301), tracking
// state, unit and skeleton ID bytes, then per point a name (length u8
// modulo 33, a full 32 bytes leaving it unterminated, and bytes) and x, y, z
// as u32 float bits; the label hash is computed unless a flag byte says to
// keep a wrong one (the previous one, or random).
//
// Values the harness adjusts: the watcher's port (input 'recv_ip_port')
// keeps its tag and high bits but its low 16 bits become 0 or one of 16
// ports from kFirstPrivatePort, so no other program's port is ever taken;
// image buffers larger than kMaxImageSide are refused by the backend, as a
// backend beyond its limits would.
//
// Findings: everything CValidationHost's accounting reports (host memory,
// strings, image buffers, receivers, render brackets, contract violations),
// a package freed while still published, and threads left after the last
// disposal. AssertionFailed reports are not findings: the actors report bad
// host calls that way by design.
//
// Thread-safety: one sequence at a time per process (the stand-in host's
// rule).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/image_buffer_backend.h"
#include "host/plugin.h"

namespace vhost::fuzz {

inline constexpr uint16_t kFirstPrivatePort = 21400;
inline constexpr int32_t kMaxImageSide = 96;
inline constexpr size_t kMaxInstances = 4;
inline constexpr size_t kMaxSteps = 200;

enum EHostCallOp : uint8_t {
  kOpCreate,
  kOpActivate,
  kOpDeactivate,
  kOpDispose,
  kOpSetInput,
  kOpTick,
  kOpMessage,
  kOpRender,
  kOpWire,
  kOpEntryPoint,
  kOpSwitch,
  kOpRewritePackage,
  kOpUnload,
  kOpCount
};

struct CHostCallOptions {
  // Image buffers come from here (null: the host's placeholder backend). It
  // outlives every sequence; each sequence's host reaches it through a
  // forwarding backend that refuses sizes beyond kMaxImageSide.
  CImageBufferBackend* mImageBackend = nullptr;
  // Each step is printed to stderr before it runs.
  bool mTrace = false;
};

// What one sequence made the plug-in do, to tell an input that reaches its
// plug-in's work from one that decodes to nothing.
struct CHostCallTally {
  uint64_t mSteps = 0;               // steps decoded and run
  uint64_t mOutputValues = 0;        // values the plug-in set on its outputs
  uint64_t mSkeletonsPublished = 0;  // of them, skeleton packages (not null)
  uint64_t mImagesDrawn = 0;         // image buffer draws ended: frames rendered
};

// Runs the sequence in `data` against `plugin` and returns the findings
// (empty: nothing wrong). Every instance is disposed before it returns.
// `tally`, when not null, receives what the run did.
std::vector<std::string> RunHostCallSequence(const CPlugin& plugin, const uint8_t* data,
                                             size_t size, const CHostCallOptions& options,
                                             CHostCallTally* tally = nullptr);

}  // namespace vhost::fuzz
