#pragma once
// Small helpers the Windows benchmarks share.
#include <windows.h>

#include <string>

#include "host/library_name.h"

// The library and the stand-in of the benchmark's own bitness.
#ifdef _WIN64
#define VEXLO_BENCH_HOST "VexloHost64.exe"
#else
#define VEXLO_BENCH_HOST "VexloHost.exe"
#endif

namespace bench {

// The folder of the running program, with its trailing separator.
inline std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

// Milliseconds on the performance counter.
inline double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace bench
