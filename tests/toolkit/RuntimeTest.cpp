// The DLL-mode runtime: resolution and forwarding, runtime-local operations and the entries.
#include "ProToolkitRuntime.h"

#include <gtest/gtest.h>

#include <cstring>
#if defined(_WIN32)
#include <windows.h>
#endif
#include <map>
#include <string>
#include <vector>

namespace {

// A host of a few functions, for watching the runtime alone.
struct FakeHost {
    std::map<std::string, int> lookups;
    std::map<std::string, void*> functions;
    std::vector<std::wstring> directories;
    std::wstring storedResourcePath;
    ProErrors storeStatus = PRO_TK_NO_ERROR;
    int typeCalls = 0;
};
FakeHost* g_fake = nullptr;

void* fakeResolve(const char* name) {
    ++g_fake->lookups[name];
    auto it = g_fake->functions.find(name);
    return it == g_fake->functions.end() ? nullptr : it->second;
}

ProErrors fakeTypeGet(ProMdl model, ProMdlType* type) {
    ++g_fake->typeCalls;
    *type = model == nullptr ? 7 : 8;
    return -42;
}

ProErrors fakeDisplay(const wchar_t* directory, const wchar_t*, const char*, const char*,
                      const char*) {
    g_fake->directories.push_back(directory);
    return PRO_TK_NO_ERROR;
}

ProErrors fakeIconSet(const wchar_t* directory, uiCmdCmdId, const char*) {
    g_fake->directories.push_back(directory);
    return PRO_TK_NO_ERROR;
}

ProErrors fakeStore(const wchar_t* directory) {
    g_fake->storedResourcePath = directory;
    return g_fake->storeStatus;
}

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &fake;
        fake.functions["ProMdlTypeGet"] = reinterpret_cast<void*>(&fakeTypeGet);
        fake.functions["ProMessageDisplay"] = reinterpret_cast<void*>(&fakeDisplay);
        fake.functions["ProCmdIconSet"] = reinterpret_cast<void*>(&fakeIconSet);
        fake.functions["ProUIResourcepathStore"] = reinterpret_cast<void*>(&fakeStore);
    }
    void TearDown() override {
        ProToolkitRuntime::detach();
        g_fake = nullptr;
    }
    ProErrors attach(const wchar_t* root = L"C:\\apps\\tarvelo", int release = 30) {
        ProToolkitStartup s{};
        s.textRoot = root;
        s.releaseNumber = release;
        s.resolve = &fakeResolve;
        return ProToolkitRuntime::attach(s);
    }
    FakeHost fake;
};

TEST_F(RuntimeTest, ResolvesEachFunctionOnceAndForwardsArgumentsAndStatus) {
    ASSERT_EQ(attach(), PRO_TK_NO_ERROR);
    ProMdlType type = 0;
    EXPECT_EQ(ProMdlTypeGet(nullptr, &type), -42);
    EXPECT_EQ(type, 7);
    EXPECT_EQ(ProMdlTypeGet(reinterpret_cast<ProMdl>(&type), &type), -42);
    EXPECT_EQ(type, 8);
    EXPECT_EQ(fake.typeCalls, 2);
    EXPECT_EQ(fake.lookups["ProMdlTypeGet"], 1);
    EXPECT_EQ(fake.lookups["ProMdlCurrentGet"], 1);
    // Runtime-local operations are never looked up in the host.
    EXPECT_EQ(fake.lookups.count("ProWideToNarrow"), 0u);
    EXPECT_EQ(fake.lookups.count("ProParamvalueKindGet"), 0u);
}

TEST_F(RuntimeTest, AFunctionTheHostLacksAnswersCommErrorAndDoesNothing) {
    ASSERT_EQ(attach(), PRO_TK_NO_ERROR);
    ProMdl model = reinterpret_cast<ProMdl>(0x1234);
    EXPECT_EQ(ProMdlCurrentGet(&model), PRO_TK_COMM_ERROR);
    EXPECT_EQ(model, reinterpret_cast<ProMdl>(0x1234));
    ProArray array = reinterpret_cast<ProArray>(0x5678);
    EXPECT_EQ(ProArrayAlloc(1, 4, 1, &array), PRO_TK_COMM_ERROR);
    EXPECT_EQ(array, reinterpret_cast<ProArray>(0x5678));
    EXPECT_EQ(ProMessageClear(), PRO_TK_COMM_ERROR);
}

