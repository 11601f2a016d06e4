#include "host/validate/validation_test.h"

namespace vhost::validate {

const std::vector<CValidationTest>& ValidationTests() {
  static const std::vector<CValidationTest> tests = [] {
    std::vector<CValidationTest> all;
    AddFileTests(all);
    AddRegistrationTests(all);
    AddLifecycleTests(all);
    AddPropertyFuzzTests(all);
    AddGraphTests(all);
    AddMisorderedCallTests(all);
    AddSteadyStateTests(all);
    return all;
  }();
  return tests;
}

}  // namespace vhost::validate
