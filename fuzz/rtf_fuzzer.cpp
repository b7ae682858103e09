// libFuzzer target: the core's RTF reader, its two plain writers (text and
// the page's HTML), and the desktop's writer into a QTextDocument with what
// Qt then does with it (plain text, HTML, layout in the width of the
// commentary box).

#include "app/richtextwriter.h"
#include "rtf/reader.h"
#include "rtf/writers.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    lodrix::rtf::Document document;
    lodrix::readRtf(std::string_view(reinterpret_cast<const char *>(data), size), document);
    (void)lodrix::rtf::plainText(document);
    (void)lodrix::rtf::html(document);
    QTextDocument doc;
    lodrix::writeDocument(document, doc);
    (void)doc.toPlainText();
    (void)doc.toHtml();
    doc.setTextWidth(361);
    (void)doc.size();
    return 0;
}
