// What a validation run found, for people (a readable report), for CI
// (JUnit XML) and for programs (JSON).
//
// Texts from plug-ins may hold any bytes: both files carry them as valid
// UTF-8, bytes that are not replaced by U+FFFD.
//
// Thread-safety: plain functions.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/validate/validator.h"

namespace vhost::validate {

// Each failed test with its findings and reproducing command line, then one
// summary line.
void WriteTextReport(const std::vector<CTestResult>& results, std::ostream& out);

// False with a reason when the file cannot be written.
bool WriteJUnitReport(const std::vector<CTestResult>& results, const std::string& path, std::string& error);
bool WriteJsonReport(const std::vector<CTestResult>& results, const std::string& path, std::string& error);

// `text` with every byte sequence that is not UTF-8, and every control
// character but tab and line feed, replaced.
std::string ValidUtf8(const std::string& text);

}  // namespace vhost::validate
