// A run's reports and summary as JSON objects, one per line of a JSON Lines
// file: {"type":"report", ...} and {"type":"summary", ...}.
//
// Thread-safety: plain functions.
#pragma once

#include <nlohmann/json.hpp>

#include "host/run/run_report.h"

namespace vhost {

// A watcher's stream health; `live` adds the hint and the age of the last
// frame, which only mean something while the run goes on.
nlohmann::json WatcherJson(const CWatcherHealth& watcher, bool live);
nlohmann::json ReportJson(const CRunReport& report);
nlohmann::json SummaryJson(const CRunSummary& summary);

}  // namespace vhost
