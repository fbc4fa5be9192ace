// tvlsummary: prints a short summary of written exchange files (the path read, then name,
// version, source and the counts of nodes, components, parts, bodies, surfaces, points and
// triangles).
#include "ProgramArguments.h"
#include "ProgramOutput.h"
#include "TvlReader.h"
#include "Utf8Path.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>
#include <new>

namespace {

constexpr int kBadArguments = 1;
constexpr int kUnreadable = 2;
constexpr int kOutputFailed = 3;

int run(const std::vector<std::string>& arguments) {
    CLI::App app("tvlsummary: reads exchange files (.tvl) and prints, for each, three lines:\n"
                 "  <path>:\n"
                 "  <name> (version <version>, source <source system>)\n"
                 "  nodes N, components N, parts N, bodies N, surfaces N, points N, triangles N\n"
                 "the path as given, the name recorded in the file, the version and source "
                 "system it names,\nthe assembly tree's nodes and placed components, the "
                 "distinct parts, and over all parts\ntheir bodies, surfaces, and the points and "
                 "triangles of their meshes.\n",
                 "tvlsummary");
    app.allow_windows_style_options(false);
    std::vector<std::string> files;
    app.add_option("file", files, "exchange files to summarize")->type_name("FILE.tvl");
    app.footer("Exit status: 0 when every file was read, 1 for a bad command line, 2 when a file "
               "cannot be\nread (named on standard error with the reason; the others are still "
               "summarized), 3 when\nthe output cannot be written (standard output or standard "
               "error).");
    const char* usage = "usage: tvlsummary FILE.tvl ... (tvlsummary --help tells more)\n";
    // CLI11 takes the arguments last first, without the program name.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    if (!reversed.empty()) {
        reversed.pop_back();
    }
    try {
        app.parse(reversed);
        if (files.empty()) {
            throw CLI::ParseError("no exchange file named", CLI::ExitCodes::RequiredError);
        }
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << "tvlsummary: " << e.what() << '\n' << usage;
        return kBadArguments;
    }
    int status = 0;
    for (const std::string& file : files) {
        try {
            const TvlRead::File content = TvlRead::readFile(ProgramText::pathFromUtf8(file));
            std::cout << file << ":\n";
            TvlRead::summary(content, std::cout);
        } catch (const TvlRead::ReadError& e) {
            std::cerr << "tvlsummary: " << file << ": cannot read the file: " << e.what() << '\n';
            status = kUnreadable;
        } catch (const TvlRead::FormatError& e) {
            std::cerr << "tvlsummary: " << file << ": no valid exchange file: " << e.what() << '\n';
            status = kUnreadable;
        } catch (const std::bad_alloc&) {
            std::cerr << "tvlsummary: " << file << ": not enough memory to read it\n";
            status = kUnreadable;
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    ProgramText::StandardStreams streams;
    int status = kUnreadable;
    try {
        status = run(ProgramText::utf8Arguments(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "tvlsummary: unexpected error: " << e.what() << '\n';
    }
    return streams.finish("tvlsummary", status, kOutputFailed);
}
