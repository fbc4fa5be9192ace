#include "CommandLine.h"
#include "PrintedValue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using Platform::programCandidates;
using Platform::splitCommandLine;

namespace {

struct SplitCase {
    const char* name;
    const wchar_t* line;
    std::vector<std::wstring> args;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name << ": " << PrintedValue::text(c.line) << " -> " << PrintedValue::texts(c.args);
}

class SplitCommandLine : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, FollowsTheWindowsRuntimeRules) {
    EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLine,
    testing::Values(
        // The command line of the export run.
        SplitCase{"ExportRunLine",
                  LR"("C:\Program Files\Tarvelo\Tarvelo.exe" "C:\work\a b.tvl" -d)",
                  {LR"(C:\Program Files\Tarvelo\Tarvelo.exe)", LR"(C:\work\a b.tvl)", L"-d"}},
        SplitCase{"DoubledBackslashInTheProgram",
                  LR"("C:\Tarvelo\\Tarvelo.exe" "C:\w\x.tvl")",
                  {LR"(C:\Tarvelo\\Tarvelo.exe)", LR"(C:\w\x.tvl)"}},
        SplitCase{"PlainWords", L"prog a b", {L"prog", L"a", L"b"}},
        SplitCase{"BlanksAndTabsSeparate", L"prog \t \"a b\"\t c ", {L"prog", L"a b", L"c"}},
        SplitCase{"EmptyLine", L"", {L""}}, SplitCase{"ProgramOnly", L"prog", {L"prog"}},
        SplitCase{"ProgramAndABlank", L"prog ", {L"prog"}},
        // Program name: quotes only group, backslashes are plain.
        SplitCase{"ProgramBackslashBeforeAQuote", LR"("C:\dir\" x)", {LR"(C:\dir\)", L"x"}},
        SplitCase{"ProgramQuotesOnlyGroup", LR"("a b"c\d e)", {LR"(a bc\d)", L"e"}},
        SplitCase{"ProgramQuotesInsideTheWord", LR"(a"b c"d e)", {L"ab cd", L"e"}},
        // Arguments: backslashes count only before a quote.
        SplitCase{"ArgumentBackslashesWithoutAQuote", LR"(prog a\\b)", {L"prog", LR"(a\\b)"}},
        SplitCase{"ArgumentEscapedQuote", LR"(prog a\"b)", {L"prog", L"a\"b"}},
        SplitCase{
            "ArgumentTwoBackslashesBeforeAQuote", LR"(prog a\\"b c")", {L"prog", LR"(a\b c)"}},
        SplitCase{"ArgumentThreeBackslashesBeforeAQuote", LR"(prog a\\\"b)", {L"prog", LR"(a\"b)"}},
        SplitCase{"QuotedFolderEndingInTwoBackslashes",
                  LR"(prog "C:\dir\\" x)",
                  {L"prog", LR"(C:\dir\)", L"x"}},
        SplitCase{"QuotedFolderEndingInAnEscapedQuote",
                  LR"(prog "C:\dir\" x)",
                  {L"prog", LR"(C:\dir" x)"}},
        SplitCase{"BackslashesAtTheEnd", LR"(prog \\\\)", {L"prog", LR"(\\\\)"}},
        // Quotes: empty arguments, doubled quotes, unclosed quotes, quotes inside a word.
        SplitCase{"EmptyArgument", L"prog \"\"", {L"prog", L""}},
        SplitCase{"TwoEmptyArguments", L"prog \"\" \"\"", {L"prog", L"", L""}},
        SplitCase{"DoubledQuoteInQuotes", L"prog \"a\"\"b\"", {L"prog", L"a\"b"}},
        SplitCase{"DoubledQuoteThenQuotedText", L"prog \"a\"\"\"b\" c\"", {L"prog", L"a\"b c"}},
        SplitCase{"EmptyQuotesInsideAWord", L"prog a\"\"b", {L"prog", L"ab"}},
        SplitCase{"UnclosedQuote", L"prog \"a b", {L"prog", L"a b"}},
        SplitCase{"QuotedPartsJoin", L"prog \"a\"b\"c d\"", {L"prog", L"abc d"}},
        SplitCase{"QuotedBlankInsideAWord", L"prog a\"b c\"d", {L"prog", L"ab cd"}},
        SplitCase{"OutsideAscii", L"prog \u00E9 \"\u00FC x\"", {L"prog", L"\u00E9", L"\u00FC x"}}),
    PrintedValue::caseName<SplitCase>);

struct CandidateCase {
    const char* name;
    const wchar_t* program;
    std::vector<std::wstring> paths;
};

void PrintTo(const CandidateCase& c, std::ostream* os) {
    *os << c.name << ": " << PrintedValue::text(c.program) << " -> "
        << PrintedValue::texts(c.paths);
}

class ProgramCandidates : public testing::TestWithParam<CandidateCase> {};

TEST_P(ProgramCandidates, MapWindowsPathsToLocalOnes) {
    EXPECT_EQ(programCandidates(GetParam().program), GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramCandidates,
    testing::Values(
        CandidateCase{"DriveAndBackslashes",
                      LR"(C:\dir\Tarvelo.exe)",
                      {L"/dir/Tarvelo.exe", L"/dir/Tarvelo"}},
        CandidateCase{"BackslashBeforeTheName",
                      LR"(/opt/tarvelo\Tarvelo.exe)",
                      {L"/opt/tarvelo/Tarvelo.exe", L"/opt/tarvelo/Tarvelo"}},
        CandidateCase{"SlashAndBackslashUpperCaseExe",
                      LR"(/opt/tarvelo/\Tarvelo.EXE)",
                      {L"/opt/tarvelo//Tarvelo.EXE", L"/opt/tarvelo//Tarvelo"}},
        CandidateCase{"WithoutExe", L"/usr/bin/tool", {L"/usr/bin/tool", L"/usr/bin/tool.exe"}},
        CandidateCase{"RelativeWithoutExe", LR"(bin\tool)", {L"bin/tool", L"bin/tool.exe"}},
        CandidateCase{"DriveRelative", L"d:x.exe", {L"x.exe", L"x"}},
        CandidateCase{"OnlyExe", L".exe", {L".exe", L".exe.exe"}},
        CandidateCase{"OnlyADrive", L"C:", {}}, CandidateCase{"Empty", L"", {}}),
    PrintedValue::caseName<CandidateCase>);

} // namespace
