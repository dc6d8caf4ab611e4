// Build-time tool, run on the build machine: writes the sparse package's AppxManifest.xml.
//   make_manifest <output file> <project version> [publisher] [main program]
#include <cstdio>
#include <fstream>

#include "shell/package_manifest.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_manifest <output> <version> [publisher] [main program]\n");
        return 2;
    }
    vexlo::PackageIdentity identity;
    identity.version = vexlo::PackageVersion(argv[2]);
    if (argc > 3 && argv[3][0]) identity.publisher = argv[3];
    if (argc > 4 && argv[4][0]) identity.executable = argv[4];
    std::ofstream out(argv[1], std::ios::binary);
    out << vexlo::PackageManifest(identity);
    return out.good() ? 0 : 1;
}
