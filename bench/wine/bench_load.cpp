// Cost of loading and unloading Vexlo.dll next to an empty DLL from the same toolchain,
// measured in one run, and the DLL's size. Prints figures; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

using bench::ExeDir;

double Seconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

// Median of several rounds of n load/unload pairs, in microseconds per pair.
double LoadUnload(const std::string& path, int n) {
    std::vector<double> rounds;
    for (int r = 0; r < 7; ++r) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        for (int i = 0; i < n; ++i) {
            HMODULE m = LoadLibraryA(path.c_str());
            if (!m) return -1;
            FreeLibrary(m);
        }
        QueryPerformanceCounter(&b);
        rounds.push_back(Seconds(a, b) * 1e6 / n);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d) ? long(d.nFileSizeLow) : -1;
}

}  // namespace

int main() {
    const std::string vexlo = ExeDir() + VEXLO_HOST_DLL, empty = ExeDir() + "VexloEmpty.dll";
    const int n = 50;
    // Cold: the system DLLs that Vexlo.dll imports are loaded and unloaded with it each time.
    // Interleave the two so machine noise hits both alike.
    double e = LoadUnload(empty, n), v = LoadUnload(vexlo, n);
    e = std::min(e, LoadUnload(empty, n));
    v = std::min(v, LoadUnload(vexlo, n));
    std::printf("cold: load+unload " VEXLO_HOST_DLL " %.1f us, empty DLL %.1f us, ratio %.2f\n", v, e, v / e);

    // Warm: its imports already in the process, as in the main program and in Explorer; what
    // is left is mapping the DLL and the library's own start-up and shut-down.
    for (const char* dll : {"user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
                            "msimg32.dll", "comctl32.dll"})
        LoadLibraryA(dll);
    e = LoadUnload(empty, n);
    v = LoadUnload(vexlo, n);
    e = std::min(e, LoadUnload(empty, n));
    v = std::min(v, LoadUnload(vexlo, n));
    std::printf("warm: load+unload " VEXLO_HOST_DLL " %.1f us, empty DLL %.1f us, ratio %.2f\n", v, e, v / e);
    std::printf(VEXLO_HOST_DLL " size: %ld bytes (empty DLL: %ld bytes)\n", FileSize(vexlo), FileSize(empty));
    return 0;
}
