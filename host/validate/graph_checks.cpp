// Graph checks: the actor fed by a skeleton producer (the host rewriting
// one package per tick, publishing null now and then, as a producer does),
// its outputs wired to consumers (other instances of the actor, where the
// types match) and read as a consumer reads them: every output value of its
// declared type, every published package decodable, never freed while
// published.
#include <fmt/format.h>

#include <random>

#include "host/plugin.h"
#include "host/skeleton_snapshot.h"
#include "host/validate/skeleton_package_builder.h"
#include "host/validate/validation_host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

CFindings CheckInGraph(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  std::mt19937_64 rng(context.mSeed);
  CSkeletonPackage producerPackage(19, rng);
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  CActorInstance& actor = host.Spawn(plugin, "actor");
  CActorInstance& consumer = host.Spawn(plugin, "consumer");
  for (size_t out = 1; out <= actor.OutputCount(); ++out) {
    const auto& o = actor.Output(static_cast<uint16_t>(out)).mDescriptor;
    for (size_t in = 1; in <= consumer.InputCount(); ++in) {
      const auto& i = consumer.Input(static_cast<uint16_t>(in)).mDescriptor;
      if (o.mType == i.mType && o.mDataRestriction == i.mDataRestriction) {
        host.Connect(actor, static_cast<uint16_t>(out), consumer, static_cast<uint16_t>(in));
        break;
      }
    }
  }
  std::vector<uint16_t> skeletonInputs;
  for (size_t in = 1; in <= actor.InputCount(); ++in) {
    const auto index = static_cast<uint16_t>(in);
    if (actor.Input(index).mDescriptor.mType == EPropertyType::kData) skeletonInputs.push_back(index);
  }
  const uint64_t mark = host.Mark();
  for (int frame = 1; frame <= context.Scaled(200); ++frame) {
    const bool publishNull = rng() % 25 == 0;
    if (!publishNull) producerPackage.NextFrame(rng);
    for (uint16_t in : skeletonInputs) {
      host.SetInput(actor, in, CHostValue::Data(publishNull ? nullptr : producerPackage.Block()));
    }
    vh.SendRegisteredKinds();
    vh.CheckPublishedPackages(findings, fmt::format("frame {}", frame));
  }
  for (const COutputRecord* record : host.OutputsSince(mark, &actor)) {
    if (record->mValue.Type() == layout::kTypeData && record->mValue.AsPointer() != nullptr &&
        !record->mSkeleton && record->mOutputIndex <= actor.OutputCount() &&
        actor.Output(record->mOutputIndex).mDescriptor.mDataRestriction == "skel") {
      findings.push_back(fmt::format("output '{}' sent a package without the 'skel' signature (value {})",
                                     record->mOutputName, record->mSequence));
      break;
    }
  }
  vh.Account(findings);
  return findings;
}

}  // namespace

void AddGraphTests(std::vector<CValidationTest>& tests) {
  tests.push_back({"graph.wired", 2, "fed by a skeleton producer, wired to consumers; outputs as declared",
                   CheckInGraph});
}

}  // namespace vhost::validate
