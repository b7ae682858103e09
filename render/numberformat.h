#pragma once
// Numbers as the lessons write them: integers in plain decimal, doubles in
// the "general" format (shortest form, at most 15 significant digits, no
// trailing zeros, the locale's decimal separator).

#include <cstdint>
#include <string>

namespace lodrix {

class NumberFormat {
public:
    explicit NumberFormat(std::string decimalSeparator = ".") : separator_(std::move(decimalSeparator)) {}

    const std::string &decimalSeparator() const { return separator_; }

    // A negative zero is written "0": a value row never shows "-0".
    std::string general(double value) const;
    static std::string integer(std::int32_t value) { return std::to_string(value); }

private:
    std::string separator_;
};

} // namespace lodrix