TEST_F(RuntimeTest, WithoutAHostEveryForwardedFunctionAnswersCommError) {
    ProMdlType type = 5;
    EXPECT_EQ(ProMdlTypeGet(nullptr, &type), PRO_TK_COMM_ERROR);
    EXPECT_EQ(type, 5);
    EXPECT_EQ(fake.typeCalls, 0);
}

TEST_F(RuntimeTest, AttachRefusesARecordWithoutResolverOrRoot) {
    ProToolkitStartup s{};
    s.textRoot = L"C:\\x";
    EXPECT_EQ(ProToolkitRuntime::attach(s), PRO_TK_BAD_INPUTS);
    s.resolve = &fakeResolve;
    s.textRoot = nullptr;
    EXPECT_EQ(ProToolkitRuntime::attach(s), PRO_TK_BAD_INPUTS);
    EXPECT_FALSE(ProToolkitRuntime::attached());
}

TEST_F(RuntimeTest, PassesTheTextDirectoryAndAfterInitTheResourceDirectory) {
    ASSERT_EQ(attach(), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProMessageDisplay(L"TarveloMessages.txt", "Key", nullptr, nullptr), 0);
    ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
    EXPECT_EQ(fake.storedResourcePath, L"C:\\apps\\tarvelo\\text\\resource");
    EXPECT_EQ(ProCmdIconSet(nullptr, "IconLarge.png"), 0);
    ASSERT_EQ(fake.directories.size(), 2u);
    EXPECT_EQ(fake.directories[0], L"C:\\apps\\tarvelo\\text");
    EXPECT_EQ(fake.directories[1], L"C:\\apps\\tarvelo\\text\\resource");
}

TEST_F(RuntimeTest, ResourcePathDoesNotDoubleATrailingSeparator) {
    ASSERT_EQ(attach(L"C:\\apps\\tarvelo\\"), PRO_TK_NO_ERROR);
    ASSERT_EQ(ProResourcePathInit(), PRO_TK_NO_ERROR);
    EXPECT_EQ(fake.storedResourcePath, L"C:\\apps\\tarvelo\\text\\resource");
}

TEST_F(RuntimeTest, ResourcePathInitReturnsTheStoreStatus) {
    fake.storeStatus = PRO_TK_GENERAL_ERROR;
    ASSERT_EQ(attach(), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProResourcePathInit(), PRO_TK_GENERAL_ERROR);
    EXPECT_TRUE(ProToolkitRuntime::resourceDirectory().empty());
    fake.functions.erase("ProUIResourcepathStore");
    ASSERT_EQ(attach(), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProResourcePathInit(), PRO_TK_COMM_ERROR);
}

TEST_F(RuntimeTest, ReleaseNumberBelow29IsAnErrorAndLeavesTheOutputAlone) {
    struct Case {
        int release;
        ProErrors status;
        int output;
    };
    for (Case c : {Case{20, PRO_TK_GENERAL_ERROR, -5}, Case{28, PRO_TK_GENERAL_ERROR, -5},
                   Case{29, PRO_TK_NO_ERROR, 29}, Case{31, PRO_TK_NO_ERROR, 31}}) {
        ASSERT_EQ(attach(L"C:\\x", c.release), PRO_TK_NO_ERROR);
        int release = -5;
        EXPECT_EQ(ProReleaseNumberGet(&release), c.status) << c.release;
        EXPECT_EQ(release, c.output) << c.release;
    }
    EXPECT_EQ(ProReleaseNumberGet(nullptr), PRO_TK_BAD_INPUTS);
}

// --- conversions -------------------------------------------------------------------------------

TEST(TextConversion, RoundTripsAscii) {
    char narrow[32];
    wchar_t wide[32];
    EXPECT_EQ(ProWideToNarrow(narrow, L"PART_1.prt", 32), narrow);
    EXPECT_STREQ(narrow, "PART_1.prt");
    EXPECT_EQ(ProNarrowToWide(wide, narrow, 32), wide);
    EXPECT_EQ(std::wstring(wide), L"PART_1.prt");
}

