#include "fuzz/host_calls/host_call_sequence.h"

#include <FuzzedDataProvider.h>
#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <optional>

#include "fuzz/host_calls/capped_image_backend.h"
#include "host/host_error.h"
#include "host/record_layout.h"
#include "host/validate/library_probe.h"
#include "host/validate/validation_host.h"

namespace vhost::fuzz {
namespace {

constexpr uint32_t kSkeletonSignature = 0x736B656C;  // 'skel'
constexpr size_t kPackageHeaderSize = 52;
constexpr size_t kPointSize = 44;
constexpr size_t kPointNameSize = 32;
constexpr uint32_t kMaxPackagePoints = 300;
constexpr size_t kHugeStringSize = 64 * 1024;

// A package handed to an input, to send again after rewriting it.
struct CDelivery {
  size_t mBlock;
  CActorInstance* mInstance;
  uint16_t mInput;
};

class CSequenceRun {
 public:
  CSequenceRun(const CPlugin& plugin, const uint8_t* data, size_t size, const CHostCallOptions& options)
      : mPlugin(plugin), mInput(data, size), mOptions(options) {
    if (options.mImageBackend != nullptr) {
      mVh.Host().SetImageBufferBackend(std::make_unique<CCappedImageBackend>(*options.mImageBackend, kMaxImageSide));
    }
  }

  std::vector<std::string> Run(CHostCallTally* tally) {
    const int threadsBefore = validate::PluginThreadCount(mPlugin.Path());
    for (size_t step = 1; step <= kMaxSteps && mInput.remaining_bytes() > 0; ++step) {
      if (tally != nullptr) tally->mSteps = step;
      const auto op = static_cast<EHostCallOp>(mInput.ConsumeIntegral<uint8_t>() % kOpCount);
      mStep = fmt::format("step {} ({})", step, OpName(op));
      if (mOptions.mTrace) std::cerr << mStep << '\n';
      try {
        RunStep(op, threadsBefore);
      } catch (const CHostError& e) {
        // The harness asked something the host refuses to do (a wire of
        // unlike types, an input a plug-in removed meanwhile): no call made.
        if (mOptions.mTrace) std::cerr << "  refused: " << e.what() << '\n';
      }
      mVh.CheckPublishedPackages(mFindings, mStep);
    }
    mStep = "end of input";
    if (tally != nullptr) Tally(*tally);
    mVh.Account(mFindings);
    CheckThreads(threadsBefore);
    // An assertion is the actor's designed answer to a bad call; an
    // exception stopped at the boundary is a fault all the same.
    std::erase_if(mFindings, [](const std::string& f) {
      return f.starts_with("AssertionFailed(") && f.find("stopped at the boundary") == std::string::npos;
    });
    return std::move(mFindings);
  }

 private:
  void Tally(CHostCallTally& tally) {
    const CHost& host = mVh.Host();
    for (const COutputRecord* record : host.OutputsSince(0)) {
      ++tally.mOutputValues;
      if (record->mSkeleton.has_value()) ++tally.mSkeletonsPublished;
    }
    tally.mImagesDrawn = host.Video().Counters().mImageDrawsEnded;
  }

  static const char* OpName(EHostCallOp op) {
    static constexpr const char* kNames[kOpCount] = {
        "create", "activate", "deactivate", "dispose", "set input", "tick", "message",
        "render", "wire", "entry point", "switch", "rewrite package", "unload"};
    return kNames[op];
  }

