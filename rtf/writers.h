#pragma once
// The document written out plainly, with no toolkit: as text, one line a
// paragraph or table cell, and as HTML for the page's commentary box. The
// desktop's own writer, into a QTextDocument, is app/richtextwriter.h.
//
// The HTML escapes every character of the file's text and names only the
// formats it knows: no element, attribute or style comes from the file, and
// nothing refers to anything outside the page (a font's name keeps only its
// letters, digits, blanks, '-', '_' and '.').

#include "rtf/document.h"

#include <string>

namespace lodrix::rtf {

// UTF-8; a non-breaking space is a space, a line separator a line end.
std::string plainText(const Document &doc);

// One <div class="commentary"> holding the paragraphs and tables, UTF-8.
std::string html(const Document &doc);

} // namespace lodrix::rtf