TEST(TextConversion, NullArgumentsOrNoRoomGiveNullAndWriteNothing) {
    char narrow[4] = {'x', 'x', 'x', 'x'};
    wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(ProWideToNarrow(nullptr, L"a", 4), nullptr);
    EXPECT_EQ(ProWideToNarrow(narrow, nullptr, 4), nullptr);
    EXPECT_EQ(ProWideToNarrow(narrow, L"a", 0), nullptr);
    EXPECT_EQ(ProNarrowToWide(nullptr, "a", 4), nullptr);
    EXPECT_EQ(ProNarrowToWide(wide, nullptr, 4), nullptr);
    EXPECT_EQ(ProNarrowToWide(wide, "a", 0), nullptr);
    EXPECT_EQ(narrow[0], 'x');
    EXPECT_EQ(wide[0], L'x');
}

TEST(TextConversion, AnOverlongTextIsCutWithinTheBuffer) {
    for (int size : {1, 2, 5, 8}) {
        char narrow[16];
        std::memset(narrow, '#', sizeof narrow);
        ASSERT_NE(ProWideToNarrow(narrow, L"ABCDEFGHIJ", size), nullptr);
        EXPECT_EQ(std::string(narrow), std::string("ABCDEFGHIJ").substr(0, size - 1));
        for (int i = size; i < 16; ++i) {
            EXPECT_EQ(narrow[i], '#') << "size " << size << " byte " << i;
        }
        wchar_t wide[16];
        std::fill(std::begin(wide), std::end(wide), L'#');
        ASSERT_NE(ProNarrowToWide(wide, "ABCDEFGHIJ", size), nullptr);
        EXPECT_EQ(std::wstring(wide), std::wstring(L"ABCDEFGHIJ").substr(0, size - 1));
        for (int i = size; i < 16; ++i) {
            EXPECT_EQ(wide[i], L'#') << "size " << size << " unit " << i;
        }
    }
}

#if !defined(_WIN32)
TEST(TextConversion, NarrowIsUtf8AndACutNeverSplitsACharacter) {
    char narrow[16];
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_EQ(ProWideToNarrow(narrow, L"a\u00e9\u20ac", 16), narrow);
    EXPECT_STREQ(narrow, "a\xc3\xa9\xe2\x82\xac");
    std::memset(narrow, '#', sizeof narrow);
    // Room for "a", the 2-byte e, not the euro.
    EXPECT_EQ(ProWideToNarrow(narrow, L"a\u00e9\u20ac", 5), narrow);
    EXPECT_STREQ(narrow, "a\xc3\xa9");
    EXPECT_EQ(narrow[5], '#');
    wchar_t wide[8];
    EXPECT_EQ(ProNarrowToWide(wide,
                              "a\xc3\xa9\xff"
                              "b",
                              8),
              wide);
    EXPECT_EQ(std::wstring(wide), L"a\u00e9\ufffdb");
}
#else
TEST(TextConversion, NarrowIsTheAnsiCodePage) {
    char narrow[8];
    ASSERT_EQ(ProWideToNarrow(narrow, L"\u00e9", 8), narrow);
    char expected[8] = {};
    WideCharToMultiByte(CP_ACP, 0, L"\u00e9", 1, expected, 7, nullptr, nullptr);
    EXPECT_STREQ(narrow, expected);
    wchar_t wide[8];
    ASSERT_EQ(ProNarrowToWide(wide, narrow, 8), wide);
    if (GetACP() == 1252 || GetACP() == 65001) {
        EXPECT_EQ(std::wstring(wide), L"\u00e9");
    }
}
#endif

// --- parameter values --------------------------------------------------------------------------

ProParamvalue valueOf(ProParamvalueType type) {
    ProParamvalue v{};
    v.type = type;
    return v;
}

TEST(Paramvalue, KindReportsTheTypeCode) {
    for (int code : {50, 51, 52, 53, 54, 57}) {
        ProParamvalue v = valueOf(code);
        ProParamvalueType type = 0;
        EXPECT_EQ(ProParamvalueKindGet(&v, &type), PRO_TK_NO_ERROR);
        EXPECT_EQ(type, code);
    }
    ProParamvalue v = valueOf(50);
    ProParamvalueType type = 0;
    EXPECT_EQ(ProParamvalueKindGet(nullptr, &type), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProParamvalueKindGet(&v, nullptr), PRO_TK_BAD_INPUTS);
}

