// The report of a run: an aligned table per file and a summary for a batch on
// stdout, and the same numbers as JSON for scripts.
#pragma once

#include <string>
#include <vector>

#include "LevelJob.h"

std::string fileReport(const JobResult& result);
// One line per file and the totals; `wallSeconds` is the run's elapsed time.
std::string batchSummary(const std::vector<JobResult>& results, double wallSeconds);
std::string jsonReport(const std::vector<JobResult>& results, double wallSeconds, int jobs);
