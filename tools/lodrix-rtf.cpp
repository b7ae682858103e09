// Shows what our RTF reader makes of a file: its text, one line per paragraph
// or table cell, or the whole document as Qt's HTML.
//
//   lodrix-rtf FILE [--html]

#include "app/rtf/rtfreader.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: lodrix-rtf FILE [--html]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // Fonts need a GUI application; a tool for the terminal must not need a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments().mid(1);
    const bool html = args.contains(QStringLiteral("--html"));
    QStringList files = args;
    files.removeAll(QStringLiteral("--html"));
    if (files.size() != 1 || files.first().startsWith(u'-'))
        return usage();

    QFile file(files.first());
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "lodrix-rtf: %s: %s\n", qPrintable(file.fileName()),
                     qPrintable(file.errorString()));
        return 1;
    }

    QTextDocument doc;
    QString error;
    if (!lodrix::readRtf(data, doc, &error))
        std::fprintf(stderr, "lodrix-rtf: %s: %s\n", qPrintable(file.fileName()), qPrintable(error));
    const QByteArray out = (html ? doc.toHtml() : doc.toPlainText()).toUtf8();
    std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
    if (!out.endsWith('\n'))
        std::fputc('\n', stdout);
    return 0;
}
