// Lodrix: a teaching animation of a digitally controlled position servo.

#include "tvitesse.h"

#include "render/qt/colors.h"
#include "render/qt/fonts.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char *argv[])
{
    // Without a display Qt would abort with a terse message: say what to do.
    const bool platformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    if (!platformChosen && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        std::fputs("lodrix: no display found. Run it from a desktop session, or without a screen under a\n"
                   "virtual one: xvfb-run -a lodrix\n",
                   stderr);
        return EXIT_FAILURE;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lodrix"));
    QApplication::setApplicationVersion(QStringLiteral(LODRIX_VERSION));
    QApplication::setPalette(lodrix::lodrixPalette());

    try {
        lodrix::Tvitesse vitesse(lodrix::NumberFormat(QLocale::system().decimalPoint().toStdString()));
        vitesse.showMaximized();
        // Without a window manager (a bare X server) nobody maximises the
        // window: fill the screen ourselves.
        QTimer::singleShot(0, &vitesse, [&vitesse] {
            const QRect screen = vitesse.screen()->availableGeometry();
            if (vitesse.frameGeometry().width() < screen.width() / 2 + 1)
                vitesse.setGeometry(screen);
        });
        return app.exec();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Lodrix"), QString::fromUtf8(e.what()));
        return EXIT_FAILURE;
    }
}
