// Lodrix: a teaching animation of a digitally controlled position servo.

#include "tvitesse.h"

#include "engine/link.h"
#include "settings/settings.h"

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"

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
#include <string>
#include <utility>
#include <vector>

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

// The command line's options, each with its help in the window's language.
struct CommandLine {
    explicit CommandLine(const lodrix::Language &language);

    QCommandLineParser parser;
    const QCommandLineOption help;
    const QCommandLineOption version;
    const QCommandLineOption lesson;
    const QCommandLineOption zoom;
    const QCommandLineOption fullScreen;
    const QCommandLineOption lang;
    const QCommandLineOption link;
    const QCommandLineOption pageUrl;
    // The fields of a link, as options of their own, each by its field's
    // name: the mode, the free-setting lesson's settings, the speed. Each
    // says otherwise than --link.
    std::vector<std::pair<std::string, QCommandLineOption>> fields;
};

CommandLine::CommandLine(const lodrix::Language &language)
    : help({QStringLiteral("h"), QStringLiteral("help")}, say(language, "Affiche cette aide.")),
      version({QStringLiteral("v"), QStringLiteral("version")},
              say(language, "Affiche le numéro de version.")),
      lesson(QStringLiteral("lesson"),
             say(language, "Choisit la leçon N du menu (0 à %1) et la démarre, en continu.")
                 .arg(lessonCount - 1),
             QStringLiteral("N")),
      zoom(QStringLiteral("zoom"), say(language, "Agrandit toute la fenêtre, de 100 à 300 %."),
           QStringLiteral("PERCENT")),
      fullScreen(QStringLiteral("fullscreen"),
                 say(language, "Plein écran, la forme agrandie à la taille de l'écran (F11).")),
      lang(QStringLiteral("lang"),
           say(language, "La langue de la fenêtre et des leçons : fr ou en (par défaut, celle du bureau)."),
           QStringLiteral("LANG")),
      link(QStringLiteral("link"),
           say(language, "Ouvre l'expérience d'un lien : « lodrix.html?lesson=2&mode=1 » (voir le README)."),
           QStringLiteral("LINK")),
      pageUrl(QStringLiteral("page-url"),
              say(language, "L'adresse de la page de la classe, que les liens copiés ouvrent (http, https ou "
                            "file ; par défaut LODRIX_PAGE_URL, sinon la page installée)."),
              QStringLiteral("URL"))
{
    parser.setApplicationDescription(
        say(language, "Animation pédagogique : asservissement de position à correction numérique."));
    for (const QCommandLineOption *option :
         {&help, &version, &lesson, &zoom, &fullScreen, &lang, &link, &pageUrl})
        parser.addOption(*option);
    auto field = [this](std::string_view name, const QString &text, const char *valueName) {
        const QString option = QString::fromLatin1(name.data(), qsizetype(name.size()));
        fields.emplace_back(std::string(name),
                            QCommandLineOption(option, text, QString::fromLatin1(valueName)));
        parser.addOption(fields.back().second);
    };
    field("mode", say(language, "Le mode : 0 en continu, 1 pas à pas."), "M");
    for (const lodrix::Setting &row : lodrix::settingRows())
        field(row.name, say(language, row.help), row.valueName);
    field("speed", say(language, "L'intervalle entre deux images, de 10 à 100 ms."), "MS");
}

// Why the command line is refused, without "lodrix: ".
using Refusal = std::optional<std::string>;

Refusal refusal(const char *what, const QString &value)
{
    return std::string(what) + ", not '" + value.toStdString() + "'";
}

// --link, then the fields given by themselves, which say otherwise.
Refusal readLink(const CommandLine &line, const lodrix::Language &language, Options &options)
{
    if (line.parser.isSet(line.link)) {
        const lodrix::LinkReading reading =
            lodrix::readLink(line.parser.value(line.link).toStdString(), language);
        if (reading.error)
            return "--link: " + *reading.error;
        options.link = reading.link;
    }
    for (const auto &[name, option] : line.fields) {
        if (!line.parser.isSet(option))
            continue;
        const QString value = line.parser.value(option);
        if (const auto why = lodrix::readLinkField(name, value.toStdString(), options.link, language))
            return "--" + name + " '" + value.toStdString() + "': " + *why;
    }
    return std::nullopt;
}

// --lesson chooses the lesson and starts it, continuously unless --mode or
// the link says otherwise.
Refusal readLesson(const CommandLine &line, Options &options)
{
    if (!line.parser.isSet(line.lesson))
        return std::nullopt;
    const auto n = number(line.parser.value(line.lesson), 0, lessonCount - 1);
    if (!n)
        return refusal("--lesson takes a lesson number from 0 to 5", line.parser.value(line.lesson));
    options.link.lesson = *n;
    options.link.start = true;
    if (*n >= 2 && !options.link.mode)
        options.link.mode = 0;
    return std::nullopt;
}

Refusal readZoom(const CommandLine &line, Options &options)
{
    if (!line.parser.isSet(line.zoom))
        return std::nullopt;
    const auto n = number(line.parser.value(line.zoom), 100, 300);
    if (!n)
        return refusal("--zoom takes a percentage from 100 to 300", line.parser.value(line.zoom));
    options.zoom = *n;
    return std::nullopt;
}

// The options' values, each checked: a bad one names itself and nothing starts.
Refusal readValues(const CommandLine &line, const lodrix::Language &language, Options &options)
{
    options.language = language;
    if (line.parser.isSet(line.lang) && !lodrix::Language::named(line.parser.value(line.lang).toStdString()))
        return refusal("--lang takes fr or en", line.parser.value(line.lang));
    if (auto why = readLink(line, language, options))
        return why;
    if (auto why = readLesson(line, options))
        return why;
    // --lang says otherwise than the link; without it, the link's language
    // is the window's.
    if (line.parser.isSet(line.lang))
        options.link.language = language;
    else if (options.link.language)
        options.language = *options.link.language;
    if (auto why = readZoom(line, options))
        return why;
    options.fullScreen = line.parser.isSet(line.fullScreen);
    QString why;
    const auto page = lodrix::choosePage(
        line.parser.isSet(line.pageUrl) ? std::optional(line.parser.value(line.pageUrl)) : std::nullopt,
        language, &why);
    if (!page)
        return why.toStdString();
    options.page = *page;
    return std::nullopt;
}

// The command line, read before any window exists so that --help and
// --version work without a display. A bad value says what is wrong and the
// program stops with status 2.
std::optional<Options> parse(const QStringList &arguments, const lodrix::Language &language, int &status)
{
    CommandLine line(language);
    status = EXIT_SUCCESS;
    Refusal why;
    if (!line.parser.parse(arguments)) {
        why = line.parser.errorText().toStdString();
    } else if (line.parser.isSet(line.help)) {
        std::fputs(qPrintable(line.parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                             QStringLiteral("lodrix"))),
                   stdout);
        return std::nullopt;
    } else if (line.parser.isSet(line.version)) {
        std::printf("Lodrix %s\n", LODRIX_VERSION);
        return std::nullopt;
    } else if (!line.parser.positionalArguments().isEmpty()) {
        why = "unexpected argument '" + line.parser.positionalArguments().first().toStdString() +
              "' (see lodrix --help)";
    }
    Options options;
    if (!why)
        why = readValues(line, language, options);
    if (!why)
        return options;
    std::fprintf(stderr, "lodrix: %s\n", why->c_str());
    status = 2;
    return std::nullopt;
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
