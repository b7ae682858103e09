#pragma once
// An RTF reader of our own, free of any toolkit, for the commentaries: the
// bytes of an RTF file become a document (rtf/document.h) with the text,
// character and paragraph formats, tables and list labels, decoding \'hh
// bytes with the document's or the font's code page and \uN characters. Any
// input is read in linear time and bounded memory; damaged files give
// whatever text they still hold. The editions write the document out their
// way: the desktop into a QTextDocument (app/richtextwriter.h), the page as HTML
// (rtf/writers.h).

#include "rtf/document.h"

#include <string_view>

namespace lodrix {

enum class ReadProblem { None, Empty, NotRtf, TooLarge };

// Replaces doc with what data holds. Anything but None: the data does not
// start like an RTF file, or is too large to show whole; doc then holds all
// the text that could be read, or its first part.
ReadProblem readRtf(std::string_view data, rtf::Document &doc);

// The problem as a French sentence, as the window shows it; empty for None.
const char *problemText(ReadProblem problem);

} // namespace lodrix
