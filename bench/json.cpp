#include "json.h"

#include <cmath>
#include <cstdio>

namespace lodrix::bench {

JsonObject &JsonObject::add(std::string_view key, std::optional<double> value)
{
    if (!value || !std::isfinite(*value)) {
        addRaw(key, "null");
        return *this;
    }
    char buf[32];
    // Whole numbers (counts) print as integers; measures keep 6 significant digits.
    if (*value == std::trunc(*value) && std::fabs(*value) < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", *value);
    else
        std::snprintf(buf, sizeof buf, "%.6g", *value);
    addRaw(key, buf);
    return *this;
}

JsonObject &JsonObject::add(std::string_view key, const JsonObject &value)
{
    addRaw(key, value.text());
    return *this;
}

void JsonObject::addRaw(std::string_view key, const std::string &value)
{
    if (!body_.empty())
        body_ += ", ";
    body_ += "\"";
    body_ += key;
    body_ += "\": ";
    body_ += value;
}

} // namespace lodrix::bench
