#include "runcsv.h"

#include <charconv>

namespace lodrix {

namespace {

void append(std::string &out, double v)
{
    if (v == 0.0)
        v = 0.0; // no "-0" in a spreadsheet
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    out.append(buf, end);
}

void append(std::string &out, int v)
{
    char buf[16];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    out.append(buf, end);
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
        out += '\n';
    }
    return out;
}

} // namespace lodrix
