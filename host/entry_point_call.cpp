#include "host/entry_point_call.h"

#include <fmt/format.h>

namespace vhost {

namespace {

thread_local const CEntryPointCall* tInnermostCall = nullptr;

}  // namespace

CEntryPointCall::CEntryPointCall(const std::string& instance, const char* entryPoint, EArgument shown,
                                 uint64_t argument)
    : mInstance(instance), mEntryPoint(entryPoint), mShown(shown), mArgument(argument), mOuter(tInnermostCall) {
  tInnermostCall = this;
}

CEntryPointCall::~CEntryPointCall() { tInnermostCall = mOuter; }

const CEntryPointCall* CEntryPointCall::Current() { return tInnermostCall; }

std::string CEntryPointCall::Describe() const {
  switch (mShown) {
    case EArgument::kNone: return mEntryPoint;
    case EArgument::kDecimal: return fmt::format("{}({})", mEntryPoint, mArgument);
    case EArgument::kHex: return fmt::format("{}(0x{:x})", mEntryPoint, mArgument);
  }
  return mEntryPoint;
}

std::string CEntryPointCall::DescribeCurrent() {
  const CEntryPointCall* call = tInnermostCall;
  if (call == nullptr) return "no entry point";
  if (call->mInstance.empty()) return call->Describe();
  return fmt::format("{} of '{}'", call->Describe(), call->mInstance);
}

}  // namespace vhost
