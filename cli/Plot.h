// The picture of one levelled file (PNG, drawn with cairo): short-term
// loudness of input and output against the target on the left axis, the
// leveler gain and the limiter's gain reduction on the right axis.
#pragma once

#include <string>

#include "LevelJob.h"

// Writes the plot atomically. Throws FileError.
void drawPlot(const JobResult& result, const std::string& path);

// Releases cairo's and fontconfig's process-wide font caches, so a leak
// checker sees none; call once at exit, after every plot is drawn.
void releasePlotCaches();
