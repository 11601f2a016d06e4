// actorhost: the stand-in host on the command line.
//
//   actorhost inspect PLUGIN...   registration, properties and help of plug-in files
//   actorhost run PATCH           load plug-ins, wire them, tick them, print outputs
//
// All the work is in the host library; this file only reads the command line.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "host/host_error.h"
#include "host/plugin.h"
#include "host/plugin_report.h"

namespace {

int Inspect(const std::vector<std::string>& files) {
  int status = 0;
  bool first = true;
  for (const auto& file : files) {
    try {
      const auto& plugin = vhost::LoadPlugin(file);
      if (!first) std::cout << '\n';
      first = false;
      std::cout << vhost::DescribePlugin(plugin);
    } catch (const vhost::CHostError& e) {
      std::cerr << "actorhost: " << e.what() << '\n';
      status = 1;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "actorhost: a stand-in host for Vorlane actor plug-ins. It loads plug-in files as the host "
      "does, drives their instances, wires them together and shows what they send."};
  app.require_subcommand(1);

  std::vector<std::string> files;
  auto* inspect = app.add_subcommand(
      "inspect",
      "Print each plug-in's registration (display name, codes, constants) and every property "
      "(kind, index, name, ID, type, display, limits, default) with its help text. A file that "
      "cannot be loaded gives a one-line error and exit status 1.");
  inspect->add_option("PLUGIN", files, "plug-in files (.so)")->required();

  CLI11_PARSE(app, argc, argv);
  if (inspect->parsed()) return Inspect(files);
  return 0;
}
