#include "Logger.h"
#include "ScopeGuard.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

TEST(ScopeGuard, RunsExitActionOnNormalExit) {
    int exits = 0;
    {
        ScopeGuard guard([&] { ++exits; });
        EXPECT_EQ(exits, 0);
    }
    EXPECT_EQ(exits, 1);
}

TEST(ScopeGuard, EmptyExitActionDoesNothing) {
    { ScopeGuard guard(std::function<void()>{}); }
    SUCCEED();
}

TEST(ScopeGuard, EnterThenExitAroundAnException) {
    int enters = 0;
    int exits = 0;
    EXPECT_THROW(
        {
            ScopeGuard guard([&] { ++enters; }, [&] { ++exits; });
            EXPECT_EQ(enters, 1);
            EXPECT_EQ(exits, 0);
            throw std::runtime_error("leave");
        },
        std::runtime_error);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
}

TEST(ScopeGuard, ThrowingEnterActionRunsNoExitAction) {
    int exits = 0;
    EXPECT_THROW(ScopeGuard guard([] { throw std::logic_error("enter"); }, [&] { ++exits; }),
                 std::logic_error);
    EXPECT_EQ(exits, 0);
}

namespace {
// Counts destructions of the sets' contents through a custom logger's destructor.
struct CountingLogger : KorvaneUtil::Logger {
    explicit CountingLogger(int& destroyed) : Logger({1, 2}, {L"a"}), destroyed(destroyed) {}
    ~CountingLogger() override { ++destroyed; }
    void logError(const std::wstring&) override {}
    void logWarning(const std::wstring&) override {}
    void logInfo(const std::wstring&) override {}
    void logDebug(const std::wstring&) override {}
    void logValue(const std::wstring&, std::uint32_t) override {}
    void flush() override {}
    int& destroyed;
};
} // namespace

TEST(Logger, NullLoggerDoesNothing) {
    std::unique_ptr<KorvaneUtil::Logger> logger = std::make_unique<KorvaneUtil::NullLogger>();
    EXPECT_TRUE(logger->valueSet.empty());
    EXPECT_TRUE(logger->stringSet.empty());
    logger->logError(L"e");
    logger->logWarning(L"w");
    logger->logInfo(L"i");
    logger->logDebug(L"d");
    logger->logValue(L"v", 7);
    logger->flush();
    EXPECT_TRUE(logger->valueSet.empty());
    EXPECT_TRUE(logger->stringSet.empty());
}

TEST(Logger, ConstructorTakesTheSetsAndVirtualDestructorRuns) {
    int destroyed = 0;
    {
        std::unique_ptr<KorvaneUtil::Logger> logger = std::make_unique<CountingLogger>(destroyed);
        EXPECT_EQ(logger->valueSet, (std::set<std::uint32_t>{1, 2}));
        EXPECT_EQ(logger->stringSet, (std::set<std::wstring>{L"a"}));
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(Logger, DefaultLoggerExistsFromLoad) {
    ASSERT_NE(g_logger, nullptr);
    EXPECT_NE(dynamic_cast<KorvaneUtil::NullLogger*>(g_logger.get()), nullptr);
}
