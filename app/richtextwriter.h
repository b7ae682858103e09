#pragma once
// The desktop's writer over the core's RTF reader (rtf/reader.h): the
// document it reads, written into a QTextDocument for the commentary box,
// with Qt's character, block and table formats.

#include "rtf/document.h"

#include <QByteArrayView>
#include <QString>

class QTextDocument;

namespace lodrix {

// Replaces the content of doc with the document. Tables are made once with
// their final size, then filled: Qt rebuilds a table's whole cell grid each
// time a row is added.
void writeDocument(const rtf::Document &document, QTextDocument &doc);

// Reads data and writes it into doc. Returns false, with a reason in *error
// (a French sentence, as the window shows it), when the data does not start
// like an RTF file or is too large to show whole; doc then holds all the text
// that could be read, or its first part.
bool readRtf(QByteArrayView data, QTextDocument &doc, QString *error = nullptr);

// The text readRtf finds, one line per paragraph or table cell.
QString rtfPlainText(QByteArrayView data);

} // namespace lodrix
