// Lodrix: a teaching animation of a digitally controlled position servo.

#include "tvitesse.h"

#include "render/qt/colors.h"
#include "render/qt/fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

namespace {

constexpr int lessonCount = 5;

struct Options {
    int lesson = -1; // -1: none, the menu waits for a choice
};

// The command line, read before any window exists so that --help and
// --version work without a display. A bad value says what is wrong and the
// program stops with status 2.
std::optional<Options> parse(const QStringList &arguments, int &status)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Animation pédagogique : asservissement de position à correction numérique."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption lesson(
        QStringLiteral("lesson"),
        QStringLiteral("Choisit la leçon N du menu (0 à %1) et la démarre, en continu.").arg(lessonCount - 1),
        QStringLiteral("N"));
    parser.addOption(lesson);

    status = EXIT_SUCCESS;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "lodrix: %s\n", qPrintable(parser.errorText()));
        status = 2;
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                        QStringLiteral("lodrix"))),
                   stdout);
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("Lodrix %s\n", LODRIX_VERSION);
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "lodrix: unexpected argument '%s' (see lodrix --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        status = 2;
        return std::nullopt;
    }
    Options options;
    if (parser.isSet(lesson)) {
        bool ok = false;
        const int n = parser.value(lesson).toInt(&ok);
        if (!ok || n < 0 || n >= lessonCount) {
            std::fprintf(stderr, "lodrix: --lesson takes a lesson number from 0 to %d, not '%s'\n",
                         lessonCount - 1, qPrintable(parser.value(lesson)));
            status = 2;
            return std::nullopt;
        }
        options.lesson = n;
    }
    return options;
}

QStringList argumentList(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// As a person would: the entry, "En continu" on a closed-loop entry, then
// "Démarrer Animation".
void startLesson(lodrix::Tvitesse &w, int lesson)
{
    w.clickListItem(w.ListBox1, lesson);
    if (!w.ListBox2->isHidden())
        w.clickListItem(w.ListBox2, 0);
    w.Button1->click();
}

} // namespace

int main(int argc, char *argv[])
{
    int status = EXIT_SUCCESS;
    const std::optional<Options> options = parse(argumentList(argc, argv), status);
    if (!options)
        return status;

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
        if (options->lesson >= 0)
            startLesson(vitesse, options->lesson);
        return app.exec();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Lodrix"), QString::fromUtf8(e.what()));
        return EXIT_FAILURE;
    }
}
