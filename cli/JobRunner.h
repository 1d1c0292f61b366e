// Runs the jobs of a batch on a pool of threads, one engine per file, and
// draws the progress on stderr: one line per running job with percentage,
// elapsed time, speed (x real time) and remaining time.
#pragma once

#include <atomic>
#include <vector>

#include "LevelJob.h"

// `stop` is set by the signal handlers; running jobs then clean up and the
// remaining ones are not started. Failures are printed to stderr as they
// happen. Returns the results in the order of `requests`.
std::vector<JobResult> runJobs(const std::vector<JobRequest>& requests, int jobs, bool showProgress,
                               const std::atomic<int>& stop);
