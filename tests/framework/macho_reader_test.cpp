// The Mach-O reader and the bundle checks on files made byte by byte here: a
// sound bundle passes, and each fault a broken build could leave (damaged
// code, a wrong file type, an extra export or library, no signature) is
// reported; a file that lies about its sizes is refused, never read past.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/framework/macho_file.h"
#include "tests/framework/macos_bundle_checks.h"
#include "tests/framework/sha256.h"

namespace {

using testing::HasSubstr;
using testing::IsEmpty;

struct CBundleRecipe {
  uint32_t mCpuType = kMachCpuArm64;
  uint32_t mFileType = kMachFileBundle;
  uint32_t mMinimumOs = 0x000B0000;
  std::vector<std::string> mExports = {"_GetActorInfo"};
  std::vector<std::string> mLibraries = {"/usr/lib/libSystem.B.dylib"};
  bool mSigned = true;
};

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

void PutBe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void Append32(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.resize(bytes.size() + 4);
  Put32(bytes, bytes.size() - 4, value);
}

// A one-page Mach-O bundle as ld64 lays it out: header and load commands,
// code, the export trie, the symbol table, then the code signature over all
// of that (one SHA-256 hash per 4096-byte page).
std::vector<uint8_t> MakeBundle(const CBundleRecipe& recipe) {
  // The export trie: a root with one edge per full name (offsets fit one byte).
  std::vector<uint8_t> trie = {0, static_cast<uint8_t>(recipe.mExports.size())};
  size_t rootSize = 2;
  for (const std::string& name : recipe.mExports) rootSize += name.size() + 2;
  for (size_t i = 0; i < recipe.mExports.size(); ++i) {
    trie.insert(trie.end(), recipe.mExports[i].begin(), recipe.mExports[i].end());
    trie.push_back(0);
    trie.push_back(static_cast<uint8_t>(rootSize + 5 * i));
  }
  // Each child: 3 bytes of export information (flags 0, address 0x1000), no children.
  for (size_t i = 0; i < recipe.mExports.size(); ++i) trie.insert(trie.end(), {3, 0, 0x80, 0x20, 0});

  std::vector<uint8_t> commands;
  auto command = [&](uint32_t cmd, std::vector<uint32_t> words, const std::string& text = "") {
    const size_t start = commands.size();
    Append32(commands, cmd);
    Append32(commands, 0);
    for (uint32_t word : words) Append32(commands, word);
    commands.insert(commands.end(), text.begin(), text.end());
    if (!text.empty()) commands.push_back(0);
    while (commands.size() % 8 != 0) commands.push_back(0);
    Put32(commands, start + 4, static_cast<uint32_t>(commands.size() - start));
    return start;
  };
  command(0x32, {1, recipe.mMinimumOs, 0x000B0000, 0});
  for (const std::string& library : recipe.mLibraries) command(0xC, {24, 2, 0x10000, 0x10000}, library);
  const size_t trieCommand = command(0x80000033, {0, 0});
  const size_t symtabCommand = command(0x2, {0, 0, 0, 0});
  const size_t signatureCommand = recipe.mSigned ? command(0x1D, {0, 0}) : 0;

  std::vector<uint8_t> file(32);
  Put32(file, 0, 0xFEEDFACF);
  Put32(file, 4, recipe.mCpuType);
  Put32(file, 12, recipe.mFileType);
  Put32(file, 16, recipe.mSigned ? 4u + static_cast<uint32_t>(recipe.mLibraries.size())
                               : 3u + static_cast<uint32_t>(recipe.mLibraries.size()));
  Put32(file, 20, static_cast<uint32_t>(commands.size()));
  const size_t commandsAt = file.size();
  file.insert(file.end(), commands.begin(), commands.end());
  file.resize(0x1000, 0xCC);  // the code

  const size_t trieAt = file.size();
  file.insert(file.end(), trie.begin(), trie.end());
  Put32(file, commandsAt + trieCommand + 8, static_cast<uint32_t>(trieAt));
  Put32(file, commandsAt + trieCommand + 12, static_cast<uint32_t>(trie.size()));
  while (file.size() % 8 != 0) file.push_back(0);
  std::vector<uint8_t> strings = {' ', 0};
  const size_t symbolsAt = file.size();
  for (const std::string& name : recipe.mExports) {
    file.resize(file.size() + 16);
    Put32(file, file.size() - 16, static_cast<uint32_t>(strings.size()));
    file[file.size() - 12] = 0x0F;  // N_SECT | N_EXT
    file[file.size() - 11] = 1;
    strings.insert(strings.end(), name.begin(), name.end());
    strings.push_back(0);
  }
  const size_t stringsAt = file.size();
  file.insert(file.end(), strings.begin(), strings.end());
  Put32(file, commandsAt + symtabCommand + 8, static_cast<uint32_t>(symbolsAt));
  Put32(file, commandsAt + symtabCommand + 12, static_cast<uint32_t>(recipe.mExports.size()));
  Put32(file, commandsAt + symtabCommand + 16, static_cast<uint32_t>(stringsAt));
  Put32(file, commandsAt + symtabCommand + 20, static_cast<uint32_t>(strings.size()));
  if (!recipe.mSigned) return file;

  while (file.size() % 16 != 0) file.push_back(0);
  const size_t codeLimit = file.size();
  const size_t pages = (codeLimit + 4095) / 4096;
  const size_t directorySize = 44 + 10 + 32 * pages;
  const size_t signatureSize = 20 + directorySize;
  Put32(file, commandsAt + signatureCommand + 8, static_cast<uint32_t>(codeLimit));
  Put32(file, commandsAt + signatureCommand + 12, static_cast<uint32_t>(signatureSize));
  std::vector<uint8_t> signature(signatureSize);
  PutBe32(signature, 0, 0xFADE0CC0);
  PutBe32(signature, 4, static_cast<uint32_t>(signatureSize));
  PutBe32(signature, 8, 1);
  PutBe32(signature, 16, 20);
  PutBe32(signature, 20, 0xFADE0C02);
  PutBe32(signature, 24, static_cast<uint32_t>(directorySize));
  PutBe32(signature, 28, 0x20400);
  PutBe32(signature, 32, 0x20002);  // ad hoc, linker-signed
  PutBe32(signature, 36, 54);       // hash offset
  PutBe32(signature, 40, 44);       // identifier offset
  PutBe32(signature, 48, static_cast<uint32_t>(pages));
  PutBe32(signature, 52, static_cast<uint32_t>(codeLimit));
  signature[56] = 32;
  signature[57] = 2;
  signature[59] = 12;
  std::memcpy(signature.data() + 20 + 44, "synthetic", 10);
  for (size_t p = 0; p < pages; ++p) {
    const size_t length = std::min<size_t>(4096, codeLimit - p * 4096);
    const auto digest = Sha256(file.data() + p * 4096, length);
    std::memcpy(signature.data() + 20 + 54 + 32 * p, digest.data(), 32);
  }
  file.insert(file.end(), signature.begin(), signature.end());
  return file;
}

std::vector<std::string> Problems(const std::vector<uint8_t>& bytes, uint32_t cpu = kMachCpuArm64) {
  const CMachFile file = ReadMachFile(bytes, "synthetic");
  EXPECT_EQ(file.mSlices.size(), 1u);
  return BundleSliceProblems(file.mSlices.at(0), cpu);
}

testing::Matcher<const std::vector<std::string>&> HasProblem(const std::string& about) {
  return testing::Contains(testing::StartsWith(about));
}

TEST(MachBundleChecks, ASoundBundleHasNoProblem) {
  const auto bytes = MakeBundle({});
  const CMachFile file = ReadMachFile(bytes, "synthetic");
  ASSERT_EQ(file.mSlices.size(), 1u);
  const CMachSlice& slice = file.mSlices[0];
  EXPECT_EQ(slice.mExports, std::vector<std::string>{"_GetActorInfo"});
  EXPECT_EQ(slice.mExternalSymbols, std::vector<std::string>{"_GetActorInfo"});
  EXPECT_TRUE(slice.mSignatureMatches) << slice.mSignatureProblem;
  EXPECT_THAT(BundleSliceProblems(slice, kMachCpuArm64), IsEmpty());
}

TEST(MachBundleChecks, EachFaultIsNamed) {
  auto damaged = MakeBundle({});
  damaged[0x800] ^= 0x01;  // one bit of code
  EXPECT_THAT(Problems(damaged), HasProblem("signature: page 0 does not match"));

  CBundleRecipe dylib;
  dylib.mFileType = kMachFileDylib;
  EXPECT_THAT(Problems(MakeBundle(dylib)), HasProblem("file type 6"));

  CBundleRecipe extraExport;
  extraExport.mExports = {"_GetActorInfo", "_HelperLeftVisible"};
  const auto extra = Problems(MakeBundle(extraExport));
  EXPECT_THAT(extra, HasProblem("exports [_GetActorInfo, _HelperLeftVisible]"));
  EXPECT_THAT(extra, HasProblem("symbol table"));

  CBundleRecipe sharedRuntime;
  sharedRuntime.mLibraries = {"/usr/lib/libc++.1.dylib", "/usr/lib/libSystem.B.dylib"};
  EXPECT_THAT(Problems(MakeBundle(sharedRuntime)), HasProblem("imports [/usr/lib/libc++.1.dylib"));

  CBundleRecipe newer;
  newer.mMinimumOs = 0x000D0000;
  EXPECT_THAT(Problems(MakeBundle(newer)), HasProblem("minimum macOS 13.0"));

  CBundleRecipe unsignedBundle;
  unsignedBundle.mSigned = false;
  EXPECT_THAT(Problems(MakeBundle(unsignedBundle)), HasProblem("signature: none"));

  EXPECT_THAT(Problems(MakeBundle({}), kMachCpuX86_64), HasProblem("cpu type 0x0100000C"));
}

TEST(MachBundleChecks, AUniversalFileIsReadSliceBySlice) {
  CBundleRecipe intel;
  intel.mCpuType = kMachCpuX86_64;
  const auto first = MakeBundle(intel);
  const auto second = MakeBundle({});
  std::vector<uint8_t> fat(0x4000 + 0x4000 + second.size());
  PutBe32(fat, 0, 0xCAFEBABE);
  PutBe32(fat, 4, 2);
  const std::vector<std::pair<const std::vector<uint8_t>*, uint32_t>> slices = {{&first, kMachCpuX86_64},
                                                                                 {&second, kMachCpuArm64}};
  for (size_t i = 0; i < 2; ++i) {
    const size_t offset = 0x4000 * (i + 1);
    PutBe32(fat, 8 + 20 * i, slices[i].second);
    PutBe32(fat, 8 + 20 * i + 8, static_cast<uint32_t>(offset));
    PutBe32(fat, 8 + 20 * i + 12, static_cast<uint32_t>(slices[i].first->size()));
    PutBe32(fat, 8 + 20 * i + 16, 14);
    std::memcpy(fat.data() + offset, slices[i].first->data(), slices[i].first->size());
  }
  const CMachFile file = ReadMachFile(fat, "universal");
  EXPECT_TRUE(file.mUniversal);
  ASSERT_EQ(file.mSlices.size(), 2u);
  EXPECT_THAT(BundleSliceProblems(file.mSlices[0], kMachCpuX86_64), IsEmpty());
  EXPECT_THAT(BundleSliceProblems(file.mSlices[1], kMachCpuArm64), IsEmpty());

  // A slice said to reach past the file is refused.
  PutBe32(fat, 8 + 20 + 12, static_cast<uint32_t>(second.size() + 1));
  EXPECT_THROW(ReadMachFile(fat, "universal"), std::runtime_error);
}

TEST(MachBundleChecks, SizesThatLieAreRefusedNotFollowed) {
  const auto sound = MakeBundle({});
  EXPECT_THROW(ReadMachFile(std::vector<uint8_t>(sound.begin(), sound.begin() + 40), "cut"),
               std::runtime_error);
  EXPECT_THROW(ReadMachFile(std::vector<uint8_t>{'M', 'Z', 0, 0}, "not mach-o"), std::runtime_error);

  auto commands = sound;
  Put32(commands, 20, 0x7FFFFFF0);  // load commands larger than the file
  EXPECT_THROW(ReadMachFile(commands, "commands"), std::runtime_error);

  // The export trie's first child pointing back at the root: a loop.
  auto loop = sound;
  const size_t trieAt = 0x1000;
  const size_t edgeEnd = trieAt + 2 + std::string("_GetActorInfo").size() + 1;
  loop[edgeEnd] = 0;
  EXPECT_THROW(ReadMachFile(loop, "loop"), std::runtime_error);
}

}  // namespace
