#pragma once
// An RTF reader of our own: Qt reads no RTF. It turns the bytes of an RTF
// file into a QTextDocument with the text, character and paragraph formats,
// tables and list labels, decoding \'hh bytes with the document's or the
// font's code page and \uN characters. Any input is read in linear time and
// bounded memory; damaged files give whatever text they still hold.

#include <QByteArrayView>
#include <QString>

class QTextDocument;

namespace lodrix {

// Replaces the content of doc. Returns false, with a reason in *error (a
// French sentence, as the window shows it), when the data does not start
// like an RTF file or is too large to show whole; doc then holds all the text
// that could be read, or its first part.
bool readRtf(QByteArrayView data, QTextDocument &doc, QString *error = nullptr);

// The text readRtf finds, one line per paragraph or table cell.
QString rtfPlainText(QByteArrayView data);

} // namespace lodrix
