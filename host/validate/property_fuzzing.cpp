// Seeded property fuzzing: every input gets hostile values (wrong tags, out
// of range, NaN and infinities, null, empty, 64 KB and non-UTF-8 strings,
// null and foreign data pointers, damaged skeleton packages) in random
// order, interleaved with every registered message kind and with
// activation changes.
#include <fmt/format.h>

#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <random>

#include "host/input_conversion.h"
#include "host/plugin.h"
#include "host/validate/isolated_run.h"
#include "host/validate/skeleton_package_builder.h"
#include "host/validate/validation_host.h"
#include "host/validate/validation_test.h"

namespace vhost::validate {
namespace {

// value + step (one of -1, 1), held at the ends of the 64-bit range.
int64_t Beside(int64_t value, int step) {
  if ((step < 0 && value == std::numeric_limits<int64_t>::min()) ||
      (step > 0 && value == std::numeric_limits<int64_t>::max())) {
    return value;
  }
  return value + step;
}

// What a hostile value was, for the finding that names the step.
struct CHostileValue {
  std::string mWhat;
  CHostValue mValue;
};

class CHostileValues {
 public:
  explicit CHostileValues(std::mt19937_64& rng) : mRng(rng) {
    for (uint32_t points : {0u, 19u, 200u}) mPackages.emplace_back(points, rng);
    mPackages.emplace_back(19, rng);
    mPackages.back().SetSignature(0x6B6E6F74);  // 'knot': not a skeleton
    mPackages.emplace_back(19, rng);
    mPackages.back().DamageHeader();            // unknown version, tracking state and unit
    mForeign.assign(8192, 0);
    for (auto& b : mForeign) b = static_cast<unsigned char>(rng());
    mZeros.assign(8192, 0);
    mBig.assign(64 * 1024, 'x');
  }

  CHostileValue Pick(const CPropertyDescriptor& p) {
    const double lo = p.mMinimum.value_or(-1e6), hi = p.mMaximum.value_or(1e6);
    switch (std::uniform_int_distribution<int>(0, 21)(mRng)) {
      // Limits may lie beyond the 64-bit range (1e300): the nearest integer past them.
      case 0: return {"integer -1 below the minimum", CHostValue::Integer(Beside(RoundToInteger(lo), -1))};
      case 1: return {"integer above the maximum", CHostValue::Integer(Beside(RoundToInteger(hi), 1))};
      case 2: return {"INT64_MIN", CHostValue::Integer(std::numeric_limits<int64_t>::min())};
      case 3: return {"INT64_MAX", CHostValue::Integer(std::numeric_limits<int64_t>::max())};
      case 4: return {"NaN", CHostValue::Float(std::nan(""))};
      case 5: return {"+infinity", CHostValue::Float(HUGE_VAL)};
      case 6: return {"-infinity", CHostValue::Float(-HUGE_VAL)};
      case 7: return {"float 1e300", CHostValue::Float(1e300)};
      case 8: return {"null host string", CHostValue::NullString()};
      case 9: return {"empty string", CHostValue::String("")};
      case 10: return {"64 KB string", CHostValue::String(mBig)};
      case 11: return {"non-UTF-8 string", CHostValue::String("\xff\xfe\xc0\xaf head\x80\xed\xa0\x80")};
      case 12: return {"null data pointer", CHostValue::Data(nullptr)};
      case 13: return {"pointer to 8 KB of random bytes", CHostValue::Data(mForeign.data())};
      case 14: return {"pointer to 8 KB of zeros", CHostValue::Data(mZeros.data())};
      case 15: return {"skeleton package with 0 points", CHostValue::Data(NextPackage(0))};
      case 16: return {"skeleton package with 19 points", CHostValue::Data(NextPackage(1))};
      case 17: return {"skeleton package with 200 points", CHostValue::Data(NextPackage(2))};
      case 18: return {"package with a wrong signature", CHostValue::Data(NextPackage(3))};
      case 19: return {"skeleton package with a damaged header", CHostValue::Data(NextPackage(4))};
      case 20: {
        const uint16_t tag = std::uniform_int_distribution<uint16_t>(0, 12)(mRng);
        // Tags that carry pointers get null: a wild pointer is no test of anything.
        const uint64_t payload = tag == layout::kTypeData || tag == layout::kTypeString ? 0 : mRng();
        return {fmt::format("tag {} with payload 0x{:x}", tag, payload), CHostValue::FromRaw(tag, payload)};
      }
      default:
        return {"integer in range", CHostValue::Integer(static_cast<int64_t>(
                                       std::uniform_real_distribution<double>(std::max(lo, -1e6), std::min(hi, 1e6))(mRng)))};
    }
  }

 private:
  const void* NextPackage(size_t which) {
    mPackages[which].NextFrame(mRng);
    return mPackages[which].Block();
  }

  std::mt19937_64& mRng;
  std::deque<CSkeletonPackage> mPackages;
  std::vector<unsigned char> mForeign, mZeros;
  std::string mBig;
};

CFindings FuzzProperties(const CTestContext& context) {
  const CPlugin& plugin = LoadPlugin(context.mPluginPath);
  std::mt19937_64 rng(context.mSeed);
  CHostileValues values(rng);  // outlives the host: instances may keep a pointer to the last package
  CValidationHost vh;
  CHost& host = vh.Host();
  CFindings findings;
  std::vector<CActorInstance*> instances{&host.Spawn(plugin, "fuzz1"), &host.Spawn(plugin, "fuzz2")};
  const int steps = context.Scaled(300);
  for (int step = 1; step <= steps; ++step) {
    CActorInstance& a = *instances[rng() % instances.size()];
    const int action = std::uniform_int_distribution<int>(0, 99)(rng);
    std::string what;
    if (action < 70 && a.InputCount() > 0) {
      const auto index = static_cast<uint16_t>(1 + rng() % a.InputCount());
      CHostileValue v = values.Pick(a.Input(index).mDescriptor);
      what = fmt::format("{} <- {} on input '{}'", a.Name(), v.mWhat, a.Input(index).mDescriptor.mName);
      NoteStep(fmt::format("step {}: {}", step, what));
      host.InjectInput(a, index, v.mValue, 0);
    } else if (action < 88) {
      what = "messages";
      NoteStep(fmt::format("step {}: every registered message kind", step));
      vh.SendRegisteredKinds();
    } else if (a.IsActive()) {
      what = a.Name() + " deactivated";
      NoteStep(fmt::format("step {}: deactivating {}", step, a.Name()));
      host.Deactivate(a);
    } else {
      what = a.Name() + " activated";
      NoteStep(fmt::format("step {}: activating {}", step, a.Name()));
      host.Activate(a);
    }
    vh.CheckPublishedPackages(findings, fmt::format("step {} ({})", step, what));
  }
  vh.Account(findings);
  return findings;
}

}  // namespace

void AddPropertyFuzzTests(std::vector<CValidationTest>& tests) {
  tests.push_back({"fuzz.properties", 1,
                   "hostile input values in random order with messages and activation changes (seeded)",
                   FuzzProperties});
}

}  // namespace vhost::validate
