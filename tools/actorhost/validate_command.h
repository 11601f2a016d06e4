// `actorhost validate PLUGIN...`: the validator on the command line.
//
//   CLI::App app;
//   CValidateCommand validate(app);           // adds the subcommand and its options
//   CLI11_PARSE(app, argc, argv);
//   if (validate.Parsed()) return validate.Run(argv[0]);
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "host/validate/validator.h"

class CValidateCommand {
 public:
  explicit CValidateCommand(CLI::App& app);
  bool Parsed() const { return mCommand->parsed(); }
  // Exit status: 0 when every test of the level passed, 2 when one failed,
  // 1 for a usage or file error.
  int Run(const std::string& program);

 private:
  CLI::App* mCommand;
  vhost::validate::CValidateOptions mOptions;
  std::string mJUnit, mJson;
  bool mList = false;
  bool mSeedGiven = false;
};
