#include "runcsv.h"

#include <nlohmann/json.hpp>

namespace lodrix {

namespace {

// The shortest decimal form that reads back as the same double, with '.'
// whatever the locale: JSON's number form.
void append(std::string &out, double v)
{
    if (v == 0.0)
        v = 0.0; // no "-0" in a spreadsheet
    out += nlohmann::json(v).dump();
}

void append(std::string &out, int v)
{
    out += std::to_string(v);
}

} // namespace

std::string runCsv(std::span<const RunRow> rows)
{
    std::string out = runCsvHeader;
    out += '\n';
    for (const RunRow &r : rows) {
        const ModelState &m = r.values;
        append(out, r.tick);
        for (const int v : {r.periode, m.E, m.X, m.Ep, m.Epu}) {
            out += ',';
            append(out, v);
        }
        for (const double v : {m.U1, m.U, m.Omega1, m.theta, m.thetaAff, m.V}) {
            out += ',';
            append(out, v);
        }
        out += ',';
        append(out, m.D);
        out += '\n';
    }
    return out;
}

} // namespace lodrix
