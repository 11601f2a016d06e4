#include "tests/framework/macos_bundle_checks.h"

#include <cstdio>

namespace {

constexpr uint32_t kMacos11 = 0x000B0000;  // 11.0.0 as xxxx.yy.zz

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", value);
  return text;
}

std::string Version(uint32_t version) {
  return std::to_string(version >> 16) + "." + std::to_string((version >> 8) & 0xFF);
}

std::string List(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return "[" + text + "]";
}

}  // namespace

std::vector<std::string> BundleSliceProblems(const CMachSlice& slice, uint32_t cpuType) {
  std::vector<std::string> problems;
  if (slice.mCpuType != cpuType)
    problems.push_back("cpu type " + Hex(slice.mCpuType) + " instead of " + Hex(cpuType));
  if (slice.mFileType != kMachFileBundle)
    problems.push_back("file type " + std::to_string(slice.mFileType) + ", not a bundle (8)");
  if (slice.mHasEntryPoint) problems.push_back("entry point (LC_MAIN): a program, not a bundle");
  if (slice.mPlatform != kMachPlatformMacos)
    problems.push_back("platform " + std::to_string(slice.mPlatform) + ", not macOS (1)");
  if (slice.mMinimumOs != kMacos11)
    problems.push_back("minimum macOS " + Version(slice.mMinimumOs) + " instead of 11.0");
  if (slice.mLibraries != std::vector<std::string>{"/usr/lib/libSystem.B.dylib"})
    problems.push_back("imports " + List(slice.mLibraries) + ", not libSystem only");
  if (slice.mExports != std::vector<std::string>{"_GetActorInfo"})
    problems.push_back("exports " + List(slice.mExports) + ", not _GetActorInfo only");
  if (slice.mExternalSymbols != std::vector<std::string>{"_GetActorInfo"})
    problems.push_back("symbol table: external " + List(slice.mExternalSymbols) +
                       ", not _GetActorInfo only");
  if (!slice.mHasCodeSignature) {
    problems.push_back("signature: none (LC_CODE_SIGNATURE missing)");
  } else {
    if (!slice.mAdhocSignature) problems.push_back("signature: not ad hoc");
    if (!slice.mSignatureMatches) problems.push_back("signature: " + slice.mSignatureProblem);
  }
  return problems;
}
