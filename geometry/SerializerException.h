// The exchange-file writer's failure: a value could not be put on the stream. Deliberately
// not a std::runtime_error, so the writer's cleanup handler for runtime errors leaves it alone.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace KorvaneUtil {

class SerializerException : public std::exception {
public:
    explicit SerializerException(std::string message) : message_(std::move(message)) {}
    ~SerializerException() override;

    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

} // namespace KorvaneUtil
