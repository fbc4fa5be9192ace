#include "CommandLine.h"

#include <gtest/gtest.h>

#include <ostream>

using Platform::programCandidates;
using Platform::splitCommandLine;

namespace {

struct SplitCase {
    const wchar_t* line;
    std::vector<std::wstring> args;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    for (const wchar_t* p = c.line; *p != L'\0'; ++p) {
        *os << static_cast<char>(*p < 128 ? *p : '?');
    }
}

class SplitCommandLine : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, FollowsTheWindowsRuntimeRules) {
    EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLine,
    testing::Values(
        // The command line of the export run.
        SplitCase{LR"("C:\Program Files\Tarvelo\Tarvelo.exe" "C:\work\a b.tvl" -d)",
                  {LR"(C:\Program Files\Tarvelo\Tarvelo.exe)", LR"(C:\work\a b.tvl)", L"-d"}},
        SplitCase{LR"("C:\Tarvelo\\Tarvelo.exe" "C:\w\x.tvl")",
                  {LR"(C:\Tarvelo\\Tarvelo.exe)", LR"(C:\w\x.tvl)"}},
        SplitCase{L"prog a b", {L"prog", L"a", L"b"}},
        SplitCase{L"prog \t \"a b\"\t c ", {L"prog", L"a b", L"c"}}, SplitCase{L"", {L""}},
        SplitCase{L"prog", {L"prog"}}, SplitCase{L"prog ", {L"prog"}},
        // Program name: quotes only group, backslashes are plain.
        SplitCase{LR"("C:\dir\" x)", {LR"(C:\dir\)", L"x"}},
        SplitCase{LR"("a b"c\d e)", {LR"(a bc\d)", L"e"}},
        SplitCase{LR"(a"b c"d e)", {L"ab cd", L"e"}},
        // Arguments: backslashes count only before a quote.
        SplitCase{LR"(prog a\\b)", {L"prog", LR"(a\\b)"}},
        SplitCase{LR"(prog a\"b)", {L"prog", L"a\"b"}},
        SplitCase{LR"(prog a\\"b c")", {L"prog", LR"(a\b c)"}},
        SplitCase{LR"(prog a\\\"b)", {L"prog", LR"(a\"b)"}},
        SplitCase{LR"(prog "C:\dir\\" x)", {L"prog", LR"(C:\dir\)", L"x"}},
        SplitCase{LR"(prog "C:\dir\" x)", {L"prog", LR"(C:\dir" x)"}},
        SplitCase{LR"(prog \\\\)", {L"prog", LR"(\\\\)"}},
        // Quotes: empty arguments, doubled quotes, unclosed quotes, quotes inside a word.
        SplitCase{L"prog \"\"", {L"prog", L""}}, SplitCase{L"prog \"\" \"\"", {L"prog", L"", L""}},
        SplitCase{L"prog \"a\"\"b\"", {L"prog", L"a\"b"}},
        SplitCase{L"prog \"a\"\"\"b\" c\"", {L"prog", L"a\"b c"}},
        SplitCase{L"prog a\"\"b", {L"prog", L"ab"}}, SplitCase{L"prog \"a b", {L"prog", L"a b"}},
        SplitCase{L"prog \"a\"b\"c d\"", {L"prog", L"abc d"}},
        SplitCase{L"prog a\"b c\"d", {L"prog", L"ab cd"}},
        SplitCase{L"prog \u00E9 \"\u00FC x\"", {L"prog", L"\u00E9", L"\u00FC x"}}));

struct CandidateCase {
    const wchar_t* program;
    std::vector<std::wstring> paths;
};

class ProgramCandidates : public testing::TestWithParam<CandidateCase> {};

TEST_P(ProgramCandidates, MapWindowsPathsToLocalOnes) {
    EXPECT_EQ(programCandidates(GetParam().program), GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramCandidates,
    testing::Values(CandidateCase{LR"(C:\dir\Tarvelo.exe)", {L"/dir/Tarvelo.exe", L"/dir/Tarvelo"}},
                    CandidateCase{LR"(/opt/tarvelo\Tarvelo.exe)",
                                  {L"/opt/tarvelo/Tarvelo.exe", L"/opt/tarvelo/Tarvelo"}},
                    CandidateCase{LR"(/opt/tarvelo/\Tarvelo.EXE)",
                                  {L"/opt/tarvelo//Tarvelo.EXE", L"/opt/tarvelo//Tarvelo"}},
                    CandidateCase{L"/usr/bin/tool", {L"/usr/bin/tool", L"/usr/bin/tool.exe"}},
                    CandidateCase{LR"(bin\tool)", {L"bin/tool", L"bin/tool.exe"}},
                    CandidateCase{L"d:x.exe", {L"x.exe", L"x"}},
                    CandidateCase{L".exe", {L".exe", L".exe.exe"}}, CandidateCase{L"C:", {}},
                    CandidateCase{L"", {}}));

} // namespace
