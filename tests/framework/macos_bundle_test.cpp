// The bundles of tools/build_macos.sh, read here: each is a bundle folder as
// macOS expects it, its executable a universal file of an x86-64 and an arm64
// slice that are each a sound plug-in bundle, and both slices hold the very
// property definitions and help texts that this machine's build of the same
// plug-in hands to the host.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "host/plugin_abi.h"
#include "host/record_layout.h"
#include "tests/framework/macho_file.h"
#include "tests/framework/macos_bundle_checks.h"

namespace {

namespace fs = std::filesystem;
namespace layout = vhost::layout;
using testing::IsEmpty;

const char* const kPlugins[] = {"kavrin_watcher", "bonesplit"};

fs::path BundlePath(const std::string& plugin) {
  return fs::path(VORL_MACOS_BUILD) / "plugins" / (plugin + ".bundle");
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// The <string> values of an Info.plist's top-level keys, and the strings of
// its arrays joined by commas.
std::map<std::string, std::string> PlistValues(const std::string& plist) {
  std::map<std::string, std::string> values;
  const std::regex entry(R"(<key>([^<]*)</key>\s*(<string>([^<]*)</string>|<array>((\s*<string>[^<]*</string>)*)\s*</array>))");
  for (std::sregex_iterator it(plist.begin(), plist.end(), entry), end; it != end; ++it) {
    if ((*it)[3].matched) {
      values[(*it)[1]] = (*it)[3];
      continue;
    }
    std::string joined;
    const std::string items = (*it)[4];
    const std::regex item(R"(<string>([^<]*)</string>)");
    for (std::sregex_iterator s(items.begin(), items.end(), item); s != std::sregex_iterator(); ++s)
      joined += (joined.empty() ? "" : ",") + (*s)[1].str();
    values[(*it)[1]] = joined;
  }
  return values;
}

TEST(MacosBundles, EachIsABundleFolderWithInfoPlistPkgInfoAndOneExecutable) {
  for (const std::string plugin : kPlugins) {
    SCOPED_TRACE(plugin);
    const fs::path bundle = BundlePath(plugin);
    ASSERT_TRUE(fs::is_directory(bundle)) << bundle << " is missing: run tools/build_macos.sh";
    const auto plist = PlistValues(ReadText(bundle / "Contents/Info.plist"));
    EXPECT_EQ(plist.at("CFBundleExecutable"), plugin);
    EXPECT_TRUE(std::regex_match(plist.at("CFBundleIdentifier"), std::regex(R"([A-Za-z0-9-]+(\.[A-Za-z0-9-]+){2,})")))
        << plist.at("CFBundleIdentifier");
    EXPECT_EQ(plist.at("CFBundleName"), plugin);
    EXPECT_EQ(plist.at("CFBundlePackageType"), "BNDL");
    EXPECT_EQ(plist.at("CFBundleSignature"), "????");
    EXPECT_EQ(plist.at("CFBundleShortVersionString"), VORL_PROJECT_VERSION);
    EXPECT_EQ(plist.at("CFBundleVersion"), VORL_PROJECT_VERSION);
    EXPECT_EQ(plist.at("CFBundleInfoDictionaryVersion"), "6.0");
    EXPECT_EQ(plist.at("CFBundleSupportedPlatforms"), "MacOSX");
    EXPECT_EQ(plist.at("LSMinimumSystemVersion"), "11.0");
    EXPECT_EQ(ReadText(bundle / "Contents/PkgInfo"), "BNDL????");
    std::vector<std::string> executables;
    for (const auto& entry : fs::directory_iterator(bundle / "Contents/MacOS"))
      executables.push_back(entry.path().filename().string());
    EXPECT_EQ(executables, std::vector<std::string>{plugin});
  }
}

TEST(MacosBundles, EachExecutableHoldsASoundX86_64AndArm64Slice) {
  for (const std::string plugin : kPlugins) {
    SCOPED_TRACE(plugin);
    const fs::path executable = BundlePath(plugin) / "Contents/MacOS" / plugin;
    const CMachFile file = ReadMachFile(ReadBytes(executable), executable.string());
    EXPECT_TRUE(file.mUniversal);
    EXPECT_EQ(file.mFatCpuTypes, (std::vector<uint32_t>{kMachCpuX86_64, kMachCpuArm64}));
    ASSERT_EQ(file.mSlices.size(), file.mFatCpuTypes.size());
    for (size_t i = 0; i < file.mSlices.size(); ++i)
      EXPECT_THAT(BundleSliceProblems(file.mSlices[i], file.mFatCpuTypes[i]), IsEmpty()) << "slice " << i;
  }
}

// The texts this machine's plug-in file hands to the host: its property
// definitions and the help text of the actor and of every declared property.
int32_t HelpIndexOf(void*, uint8_t kind, uint16_t index);
uint16_t gInputCount = 0;

int32_t HelpIndexOf(void*, uint8_t kind, uint16_t index) {
  return kind == 0 ? 0 : kind == 1 ? index : gInputCount + index;
}

std::vector<std::string> HostTexts(const std::string& plugin) {
  const std::string path = std::string(std::getenv("VORL_PLUGIN_DIR")) + "/" + plugin + VORL_PLUGIN_SUFFIX;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(library, nullptr) << dlerror();
  if (library == nullptr) return {};
  auto getActorInfo = reinterpret_cast<vhost::GetActorInfoFn>(dlsym(library, "GetActorInfo"));
  alignas(16) unsigned char info[layout::kActorInfoSize] = {};
  getActorInfo(nullptr, reinterpret_cast<ActorInfo*>(info));
  std::vector<void*> services(layout::kServiceSlotCount, nullptr);
  services[0x0b8 / sizeof(void*)] = reinterpret_cast<void*>(&HelpIndexOf);
  alignas(16) unsigned char parameters[layout::kParametersSize] = {};
  layout::WriteAt<void* const*>(parameters, layout::kServiceTablePtr, services.data());
  auto* params = reinterpret_cast<VorlaneParameters*>(parameters);
  auto* actor = reinterpret_cast<ActorInfo*>(info);

  const std::string definition =
      reinterpret_cast<vhost::GetParameterStringFn>(layout::ReadAt<void*>(info, layout::kGetParameterString))(params, actor);
  std::vector<std::string> texts = {definition};
  uint16_t inputs = 0, outputs = 0;
  for (size_t at = 0; (at = definition.find("PROP", at)) != std::string::npos; at += 4)
    ++(definition.compare(at - 2, 2, "IN") == 0 ? inputs : outputs);
  gInputCount = inputs;
  auto help = reinterpret_cast<vhost::GetHelpStringFn>(layout::ReadAt<void*>(info, layout::kGetHelpString));
  auto add = [&](uint8_t kind, uint16_t index) {
    char text[4096] = {};
    help(params, actor, kind, index, text, sizeof(text));
    texts.emplace_back(text);
  };
  add(0, 0);
  for (uint16_t i = 1; i <= inputs; ++i) add(1, i);
  // Bonesplit composes the help of its coordinate outputs at run time; the
  // texts it stores are those of its first four outputs.
  const uint16_t storedOutputs = plugin == "bonesplit" ? std::min<uint16_t>(outputs, 4) : outputs;
  for (uint16_t i = 1; i <= storedOutputs; ++i) add(2, i);
  dlclose(library);
  return texts;
}

TEST(MacosBundles, BothSlicesHoldTheDefinitionsAndHelpTextsOfTheLinuxBuild) {
  for (const std::string plugin : kPlugins) {
    SCOPED_TRACE(plugin);
    const std::vector<std::string> texts = HostTexts(plugin);
    ASSERT_GT(texts.size(), 4u);
    const fs::path executable = BundlePath(plugin) / "Contents/MacOS" / plugin;
    const auto bytes = ReadBytes(executable);
    const CMachFile file = ReadMachFile(bytes, executable.string());
    for (const CMachSlice& slice : file.mSlices) {
      const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(slice.mOffset);
      const auto end = begin + static_cast<std::ptrdiff_t>(slice.mSize);
      for (const std::string& text : texts) {
        ASSERT_FALSE(text.empty());
        std::vector<uint8_t> wanted(text.begin(), text.end());
        wanted.push_back(0);
        EXPECT_NE(std::search(begin, end, wanted.begin(), wanted.end()), end)
            << "slice of cpu type " << std::hex << slice.mCpuType << " lacks \"" << text.substr(0, 60) << "...\"";
      }
    }
  }
}

}  // namespace
