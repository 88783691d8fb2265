// What this process has read from files so far, as the system counts it: every read call, of
// every file, included. Tests and benchmarks compare it before and after a step.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

inline std::uint64_t BytesReadByThisProcess() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}
