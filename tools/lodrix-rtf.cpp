// Shows what our RTF reader makes of a file: its text, one line per paragraph
// or table cell, or the whole document as the HTML the page shows. No Qt:
// the browser build runs it on the build machine for the commentaries.
//
//   lodrix-rtf FILE [--html]

#include "rtf/reader.h"
#include "rtf/writers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fputs("usage: lodrix-rtf FILE [--html]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    bool html = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--html") == 0)
            html = true;
        else
            files.emplace_back(argv[i]);
    }
    if (files.size() != 1 || files.front().starts_with('-'))
        return usage();

    std::ifstream file(files.front(), std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad()) {
        std::fprintf(stderr, "lodrix-rtf: %s: %s\n", files.front().c_str(), std::strerror(errno));
        return 1;
    }

    lodrix::rtf::Document doc;
    const lodrix::ReadProblem problem = lodrix::readRtf(data, doc);
    if (problem != lodrix::ReadProblem::None)
        std::fprintf(stderr, "lodrix-rtf: %s: %s\n", files.front().c_str(), lodrix::problemText(problem));
    const std::string out = html ? lodrix::rtf::html(doc) : lodrix::rtf::plainText(doc);
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (out.empty() || out.back() != '\n')
        std::fputc('\n', stdout);
    return 0;
}