TEST(Paramvalue, ContentOfEachType) {
    ProParamvalue d = valueOf(50);
    d.value.d_val = 2.5;
    double real = 0;
    EXPECT_EQ(ProParamvalueContentGet(&d, 50, &real), PRO_TK_NO_ERROR);
    EXPECT_EQ(real, 2.5);

    ProParamvalue s = valueOf(51);
    std::wcscpy(s.value.s_val, L"abc");
    ProLine text;
    EXPECT_EQ(ProParamvalueContentGet(&s, 51, text), PRO_TK_NO_ERROR);
    EXPECT_EQ(std::wstring(text), L"abc");

    ProParamvalue i = valueOf(52);
    i.value.i_val = -42;
    int integer = 0;
    EXPECT_EQ(ProParamvalueContentGet(&i, 52, &integer), PRO_TK_NO_ERROR);
    EXPECT_EQ(integer, -42);

    ProParamvalue b = valueOf(53);
    b.value.l_val = 1;
    short flag = 0;
    EXPECT_EQ(ProParamvalueContentGet(&b, 53, &flag), PRO_TK_NO_ERROR);
    EXPECT_EQ(flag, 1);

    ProParamvalue n = valueOf(54);
    n.value.note_id = 12;
    int note = 0;
    EXPECT_EQ(ProParamvalueContentGet(&n, 54, &note), PRO_TK_NO_ERROR);
    EXPECT_EQ(note, 12);
}

TEST(Paramvalue, ContentRefusesNullsAndOtherTypes) {
    ProParamvalue i = valueOf(52);
    i.value.i_val = 3;
    int out = 9;
    EXPECT_EQ(ProParamvalueContentGet(nullptr, 52, &out), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProParamvalueContentGet(&i, 52, nullptr), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProParamvalueContentGet(&i, 50, &out), PRO_TK_BAD_INPUTS);
    ProParamvalue odd = valueOf(57);
    EXPECT_EQ(ProParamvalueContentGet(&odd, 57, &out), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(out, 9);
}

TEST(Paramvalue, TextContentIsBoundedEvenWithoutTerminator) {
    ProParamvalue s = valueOf(51);
    std::fill(std::begin(s.value.s_val), std::end(s.value.s_val), L'x');
    wchar_t out[PRO_LINE_SIZE + 4];
    std::fill(std::begin(out), std::end(out), L'#');
    EXPECT_EQ(ProParamvalueContentGet(&s, 51, out), PRO_TK_NO_ERROR);
    EXPECT_EQ(std::wstring(out).size(), static_cast<std::size_t>(PRO_LINE_SIZE - 1));
    EXPECT_EQ(out[PRO_LINE_SIZE], L'#');
}

} // namespace

// --- entries -----------------------------------------------------------------------------------

namespace {
int g_initializeCalls = 0;
int g_terminateCalls = 0;
int g_initializeResult = 0;
std::string g_version;
} // namespace

int user_initialize(int, char*[], char* version, char*, wchar_t errorText[80]) {
    ++g_initializeCalls;
    g_version = version;
    errorText[79] = L'\0';
    return g_initializeResult;
}

void user_terminate() {
    ++g_terminateCalls;
}

namespace {

TEST_F(RuntimeTest, EntriesCallThePluginAndHandBackItsStatus) {
    g_initializeCalls = g_terminateCalls = 0;
    g_initializeResult = -17;
    ProToolkitStartup s{};
    s.textRoot = L"C:\\x";
    s.releaseNumber = 30;
    s.resolve = &fakeResolve;
    s.version = "30.0";
    EXPECT_EQ(user_initialize_plus(&s), -17);
    EXPECT_EQ(g_initializeCalls, 1);
    EXPECT_EQ(g_version, "30.0");
    user_terminate_plus();
    EXPECT_EQ(g_terminateCalls, 1);
    ProMdlType type = 3;
    EXPECT_EQ(ProMdlTypeGet(nullptr, &type), PRO_TK_COMM_ERROR);
}

TEST_F(RuntimeTest, ABadStartupRecordNeverReachesThePlugin) {
    g_initializeCalls = 0;
    EXPECT_EQ(user_initialize_plus(nullptr), PRO_TK_BAD_INPUTS);
    ProToolkitStartup s{};
    s.textRoot = L"C:\\x";
    EXPECT_EQ(user_initialize_plus(&s), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(g_initializeCalls, 0);
}

} // namespace
