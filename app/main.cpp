// Lodrix: a teaching animation of a digitally controlled position servo.

#include "tvitesse.h"

#include "engine/link.h"

#include "render/qt/colors.h"
#include "render/qt/fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

namespace {

constexpr int lessonCount = 6; // the menu's entries, the free-setting one last

struct Options {
    lodrix::Language language;
    lodrix::Link link;        // the lesson, its settings and whether it starts
    lodrix::PageAddress page; // the page the copied links open
    int zoom = 100;
    bool fullScreen = false;
};

// A whole number within [low, high], or nothing.
std::optional<int> number(const QString &text, int low, int high)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= low && n <= high ? std::optional(n) : std::nullopt;
}

// French on a French desktop, English on any other; --lang says otherwise
// ("--lang en", "--lang=en"). A code Lodrix does not speak is left to the
// parser, which refuses it.
lodrix::Language chosenLanguage(const QStringList &arguments)
{
    QString code = QLocale::system().name().startsWith(QLatin1String("fr")) ? QStringLiteral("fr")
                                                                            : QStringLiteral("en");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--lang") && i + 1 < arguments.size())
            code = arguments[i + 1];
        else if (arguments[i].startsWith(QLatin1String("--lang=")))
            code = arguments[i].mid(7);
    }
    return lodrix::Language::named(code.toStdString()).value_or(lodrix::Language());
}

QString say(const lodrix::Language &language, const char *french)
{
    const std::string_view text = language.tr(french);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Qt's own texts (dialog buttons, the parser's "Usage:") from Debian's
// qt6-translations-l10n; English needs none.
void translateQt(QTranslator &translator, const lodrix::Language &language)
{
    if (language.isSource() &&
        translator.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

// The command line, read before any window exists so that --help and
// --version work without a display. A bad value says what is wrong and the
// program stops with status 2.
std::optional<Options> parse(const QStringList &arguments, const lodrix::Language &language, int &status)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        say(language, "Animation pédagogique : asservissement de position à correction numérique."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  say(language, "Affiche cette aide."));
    parser.addOption(help);
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     say(language, "Affiche le numéro de version."));
    parser.addOption(version);
    const QCommandLineOption lesson(
        QStringLiteral("lesson"),
        say(language, "Choisit la leçon N du menu (0 à %1) et la démarre, en continu.").arg(lessonCount - 1),
        QStringLiteral("N"));
    parser.addOption(lesson);
    const QCommandLineOption zoom(QStringLiteral("zoom"),
                                  say(language, "Agrandit toute la fenêtre, de 100 à 300 %."),
                                  QStringLiteral("PERCENT"));
    parser.addOption(zoom);
    const QCommandLineOption fullScreen(
        QStringLiteral("fullscreen"),
        say(language, "Plein écran, la forme agrandie à la taille de l'écran (F11)."));
    parser.addOption(fullScreen);
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        say(language, "La langue de la fenêtre et des leçons : fr ou en (par défaut, celle du bureau)."),
        QStringLiteral("LANG"));
    parser.addOption(lang);
    const QCommandLineOption link(
        QStringLiteral("link"),
        say(language, "Ouvre l'expérience d'un lien : « lodrix.html?lesson=2&mode=1 » (voir le README)."),
        QStringLiteral("LINK"));
    parser.addOption(link);
    const QCommandLineOption pageUrl(
        QStringLiteral("page-url"),
        say(language,
            "L'adresse de la page de la classe, que les liens copiés ouvrent (http, https ou file ; "
            "par défaut LODRIX_PAGE_URL, sinon la page installée)."),
        QStringLiteral("URL"));
    parser.addOption(pageUrl);
    // The fields of a link, as options of their own; each says otherwise
    // than --link.
    const std::pair<const char *, QCommandLineOption> fields[] = {
        {"mode",
         {QStringLiteral("mode"), say(language, "Le mode : 0 en continu, 1 pas à pas."),
          QStringLiteral("M")}},
        {"corrector",
         {QStringLiteral("corrector"), say(language, "Le correcteur de la leçon 5 : P, PC ou DB."),
          QStringLiteral("C")}},
        {"gain",
         {QStringLiteral("gain"), say(language, "Le gain G de la leçon 5, de 0.1 à 100."),
          QStringLiteral("G")}},
        {"period",
         {QStringLiteral("period"),
          say(language, "La période T de la leçon 5, en secondes : 0.025, 0.05, 0.1 ou 0.2."),
          QStringLiteral("T")}},
        {"step",
         {QStringLiteral("step"), say(language, "L'échelon E de la leçon 5, de 1 à 2047 codes."),
          QStringLiteral("E")}},
        {"speed",
         {QStringLiteral("speed"), say(language, "L'intervalle entre deux images, de 10 à 100 ms."),
          QStringLiteral("MS")}},
    };
    for (const auto &[name, option] : fields)
        parser.addOption(option);

    status = EXIT_SUCCESS;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "lodrix: %s\n", qPrintable(parser.errorText()));
        status = 2;
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                        QStringLiteral("lodrix"))),
                   stdout);
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        std::printf("Lodrix %s\n", LODRIX_VERSION);
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "lodrix: unexpected argument '%s' (see lodrix --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        status = 2;
        return std::nullopt;
    }
    // Each value is checked: a bad one names itself and nothing starts.
    auto refuse = [&status](const char *what, const QString &value) {
        std::fprintf(stderr, "lodrix: %s, not '%s'\n", what, qPrintable(value));
        status = 2;
        return std::nullopt;
    };
    Options options;
    options.language = language;
    if (parser.isSet(lang) && !lodrix::Language::named(parser.value(lang).toStdString()))
        return refuse("--lang takes fr or en", parser.value(lang));
    if (parser.isSet(link)) {
        const lodrix::LinkReading reading = lodrix::readLink(parser.value(link).toStdString(), language);
        if (reading.error) {
            std::fprintf(stderr, "lodrix: --link: %s\n", reading.error->c_str());
            status = 2;
            return std::nullopt;
        }
        options.link = reading.link;
    }
    for (const auto &[name, option] : fields) {
        if (!parser.isSet(option))
            continue;
        const QString value = parser.value(option);
        if (const auto why = lodrix::readLinkField(name, value.toStdString(), options.link, language)) {
            std::fprintf(stderr, "lodrix: --%s '%s': %s\n", name, qPrintable(value), why->c_str());
            status = 2;
            return std::nullopt;
        }
    }
    if (parser.isSet(lesson)) {
        const auto n = number(parser.value(lesson), 0, lessonCount - 1);
        if (!n)
            return refuse("--lesson takes a lesson number from 0 to 5", parser.value(lesson));
        // Chosen and started, continuously unless --mode or the link says otherwise.
        options.link.lesson = *n;
        options.link.start = true;
        if (*n >= 2 && !options.link.mode)
            options.link.mode = 0;
    }
    // --lang says otherwise than the link; without it, the link's language
    // is the window's.
    if (parser.isSet(lang))
        options.link.language = language;
    else if (options.link.language)
        options.language = *options.link.language;
    if (parser.isSet(zoom)) {
        const auto n = number(parser.value(zoom), 100, 300);
        if (!n)
            return refuse("--zoom takes a percentage from 100 to 300", parser.value(zoom));
        options.zoom = *n;
    }
    options.fullScreen = parser.isSet(fullScreen);
    QString why;
    const auto page = lodrix::choosePage(
        parser.isSet(pageUrl) ? std::optional(parser.value(pageUrl)) : std::nullopt, language, &why);
    if (!page) {
        std::fprintf(stderr, "lodrix: %s\n", qPrintable(why));
        status = 2;
        return std::nullopt;
    }
    options.page = *page;
    return options;
}

