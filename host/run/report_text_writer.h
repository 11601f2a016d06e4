// A run's reports and summary as text for a person, one line per value
// (skeletons one line per joint), each stamped with the run's time.
//
// Thread-safety: plain functions.
#pragma once

#include <string>

#include "host/run/run_report.h"

namespace vhost {

std::string ReportText(const CRunReport& report);
// The lines after the run: frames saved, renders, expects, watcher errors
// and the totals.
std::string SummaryText(const CRunSummary& summary);

}  // namespace vhost
