#pragma once
// The one-line JSON object each mode ends with: numbers and nested objects,
// keys in the order they are added.

#include <optional>
#include <string>
#include <string_view>

namespace lodrix::bench {

class JsonObject {
public:
    // A value that was not measured is written as null.
    JsonObject &add(std::string_view key, std::optional<double> value);
    JsonObject &add(std::string_view key, const JsonObject &value);
    std::string text() const { return "{" + body_ + "}"; }

private:
    void addRaw(std::string_view key, const std::string &value);
    std::string body_;
};

} // namespace lodrix::bench
