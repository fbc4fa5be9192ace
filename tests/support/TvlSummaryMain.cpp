// tvlsummary: prints a short summary of written exchange files (name, version, source and the
// counts of nodes, components, parts, bodies, surfaces, points and triangles).
#include "TvlReader.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
    CLI::App app("tvlsummary: reads exchange files (.tvl) and prints, for each, two lines:\n"
                 "  <name> (version <version>, source <source system>)\n"
                 "  nodes N, components N, parts N, bodies N, surfaces N, points N, triangles N\n"
                 "the name recorded in the file, the version and source system it names, the "
                 "assembly tree's\nnodes and placed components, the distinct parts, and over "
                 "all parts their bodies,\nsurfaces, and the points and triangles of their "
                 "meshes.\n",
                 "tvlsummary");
    app.allow_windows_style_options(false);
    std::vector<std::string> files;
    app.add_option("file", files, "exchange files to summarize")->type_name("FILE.tvl");
    app.footer("Exit status: 0 when every file was read, 1 for a bad command line, 2 when a file "
               "cannot be\nread (named on standard error; the others are still summarized).");
    const char* usage = "usage: tvlsummary FILE.tvl ... (tvlsummary --help tells more)\n";
    try {
        app.parse(argc, argv);
        if (files.empty()) {
            throw CLI::ParseError("no exchange file named", CLI::ExitCodes::RequiredError);
        }
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << "tvlsummary: " << e.what() << '\n' << usage;
        return 1;
    }
    int status = 0;
    for (const std::string& file : files) {
        try {
            TvlTest::summary(TvlTest::readFile(file), std::cout);
        } catch (const std::exception& e) {
            std::cerr << "tvlsummary: " << file << ": " << e.what() << '\n';
            status = 2;
        }
    }
    return status;
}
