#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/host_error.h"
#include "host/plugin.h"
#include "probe_paths.h"

using testing::HasSubstr;
using vhost::CHostError;
using vhost::LoadPlugin;

namespace {

std::string LoadError(const std::string& path) {
  try {
    LoadPlugin(path);
    return "";
  } catch (const CHostError& e) {
    return e.what();
  }
}

}  // namespace

TEST(LoadingAPluginFile, ReadsTheRegistrationRecordAndDeclarations) {
  const auto& plugin = LoadPlugin(ProbePath("probe"));
  EXPECT_EQ(plugin.DisplayName(), "Host Probe");
  EXPECT_EQ(plugin.ClassCode(), 0x636E746Cu);
  EXPECT_EQ(plugin.ActorID(), 0x5F707262u);
  EXPECT_EQ(plugin.SecondCode(), 0u);
  EXPECT_EQ(plugin.Constant12(), 256u);
  EXPECT_EQ(plugin.Constant16(), 128u);
  EXPECT_EQ(plugin.Inputs().size(), 5u);
  EXPECT_EQ(plugin.Outputs().size(), 3u);
  EXPECT_EQ(plugin.mPropertyStringToValue, nullptr);
  EXPECT_TRUE(plugin.Warnings().empty());
}

TEST(LoadingAPluginFile, LoadsEachFileOnceWhateverThePathSpelling) {
  const auto& first = LoadPlugin(ProbePath("probe"));
  const std::string roundabout = std::string(VORL_HOST_PROBE_DIR) + "/../probes/./probe" VORL_PLUGIN_SUFFIX;
  EXPECT_EQ(&LoadPlugin(roundabout), &first);
}

TEST(LoadingAPluginFile, RefusesAMissingFile) {
  EXPECT_THAT(LoadError(ProbePath("nothing_here")), HasSubstr("no such file"));
}

TEST(LoadingAPluginFile, RefusesAFileThatIsNotASharedLibrary) {
  const auto path = std::filesystem::temp_directory_path() / "vorl_host_not_a_library.so";
  std::ofstream(path) << "not a shared library\n";
  EXPECT_THAT(LoadError(path.string()), HasSubstr("not a loadable shared library"));
  std::filesystem::remove(path);
}

TEST(LoadingAPluginFile, RefusesADirectory) {
  EXPECT_THAT(LoadError(VORL_HOST_PROBE_DIR), HasSubstr("not a regular file"));
}

TEST(LoadingAPluginFile, RefusesALibraryWithoutGetActorInfo) {
  EXPECT_THAT(LoadError(ProbePath("no_entry")), HasSubstr("does not export GetActorInfo"));
}

TEST(LoadingAPluginFile, NamesTheSlotOfAMissingEntryPoint) {
  EXPECT_THAT(LoadError(ProbePath("probe_null_help")),
              HasSubstr("GetActorInfo left GetHelpString (slot 632) null"));
}

TEST(LoadingAPluginFile, NamesTheLineOfABrokenDefinitionString) {
  const std::string error = LoadError(ProbePath("probe_bad_definitions"));
  EXPECT_THAT(error, HasSubstr("property definitions: line 8: missing carriage return"));
  // Refused once, refused again with the same words, without a second registration.
  EXPECT_EQ(LoadError(ProbePath("probe_bad_definitions")), error);
}

TEST(LoadingAPluginFile, AcceptsTheFrameworksTestActor) {
  const auto& plugin = LoadPlugin(BuiltPluginPath("test_actor"));
  EXPECT_EQ(plugin.DisplayName(), "Test Actor");
  EXPECT_NE(plugin.mPropertyStringToValue, nullptr);
  EXPECT_EQ(plugin.Inputs().size(), 6u);
  EXPECT_EQ(plugin.Outputs().size(), 4u);
}

TEST(LoadingAPluginFileUnshared, GivesALoadOfItsOwnThatEndsWithIt) {
  const auto& cached = LoadPlugin(ProbePath("probe"));
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<vhost::CPlugin> own = vhost::LoadPluginUnshared(ProbePath("probe"));
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own.get(), &cached);
    EXPECT_EQ(own->DisplayName(), "Host Probe");
    EXPECT_EQ(own->ActorID(), cached.ActorID());
    EXPECT_EQ(own->Properties().size(), cached.Properties().size());
  }
  // The cached load is untouched by the unloads.
  EXPECT_EQ(&LoadPlugin(ProbePath("probe")), &cached);
  EXPECT_EQ(cached.DisplayName(), "Host Probe");
}

TEST(LoadingAPluginFileUnshared, RefusesAsTheCachedLoadDoes) {
  auto unsharedError = [](const std::string& path) -> std::string {
    try {
      vhost::LoadPluginUnshared(path);
      return "";
    } catch (const CHostError& e) {
      return e.what();
    }
  };
  EXPECT_THAT(unsharedError(ProbePath("nothing_here")), HasSubstr("no such file"));
  EXPECT_THAT(unsharedError(ProbePath("no_entry")), HasSubstr("does not export GetActorInfo"));
  EXPECT_THAT(unsharedError(ProbePath("probe_null_help")), HasSubstr("GetHelpString"));
  EXPECT_EQ(unsharedError(ProbePath("probe_null_help")), LoadError(ProbePath("probe_null_help")));
}
