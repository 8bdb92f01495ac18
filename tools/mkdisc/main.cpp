// mkdisc: writes disc images (BIN/CUE; the test images also as cdrdao and NRG).
//   mkdisc demo OUTDIR          the bundled demo disc (synthesized music)
//   mkdisc test NAME|all OUTDIR a test image with its NAME.layout
#include <cstdio>
#include <filesystem>
#include <string>

#include "mkdisc.h"

namespace {
int usage() {
    std::fprintf(stderr, "usage: mkdisc demo OUTDIR\n       mkdisc test NAME|all OUTDIR\ntest images:");
    for (const std::string& n : mkdisc::testImageNames()) std::fprintf(stderr, " %s", n.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

bool makeDir(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) std::fprintf(stderr, "mkdisc: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return !ec;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "demo") {
        if (!makeDir(argv[2])) return 1;
        return mkdisc::writeDemoDisc(argv[2]) ? 0 : 1;
    }
    if (argc == 4 && std::string(argv[1]) == "test") {
        const std::string name = argv[2], dir = argv[3];
        if (!makeDir(dir)) return 1;
        if (name != "all") return mkdisc::writeTestImage(name, dir) ? 0 : 1;
        for (const std::string& n : mkdisc::testImageNames())
            if (!mkdisc::writeTestImage(n, dir)) return 1;
        return 0;
    }
    return usage();
}
