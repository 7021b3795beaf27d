#pragma once

// The memory of the benchmark's own process, in KiB.

#include <sys/resource.h>

#include <fstream>
#include <string>

// The largest resident set so far (getrusage).
inline long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The resident set now (/proc/self/status), not the peak.
inline long currentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}
