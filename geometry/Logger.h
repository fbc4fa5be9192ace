// The process-wide default logger. Nothing in the system logs to it; it exists from library
// load to unload so that a logging back end can be plugged in without touching the callers.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace KorvaneUtil {

class Logger {
public:
    std::set<std::uint32_t> valueSet;
    std::set<std::wstring> stringSet;

    Logger(std::set<std::uint32_t> values, std::set<std::wstring> strings);
    virtual ~Logger();

    virtual void logError(const std::wstring& text) = 0;
    virtual void logWarning(const std::wstring& text) = 0;
    virtual void logInfo(const std::wstring& text) = 0;
    virtual void logDebug(const std::wstring& text) = 0;
    virtual void logValue(const std::wstring& name, std::uint32_t value) = 0;
    virtual void flush() = 0;
};

class NullLogger : public Logger {
public:
    NullLogger();

    void logError(const std::wstring&) override {}
    void logWarning(const std::wstring&) override {}
    void logInfo(const std::wstring&) override {}
    void logDebug(const std::wstring&) override {}
    void logValue(const std::wstring&, std::uint32_t) override {}
    void flush() override {}
};

} // namespace KorvaneUtil

// Created while the library loads, deleted while it unloads.
extern std::unique_ptr<KorvaneUtil::Logger> g_logger;