QStringList argumentList(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    int status = EXIT_SUCCESS;
    std::optional<Options> options;
    {
        // Only for the parser's own texts: the window's application comes later.
        QCoreApplication core(argc, argv);
        const QStringList arguments = argumentList(argc, argv);
        const lodrix::Language language = chosenLanguage(arguments);
        QTranslator qt;
        translateQt(qt, language);
        options = parse(arguments, language, status);
    }
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
    QTranslator qt;
    translateQt(qt, options->language);
    // The settings' spin boxes write their numbers as the lessons do.
    const lodrix::Language &language = options->language;
    QLocale::setDefault(QLocale(language.isSource() ? QLocale::French : QLocale::English));

    try {
        lodrix::Tvitesse vitesse(lodrix::NumberFormat(std::string(language.decimalSeparator())), language);
        vitesse.setZoom(options->zoom);
        vitesse.showMaximized();
        // Without a window manager (a bare X server, a kiosk) nobody
        // maximises the window: fill the screen from its top-left corner.
        QTimer::singleShot(0, &vitesse, [&vitesse, fullScreen = options->fullScreen] {
            const QRect screen = vitesse.screen()->availableGeometry();
            if (!lodrix::coversScreen(vitesse.frameGeometry(), screen))
                vitesse.setGeometry(screen);
            if (fullScreen)
                vitesse.setFormFullScreen(true);
        });
        vitesse.setPage(options->page);
        vitesse.openLink(options->link);
        return app.exec();
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Lodrix"), QString::fromUtf8(e.what()));
        return EXIT_FAILURE;
    }
}
