// Checks of the stand-alone test programs (those without a test framework):
// a failed check is printed and counted, and main returns 1 when any failed.
#pragma once

#include <cstdio>
#include <string>

namespace programchecks {

inline int failures = 0;

inline void check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    }
}

}  // namespace programchecks