  void RunStep(EHostCallOp op, int threadsBefore) {
    CHost& host = mVh.Host();
    switch (op) {
      case kOpCreate: Create(); break;
      case kOpActivate:
        if (CActorInstance* a = PickSlot(); a != nullptr && (a->State() == CActorInstance::EState::kCreated ||
                                                              a->State() == CActorInstance::EState::kInactive)) {
          host.Activate(*a);
        }
        break;
      case kOpDeactivate:
        if (CActorInstance* a = PickSlot(); a != nullptr && a->IsActive()) host.Deactivate(*a);
        break;
      case kOpDispose:
        if (CActorInstance* a = PickSlot(); a != nullptr && a->IsLive()) host.Dispose(*a);
        break;
      case kOpSetInput: SetInput(); break;
      case kOpTick: host.Tick(); break;
      case kOpMessage: Message(); break;
      case kOpRender: host.RequestRender(mInput.ConsumeIntegral<uint16_t>()); break;
      case kOpWire: Wire(); break;
      case kOpEntryPoint: EntryPoint(); break;
      case kOpSwitch: Switch(); break;
      case kOpRewritePackage: RewritePackage(); break;
      case kOpUnload: Unload(threadsBefore); break;
      case kOpCount: break;
    }
  }

  // ---- Instances ----

  void Create() {
    size_t live = 0;
    for (CActorInstance* a : mSlots) live += a->IsLive() ? 1 : 0;
    if (live >= kMaxInstances) return;
    CHost& host = mVh.Host();
    CActorInstance& a = host.AddInstance(mPlugin);
    // Defaults the harness replaces: no program's port, small images.
    for (size_t n = 1; n <= a.InputCount(); ++n) {
      const auto i = static_cast<uint16_t>(n);  // the host refuses more than 65,535 inputs
      const std::string& name = a.Input(i).mDescriptor.mName;
      if (name == "recv_ip_port") host.PresetInput(a, i, CHostValue::Integer(kFirstPrivatePort));
      if (name == "width") host.PresetInput(a, i, CHostValue::Integer(48));
      if (name == "height") host.PresetInput(a, i, CHostValue::Integer(32));
    }
    mSlots.push_back(&a);
    host.Create(a);
  }

  CActorInstance* PickSlot() {
    if (mSlots.empty()) return nullptr;
    return mSlots[mInput.ConsumeIntegralInRange<size_t>(0, mSlots.size() - 1)];
  }

  // ---- Values ----

  void SetInput() {
    CActorInstance* a = PickSlot();
    if (a == nullptr || a->InputCount() == 0) return;
    const auto index = static_cast<uint16_t>(1 + mInput.ConsumeIntegral<uint16_t>() % a->InputCount());
    mLastBlock.reset();
    CHostValue value = ConsumeValue();
    if (a->Input(index).mDescriptor.mName == "recv_ip_port") value = PrivatePort(value);
    const uint8_t mode = mInput.ConsumeIntegral<uint8_t>();
    if (mLastBlock && value.Type() == layout::kTypeData) mDeliveries.push_back({*mLastBlock, a, index});
    mLastBlock.reset();
    if (mode == 0) {
      try {
        mVh.Host().SetInput(*a, index, value);
        return;
      } catch (const CHostError&) {
        // A tag that does not fit the input: sent raw below, as a confused host would.
      }
    }
    mVh.Host().InjectInput(*a, index, value, static_cast<uint8_t>(mode == 0 ? 0 : mode - 1));
  }

  // The port's low 16 bits become 0 or a port of the harness's own range.
  static CHostValue PrivatePort(const CHostValue& value) {
    const uint64_t bits = value.Payload();
    const uint64_t low = bits & 0xFFFF;
    const uint64_t port = low == 0 ? 0 : kFirstPrivatePort + low % 16;
    const uint16_t type = value.Type();
    if (type == layout::kTypeData || type == layout::kTypeString) {
      return CHostValue::Integer(static_cast<int64_t>(port));  // a pointer keeps its own bits
    }
    return CHostValue::FromRaw(type, (bits & ~uint64_t{0xFFFF}) | port);
  }

