// Every built DLL exports GetActorInfo and nothing else, and imports only
// system DLLs that every Windows has: the runtime is linked in, so a user
// copies one file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tests/framework/pe_tables.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Beyond kernel32.dll and msvcrt.dll, which every plug-in may import.
const std::map<std::string, std::set<std::string>> kExtraImports = {
    {"kavrin_watcher.dll", {"ws2_32.dll"}},
    {"bonescope.dll", {"opengl32.dll", "glu32.dll"}},
    {"bonesplit.dll", {}},
    {"test_actor.dll", {}},
};

TEST(PluginDlls, ExportOnlyGetActorInfoAndImportOnlyTheSystemDllsTheyNeed) {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  ASSERT_NE(dir, nullptr);
  std::set<std::string> checked;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = Lower(entry.path().filename().string());
    if (entry.path().extension() != ".dll") continue;
    ASSERT_TRUE(kExtraImports.count(name)) << "a DLL this test does not know: " << name;
    const CPeTables tables = ReadPeTables(entry.path());
    EXPECT_EQ(tables.mExports, std::vector<std::string>{"GetActorInfo"}) << name;
    EXPECT_EQ(tables.mExportedFunctions, 1u) << name << ": no exports by ordinal only";
    std::set<std::string> allowed = kExtraImports.at(name);
    allowed.insert({"kernel32.dll", "msvcrt.dll"});
    for (const std::string& dll : tables.mImportedDlls)
      EXPECT_TRUE(allowed.count(Lower(dll))) << name << " imports " << dll;
    EXPECT_THAT(tables.mImportedDlls, testing::Contains(testing::StrCaseEq("kernel32.dll"))) << name;
    EXPECT_TRUE(tables.mDelayLoadDlls.empty()) << name;
    checked.insert(name);
  }
  for (const char* product : {"kavrin_watcher.dll", "bonesplit.dll", "bonescope.dll"})
    EXPECT_TRUE(checked.count(product)) << product << " was not built";
}

TEST(PluginDlls, AFileThatIsNoImageIsReportedNotRead) {
  const auto path = std::filesystem::temp_directory_path() / "vorl_not_an_image.dll";
  {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("MZ but nothing more", file);
    std::fclose(file);
  }
  EXPECT_THROW(ReadPeTables(path), std::runtime_error);
  std::filesystem::remove(path);
}

}  // namespace
