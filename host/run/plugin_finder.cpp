#include "host/run/plugin_finder.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "host/host_error.h"
#include "host/plugin_library.h"
#include "host/text_excerpt.h"

namespace vhost {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

const CPlugin& FindPlugin(const std::string& nameOrPath, const std::vector<std::string>& directories) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string suffix = CPluginLibrary::kFileSuffix;
  const bool looksLikePath = nameOrPath.find('/') != std::string::npos || nameOrPath.ends_with(suffix);
  if (looksLikePath) return LoadPlugin(nameOrPath);

  for (const auto& dir : directories) {
    for (const std::string& candidate : {nameOrPath + suffix, nameOrPath}) {
      const fs::path path = fs::path(dir) / candidate;
      if (fs::is_regular_file(path, ec)) return LoadPlugin(path.string());
    }
  }
  const std::string wanted = Lower(nameOrPath);
  for (const auto& dir : directories) {
    if (!fs::is_directory(dir, ec)) continue;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      if (entry.path().extension() == suffix) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      try {
        const CPlugin& plugin = LoadPlugin(file.string());
        if (Lower(plugin.DisplayName()) == wanted) return plugin;
      } catch (const CHostError&) {
        // Not a plug-in we can use; it cannot be the one meant either.
      }
    }
  }
  throw CHostError(fmt::format("plug-in {} not found (looked for {}{} and display names in: {})",
                               QuoteExcerpt(nameOrPath), Excerpt(nameOrPath), suffix,
                               directories.empty() ? std::string("no directories")
                                                   : fmt::format("{}", fmt::join(directories, ", "))));
}

}  // namespace vhost