  CHostValue ConsumeValue() {
    switch (mInput.ConsumeIntegralInRange<uint8_t>(0, 8)) {
      case 0: return CHostValue::Integer(mInput.ConsumeIntegral<int64_t>());
      case 1: return CHostValue::Float(std::bit_cast<double>(mInput.ConsumeIntegral<uint64_t>()));
      case 2: {
        const size_t length = mInput.ConsumeIntegral<uint16_t>() % 1025;
        return CHostValue::String(mInput.ConsumeBytesAsString(length));
      }
      case 3: return CHostValue::NullString();
      case 4: return CHostValue::Data(nullptr);
      case 5: return CHostValue::Data(NewPackage());
      case 6: return CHostValue::Data(NewForeignBlock());
      case 7: {
        const uint16_t tag = mInput.ConsumeIntegral<uint16_t>();
        const uint64_t payload = mInput.ConsumeIntegral<uint64_t>();
        const bool pointer = tag == layout::kTypeData || tag == layout::kTypeString;
        return CHostValue::FromRaw(tag, pointer ? 0 : payload);
      }
      default: {
        const char c = static_cast<char>(mInput.ConsumeIntegral<uint8_t>());
        return CHostValue::String(std::string(kHugeStringSize, c));
      }
    }
  }

  const void* NewPackage() {
    const uint32_t points = mInput.ConsumeIntegral<uint16_t>() % (kMaxPackagePoints + 1);
    mBlocks.emplace_back(kPackageHeaderSize + kPointSize * points, 0);
    std::vector<unsigned char>& block = mBlocks.back();
    layout::WriteAt<uint32_t>(block.data(), 0, kSkeletonSignature);
    block[4] = 1;
    std::memcpy(block.data() + 12, "skeleton", 8);
    layout::WriteAt<int32_t>(block.data(), 28, -24);
    layout::WriteAt<uint32_t>(block.data(), 48, points);
    FillPackage(block);
    mLastBlock = mBlocks.size() - 1;
    return block.data();
  }

  // Header bytes, names and coordinates from the input; the count stays.
  void FillPackage(std::vector<unsigned char>& block) {
    unsigned char* p = block.data();
    layout::WriteAt<uint32_t>(p, 8, layout::ReadAt<uint32_t>(p, 8) + 1);  // update count
    p[33] = mInput.ConsumeIntegral<uint8_t>();  // tracking state
    p[34] = mInput.ConsumeIntegral<uint8_t>();  // unit
    p[32] = mInput.ConsumeIntegral<uint8_t>();  // skeleton ID
    const uint32_t points = layout::ReadAt<uint32_t>(p, 48);
    for (uint32_t i = 0; i < points && mInput.remaining_bytes() > 0; ++i) {
      unsigned char* point = p + kPackageHeaderSize + kPointSize * i;
      const size_t length = mInput.ConsumeIntegral<uint8_t>() % (kPointNameSize + 1);
      const std::string name = mInput.ConsumeBytesAsString(length);
      std::memset(point, 0, kPointNameSize);
      // A 32-byte name has no terminator on purpose: the field is full.
      std::memcpy(point, name.data(), name.size());  // NOLINT(bugprone-not-null-terminated-result)
      for (size_t axis = 0; axis < 3; ++axis) {
        layout::WriteAt<uint32_t>(point, kPointNameSize + 4 * axis, mInput.ConsumeIntegral<uint32_t>());
      }
    }
    switch (mInput.ConsumeIntegralInRange<uint8_t>(0, 2)) {
      case 0: layout::WriteAt<uint64_t>(p, 40, LabelHash(p, points)); break;
      case 1: break;  // the previous hash, whatever the labels are now
      default: layout::WriteAt<uint64_t>(p, 40, mInput.ConsumeIntegral<uint64_t>()); break;
    }
  }

  // The sdbm hash over every label, bytes taken as signed.
  static uint64_t LabelHash(const unsigned char* package, uint32_t points) {
    uint64_t hash = 0;
    for (uint32_t i = 0; i < points; ++i) {
      const auto* name = reinterpret_cast<const char*>(package + kPackageHeaderSize + kPointSize * i);
      for (size_t c = 0; c < kPointNameSize && name[c] != 0; ++c) {
        hash = hash * 65599 + static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(name[c])));
      }
    }
    return hash;
  }

