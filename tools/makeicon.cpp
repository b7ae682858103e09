// lodrix-makeicon OUTDIR: writes the application icon as PNG files of the
// sizes the desktop's icon theme wants, from the same drawing as the window's.

#include "app/appicon.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: lodrix-makeicon OUTDIR\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (const int size : {32, 64, 128}) {
        const QString file =
            QStringLiteral("%1/lodrix-%2.png").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!lodrix::drawAppIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "lodrix-makeicon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
