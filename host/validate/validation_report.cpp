#include "host/validate/validation_report.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

namespace vhost::validate {
namespace {

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : ValidUtf8(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string SuiteName(const std::string& plugin) { return std::filesystem::path(plugin).filename().string(); }

std::string FailureText(const CTestResult& r) {
  std::string text;
  for (const auto& f : r.mFindings) text += f + '\n';
  text += fmt::format("seed {}\nreproduce: {}\n", r.mSeed, r.mReproduce);
  return text;
}

// A figure as a JSON number when its text is one, else as text.
nlohmann::json FigureValue(const std::string& text) {
  size_t used = 0;
  try {
    const double number = std::stod(text, &used);
    if (used == text.size()) return number;
  } catch (const std::exception&) {
  }
  return ValidUtf8(text);
}

}  // namespace

std::string ValidUtf8(const std::string& text) {
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool ok = length != 0 && i + length <= n;
    for (size_t k = 1; ok && k < length; ++k) ok = (s[i + k] & 0xC0) == 0x80;
    if (ok && length > 1) {
      uint32_t cp = c & (0x7F >> length);
      for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
      const uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
      ok = cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!ok) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (length == 1 && c < 0x20 && c != '\t' && c != '\n') out += "\xEF\xBF\xBD";
    else out.append(text, i, length);
    i += length;
  }
  return out;
}

void WriteTextReport(const std::vector<CTestResult>& results, std::ostream& out) {
  std::map<ETestStatus, size_t> counts;
  for (const auto& r : results) {
    ++counts[r.mStatus];
    if (r.mStatus == ETestStatus::kPassed || r.mStatus == ETestStatus::kSkipped) continue;
    out << fmt::format("\n{} {} on {} (level {}, seed {})\n", StatusName(r.mStatus), r.mTest, r.mPlugin, r.mLevel,
                       r.mSeed);
    for (const auto& f : r.mFindings) out << "  - " << ValidUtf8(f) << '\n';
    out << "  reproduce: " << r.mReproduce << '\n';
  }
  const size_t failed = counts[ETestStatus::kFailed] + counts[ETestStatus::kCrashed] + counts[ETestStatus::kHung];
  out << fmt::format("\n{} tests: {} passed, {} failed ({} crashed, {} hung), {} skipped\n",
                     results.size() - counts[ETestStatus::kSkipped], counts[ETestStatus::kPassed], failed,
                     counts[ETestStatus::kCrashed], counts[ETestStatus::kHung], counts[ETestStatus::kSkipped]);
}

bool WriteJUnitReport(const std::vector<CTestResult>& results, const std::string& path, std::string& error) {
  std::ofstream file(path);
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  std::map<std::string, std::vector<const CTestResult*>> suites;
  std::vector<std::string> order;
  for (const auto& r : results) {
    if (suites[r.mPlugin].empty()) order.push_back(r.mPlugin);
    suites[r.mPlugin].push_back(&r);
  }
  file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"actorhost validate\">\n";
  for (const auto& plugin : order) {
    size_t failures = 0, errors = 0, skipped = 0;
    double seconds = 0;
    for (const auto* r : suites[plugin]) {
      failures += r->mStatus == ETestStatus::kFailed;
      errors += r->mStatus == ETestStatus::kCrashed || r->mStatus == ETestStatus::kHung;
      skipped += r->mStatus == ETestStatus::kSkipped;
      seconds += r->mSeconds;
    }
    file << fmt::format(
        "  <testsuite name=\"{}\" tests=\"{}\" failures=\"{}\" errors=\"{}\" skipped=\"{}\" time=\"{:.3f}\">\n",
        XmlEscaped(SuiteName(plugin)), suites[plugin].size(), failures, errors, skipped, seconds);
    for (const auto* r : suites[plugin]) {
      file << fmt::format("    <testcase classname=\"{}\" name=\"{}\" time=\"{:.3f}\"", XmlEscaped(SuiteName(plugin)),
                          XmlEscaped(r->mTest), r->mSeconds);
      if (r->mStatus == ETestStatus::kPassed) {
        file << "/>\n";
        continue;
      }
      file << ">\n";
      if (r->mStatus == ETestStatus::kSkipped) {
        file << "      <skipped message=\"below the level or left out\"/>\n";
      } else {
        const char* element = r->mStatus == ETestStatus::kFailed ? "failure" : "error";
        const std::string first = r->mFindings.empty() ? StatusName(r->mStatus) : r->mFindings.front();
        file << fmt::format("      <{} message=\"{}\" type=\"{}\">{}</{}>\n", element, XmlEscaped(first),
                            StatusName(r->mStatus), XmlEscaped(FailureText(*r)), element);
      }
      file << "    </testcase>\n";
    }
    file << "  </testsuite>\n";
  }
  file << "</testsuites>\n";
  if (!file.flush()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool WriteJsonReport(const std::vector<CTestResult>& results, const std::string& path, std::string& error) {
  nlohmann::json tests = nlohmann::json::array();
  bool passed = AllPassed(results);
  for (const auto& r : results) {
    nlohmann::json findings = nlohmann::json::array();
    for (const auto& f : r.mFindings) findings.push_back(ValidUtf8(f));
    nlohmann::json figures = nlohmann::json::object();
    for (const auto& [name, value] : r.mFigures) figures[ValidUtf8(name)] = FigureValue(value);
    tests.push_back({{"plugin", ValidUtf8(r.mPlugin)},
                     {"test", r.mTest},
                     {"status", StatusName(r.mStatus)},
                     {"level", r.mLevel},
                     {"seed", r.mSeed},
                     {"seconds", r.mSeconds},
                     {"findings", findings},
                     {"reproduce", ValidUtf8(r.mReproduce)},
                     {"figures", figures}});
  }
  const nlohmann::json document{{"passed", passed}, {"tests", tests}};
  std::ofstream file(path);
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  file << document.dump(2) << '\n';
  if (!file.flush()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vhost::validate