  const void* NewForeignBlock() {
    const size_t length = 16 + mInput.ConsumeIntegral<uint8_t>();
    const std::vector<uint8_t> bytes = mInput.ConsumeBytes<uint8_t>(length);
    mBlocks.emplace_back(length, 0);
    if (!bytes.empty()) std::memcpy(mBlocks.back().data(), bytes.data(), bytes.size());
    if (layout::ReadAt<uint32_t>(mBlocks.back().data(), 0) == kSkeletonSignature) mBlocks.back()[0] ^= 0xFF;
    return mBlocks.back().data();
  }

  void RewritePackage() {
    if (mDeliveries.empty()) return;
    const CDelivery& chosen = mDeliveries[mInput.ConsumeIntegralInRange<size_t>(0, mDeliveries.size() - 1)];
    std::vector<unsigned char>& block = mBlocks[chosen.mBlock];
    FillPackage(block);
    // Republished as its producer would: the same pointer again.
    for (const CDelivery& d : mDeliveries) {
      if (d.mBlock != chosen.mBlock || !d.mInstance->IsLive() || d.mInput > d.mInstance->InputCount()) continue;
      mVh.Host().InjectInput(*d.mInstance, d.mInput, CHostValue::Data(block.data()), 0);
    }
  }

  // ---- Messages, wires, other entry points ----

