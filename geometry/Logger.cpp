#include "Logger.h"

#include <utility>

namespace KorvaneUtil {

Logger::Logger(std::set<std::uint32_t> values, std::set<std::wstring> strings)
    : valueSet(std::move(values)), stringSet(std::move(strings)) {}

// Members go in reverse order of declaration: stringSet first, then valueSet.
Logger::~Logger() = default;

NullLogger::NullLogger() : Logger({}, {}) {}

} // namespace KorvaneUtil

std::unique_ptr<KorvaneUtil::Logger> g_logger = std::make_unique<KorvaneUtil::NullLogger>();
