#pragma once
// Numbers as the lessons write them: integers in plain decimal, doubles in
// the "general" format (shortest form, at most 15 significant digits, no
// trailing zeros, the locale's decimal separator).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lodrix {

class NumberFormat {
public:
    explicit NumberFormat(std::string decimalSeparator = ".") : separator_(std::move(decimalSeparator)) {}

    const std::string &decimalSeparator() const { return separator_; }

    // A negative zero is written "0": a value row never shows "-0".
    std::string general(double value) const;
    static std::string integer(std::int32_t value) { return std::to_string(value); }

    // A number as a person types it into a field: digits with ',' or '.' as
    // the decimal separator, whichever the language, a sign and blanks
    // around; none when the text is no such number. A field shows what
    // general() writes, so it reads back what it shows.
    static std::optional<double> read(std::string_view text);

private:
    std::string separator_;
};

} // namespace lodrix