  void Message() {
    CHost& host = mVh.Host();
    const uint32_t selector = mInput.ConsumeIntegral<uint32_t>();
    const uint16_t arg = mInput.ConsumeIntegral<uint16_t>();
    const size_t length = mInput.ConsumeIntegral<uint8_t>();
    std::vector<uint8_t> bytes = mInput.ConsumeBytes<uint8_t>(length);
    uint32_t kind = selector;
    if (selector < 32) {
      uint32_t mask = 0;
      for (const auto& r : host.Receivers().All()) mask |= r.mKindMask;
      if (mask == 0) return;
      std::vector<uint32_t> bits;
      for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((mask & bit) != 0) bits.push_back(bit);
      }
      kind = bits[selector % bits.size()];
    }
    if (kind == kMessageContextLost) {
      host.LoseContext(static_cast<int16_t>(arg));
      return;
    }
    const auto sent = static_cast<uint32_t>(bytes.size());
    if (bytes.size() < 8) bytes.resize(8, 0);
    host.SendMessage(kind, arg, bytes.data(), sent);
  }

  void Wire() {
    CActorInstance* from = PickSlot();
    const uint16_t output = mInput.ConsumeIntegral<uint16_t>();
    CActorInstance* to = PickSlot();
    const uint16_t input = mInput.ConsumeIntegral<uint16_t>();
    if (from == nullptr || to == nullptr || from->OutputCount() == 0 || to->InputCount() == 0) return;
    mVh.Host().Connect(*from, static_cast<uint16_t>(1 + output % from->OutputCount()), *to,
                       static_cast<uint16_t>(1 + input % to->InputCount()));
  }

  void EntryPoint() {
    CHost& host = mVh.Host();
    const uint8_t which = mInput.ConsumeIntegralInRange<uint8_t>(0, 4);
    CActorInstance* a = PickSlot();
    // A property that exists now, as the host asks only about those (kind 0
    // index 0 is the actor itself).
    uint8_t kind = mInput.ConsumeIntegralInRange<uint8_t>(0, 2);
    const uint16_t selector = mInput.ConsumeIntegral<uint16_t>();
    if (a == nullptr || !a->IsLive()) return;
    const size_t count = kind == 1 ? a->InputCount() : kind == 2 ? a->OutputCount() : 0;
    if (count == 0) kind = 0;
    const auto index = static_cast<uint16_t>(kind == 0 ? 0 : 1 + selector % count);
    switch (which) {
      case 0: host.HelpText(*a, kind, index, mInput.ConsumeIntegral<uint16_t>()); break;
      case 1: host.ValueToString(*a, kind, index, ConsumeValue()); break;
      case 2: {
        const size_t length = mInput.ConsumeIntegral<uint16_t>() % 1025;
        host.StringToValue(*a, kind, index, mInput.ConsumeBytesAsString(length));
        break;
      }
      case 3: host.GetActorDefinedArea(*a); break;
      default: {
        const uint16_t part = mInput.ConsumeIntegral<uint16_t>();
        host.DrawActorDefinedArea(*a, part, mInput.ConsumeIntegral<uint8_t>());
        break;
      }
    }
  }

  void Switch() {
    CHost& host = mVh.Host();
    auto& video = host.Video().Switches();
    auto& properties = host.Properties().Switches();
    bool* const switches[] = {&host.MemoryServices().Switches().mFailAllocateMemory,
                              &host.Pictures().Switches().mPictureUnavailable,
                              &video.mFailCreateImageBuffer,
                              &video.mFailBeginImageBufferDraw,
                              &video.mFailEndImageBufferDraw,
                              &properties.mFailAddOutputProperty,
                              &properties.mFailRemoveOutputProperty,
                              &properties.mFailGetPropertyCount};
    const size_t which = mInput.ConsumeIntegralInRange<size_t>(0, std::size(switches) - 1);
    *switches[which] = mInput.ConsumeBool();
  }

  // Everything disposed, as before the host unloads the file; the plug-in
  // stays loaded (the fuzzer's coverage counters live in it).
  void Unload(int threadsBefore) {
    CHost& host = mVh.Host();
    auto instances = host.Instances();
    for (auto it = instances.rbegin(); it != instances.rend(); ++it) {
      if ((*it)->IsLive()) host.Dispose(**it);
    }
    CheckLedgers();
    CheckThreads(threadsBefore);
  }

  void CheckLedgers() {
    CHost& host = mVh.Host();
    if (host.Memory().LiveBlocks() != 0) {
      mFindings.push_back(fmt::format("{}: host memory not freed after every instance was disposed: {} blocks",
                                      mStep, host.Memory().LiveBlocks()));
    }
    if (host.Strings().LiveStrings() != 0) {
      mFindings.push_back(fmt::format("{}: host strings not released after every instance was disposed: {}", mStep,
                                      host.Strings().LiveStrings()));
    }
    if (host.LiveImageBuffers() != 0) {
      mFindings.push_back(fmt::format("{}: image buffers not disposed after every instance was disposed: {}", mStep,
                                      host.LiveImageBuffers()));
    }
    if (!host.Receivers().All().empty()) {
      mFindings.push_back(fmt::format("{}: message receivers registered after every instance was disposed: {}",
                                      mStep, host.Receivers().All().size()));
    }
  }

  void CheckThreads(int threadsBefore) {
    const int after = validate::PluginThreadCount(mPlugin.Path());
    if (after > threadsBefore) {
      mFindings.push_back(fmt::format("{}: {} thread(s) of the plug-in still running after the last instance was disposed", mStep,
                                      after - threadsBefore));
    }
  }

  const CPlugin& mPlugin;
  FuzzedDataProvider mInput;
  const CHostCallOptions& mOptions;
  // Packages and foreign blocks: they outlive the host and every instance
  // that may still hold a pointer to one.
  std::deque<std::vector<unsigned char>> mBlocks;
  std::optional<size_t> mLastBlock;  // made by the value being decoded
  std::vector<CDelivery> mDeliveries;
  validate::CValidationHost mVh;
  std::vector<CActorInstance*> mSlots;
  std::vector<std::string> mFindings;
  std::string mStep;
};

}  // namespace

std::vector<std::string> RunHostCallSequence(const CPlugin& plugin, const uint8_t* data,
                                             size_t size, const CHostCallOptions& options,
                                             CHostCallTally* tally) {
  CSequenceRun run(plugin, data, size, options);
  return run.Run(tally);
}

}  // namespace vhost::fuzz
