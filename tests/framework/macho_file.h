// The header, load commands, exports and code signature of a Mach-O file or
// of each slice of a universal (fat) file, read straight from its bytes so
// that the macOS bundles are checked on a machine without Apple's tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kMachCpuX86_64 = 0x01000007;
inline constexpr uint32_t kMachCpuArm64 = 0x0100000C;
inline constexpr uint32_t kMachFileExecute = 2;
inline constexpr uint32_t kMachFileDylib = 6;
inline constexpr uint32_t kMachFileBundle = 8;
inline constexpr uint32_t kMachPlatformMacos = 1;

struct CMachSlice {
  uint32_t mCpuType = 0;
  uint32_t mFileType = 0;
  // LC_BUILD_VERSION (or LC_VERSION_MIN_MACOSX, platform 1): versions as
  // xxxx.yy.zz in nibbles, 11.0 is 0x000B0000; 0 when absent.
  uint32_t mPlatform = 0;
  uint32_t mMinimumOs = 0;
  std::vector<std::string> mLibraries;        // every LC_*_DYLIB load command's name
  std::vector<std::string> mExports;          // the export trie's names
  std::vector<std::string> mExternalSymbols;  // defined external symbols of LC_SYMTAB
  bool mHasEntryPoint = false;                // LC_MAIN: a program, not a bundle
  bool mHasCodeSignature = false;             // LC_CODE_SIGNATURE
  bool mAdhocSignature = false;               // its code directory is flagged ad hoc
  // Every page hash of the code directory matches the slice's bytes.
  bool mSignatureMatches = false;
  std::string mSignatureProblem;  // why it does not, when it does not
  size_t mOffset = 0;              // where the slice starts in the file
  size_t mSize = 0;
};

struct CMachFile {
  bool mUniversal = false;
  std::vector<uint32_t> mFatCpuTypes;  // as the fat header names the slices
  std::vector<CMachSlice> mSlices;
};

// Throws std::runtime_error naming `name` when the bytes are not a 64-bit
// Mach-O or universal file, or a header, command or table points outside
// them. A signature that does not match is reported in the slice, not thrown.
CMachFile ReadMachFile(const std::vector<uint8_t>& bytes, const std::string& name);
