// libFuzzer target: the RTF reader and what Qt then does with its document
// (plain text, HTML, layout in the width of the commentary box).

#include "app/rtf/rtfreader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QTextDocument doc;
    QString error;
    lodrix::readRtf(QByteArrayView(data, qsizetype(size)), doc, &error);
    (void)doc.toPlainText();
    (void)doc.toHtml();
    doc.setTextWidth(361);
    (void)doc.size();
    return 0;
}
