#include "host/assertion_log.h"

#include <fmt/format.h>

#include <iostream>

namespace vhost {

namespace {

std::string Quoted(const char* text) {
  return text != nullptr ? fmt::format("'{}'", text) : "null";
}

}  // namespace

void CAssertionLog::AssertionFailed(const char* condition, const char* actorName, int32_t line) {
  CAssertionReport report{condition != nullptr ? condition : "",
                          actorName != nullptr ? actorName : "", line};
  if (mSwitches.mPrintAssertions) {
    std::cerr << fmt::format("actorhost: assertion failed in {} line {}: {}\n", Quoted(actorName),
                             line, Quoted(condition));
  }
  mAssertions.push_back(std::move(report));
}

}  // namespace vhost
