#include "numberformat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <string_view>

namespace lodrix {

namespace {

constexpr int significantDigits = 15;

// Strips trailing zeros of a fraction ("2.50" -> "2.5", "2.000" -> "2").
void trimFraction(std::string &mantissa)
{
    const auto dot = mantissa.find('.');
    if (dot == std::string::npos)
        return;
    auto end = mantissa.find_last_not_of('0');
    if (end == dot)
        --end;
    mantissa.erase(end + 1);
}

} // namespace

std::optional<double> NumberFormat::read(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    std::string number;
    std::size_t digits = 0;
    bool separator = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            number += c;
        } else if ((c == ',' || c == '.') && !separator) {
            separator = true;
            number += '.';
        } else if ((c == '-' || c == '+') && i == 0) {
            number += c;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    // Only digits, one point and a sign are left, read in the classic locale
    // whatever the process's (a French LC_NUMERIC would want a comma).
    std::istringstream in(number);
    in.imbue(std::locale::classic());
    double value = 0.0;
    in >> value;
    return value;
}

std::string NumberFormat::general(double value) const
{
    if (value == 0.0)
        return "0";
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";

    // Rounded to 15 significant digits first: the decimal exponent of the
    // rounded value decides between fixed and scientific notation.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.*e", significantDigits - 1, value);
    const std::string_view sci(buf);
    const auto ePos = sci.find('e');
    const int exponent = std::stoi(std::string(sci.substr(ePos + 1)));

    std::string out;
    if (exponent < -5 || exponent >= significantDigits) {
        std::string mantissa(sci.substr(0, ePos));
        trimFraction(mantissa);
        char expBuf[16];
        std::snprintf(expBuf, sizeof expBuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out = mantissa + expBuf;
    } else {
        std::snprintf(buf, sizeof buf, "%.*f", std::max(0, significantDigits - 1 - exponent), value);
        out = buf;
        trimFraction(out);
    }
    if (out == "-0")
        return "0";
    const auto dot = out.find('.');
    if (dot != std::string::npos)
        out.replace(dot, 1, separator_);
    return out;
}

} // namespace lodrix
