// tvlsummary: prints a short summary of written exchange files (name, version, source and the
// counts of nodes, components, parts, bodies, surfaces, points and triangles).
#include "TvlReader.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: tvlsummary <file.tvl> ...\n";
        return 1;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            TvlTest::summary(TvlTest::readFile(argv[i]), std::cout);
        } catch (const std::exception& e) {
            std::cerr << "tvlsummary: " << argv[i] << ": " << e.what() << '\n';
            status = 2;
        }
    }
    return status;
}
