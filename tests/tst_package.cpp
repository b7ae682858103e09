// What a teacher gets from the package: links that name the page they open
// (the one on this machine, or the class's, named by --page-url or
// LODRIX_PAGE_URL), bad page addresses refused, and a description that
// names as many lessons as the menu holds.

#include "app/tvitesse.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace lodrix;

namespace {

QString sourceFile(const char *path)
{
    QFile file(qEnvironmentVariable("LODRIX_SOURCE_DIR") + QLatin1Char('/') + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The count a text names in words ("in six lessons", "en six leçons"), or -1.
int namedCount(const QString &text, const QString &noun, const QStringList &words)
{
    const auto match =
        QRegularExpression(QStringLiteral("(\\w+)\\s+") + noun + QStringLiteral("\\b")).match(text);
    return match.hasMatch() ? int(words.indexOf(match.captured(1).toLower())) + 1 : -1;
}

const QStringList englishNumbers{"one", "two",   "three", "four", "five",
                                 "six", "seven", "eight", "nine", "ten"};
const QStringList frenchNumbers{"une", "deux", "trois", "quatre", "cinq",
                                "six", "sept", "huit",  "neuf",   "dix"};

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("LODRIX_PAGE_URL"); }

    // --page-url wins over LODRIX_PAGE_URL, which wins over the page on this
    // machine; an address that is not a whole http, https or file one is
    // refused, naming where it came from.
    void choosingThePage_data()
    {
        QTest::addColumn<QString>("option"); // "-": not given
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("url"); // "local": localPage()
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("refusal");
        const QString none = QStringLiteral("-");
        QTest::newRow("nothing named") << none << QString() << "local" << QString() << QString();
        QTest::newRow("https option")
            << "https://ecole.example/ts2/lodrix.html" << QString() << "https://ecole.example/ts2/lodrix.html"
            << "--page-url" << QString();
        QTest::newRow("the option wins") << "http://intranet/lodrix.html"
                                         << "https://other.example/l.html"
                                         << "http://intranet/lodrix.html"
                                         << "--page-url" << QString();
        QTest::newRow("environment") << none << "file:///srv/cours/lodrix.html"
                                     << "file:///srv/cours/lodrix.html"
                                     << "LODRIX_PAGE_URL" << QString();
        QTest::newRow("ftp refused")
            << "ftp://ecole.example/lodrix.html" << QString() << QString() << QString()
            << "--page-url : « ftp://ecole.example/lodrix.html » n'est pas l'adresse";
        QTest::newRow("relative refused") << none << "lodrix.html" << QString() << QString()
                                          << "LODRIX_PAGE_URL : « lodrix.html » n'est pas l'adresse";
        QTest::newRow("javascript refused") << "javascript:alert(1)" << QString() << QString() << QString()
                                            << "n'est pas l'adresse d'une page en http://";
        QTest::newRow("empty option refused")
            << QString() << QString() << QString() << QString() << "--page-url : «  » n'est pas";
        QTest::newRow("query refused") << "https://moodle.example/file.php?id=3" << QString() << QString()
                                       << QString() << "sans « ? » ni « # »";
        QTest::newRow("fragment refused")
            << none << "https://ecole.example/lodrix.html#top" << QString() << QString()
            << "LODRIX_PAGE_URL : « https://ecole.example/lodrix.html#top";
        QTest::newRow("no host refused") << "https:///lodrix.html" << QString() << QString() << QString()
                                         << "l'adresse entière de la page";
    }
    void choosingThePage()
    {
        QFETCH(QString, option);
        QFETCH(QString, environment);
        QFETCH(QString, url);
        QFETCH(QString, named);
        QFETCH(QString, refusal);
        if (!environment.isEmpty())
            qputenv("LODRIX_PAGE_URL", environment.toUtf8());
        QString why;
        const auto page =
            choosePage(option == QLatin1String("-") ? std::nullopt : std::optional(option), Language(), &why);
        if (!refusal.isEmpty()) {
            QVERIFY2(!page, qPrintable(page ? page->url.toString() : QString()));
            QVERIFY2(why.contains(refusal), qPrintable(why));
            return;
        }
        QVERIFY2(page, qPrintable(why));
        QCOMPARE(page->url, url == QLatin1String("local") ? localPage() : QUrl(url));
        QCOMPARE(page->named, named);
    }

    // The menu's action copies the whole address, the page's and the query of
    // what is shown, and its message says which page it opens.
    void copiedLink_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("says");
        QTest::newRow("the class's page")
            << "https://ecole.example/cours%20TS2/lodrix.html"
            << "--page-url"
            << "https://ecole.example/cours%20TS2/lodrix.html?lesson=2&mode=1&lang=en"
            << "Link copied, to the class's page (--page-url):\n";
        QTest::newRow("this computer's page")
            << "file:///usr/share/lodrix/lodrix.html" << QString()
            << "file:///usr/share/lodrix/lodrix.html?lesson=2&mode=1&lang=en"
            << "Link copied, to the page on this computer (for the class's page: lodrix --page-url "
               "ADDRESS):\n";
        QTest::newRow("no page") << QString() << QString() << "lodrix.html?lesson=2&mode=1&lang=en"
                                 << "Link copied, without an address: no page on this computer";
    }
    void copiedLink()
    {
        QFETCH(QString, page);
        QFETCH(QString, named);
        QFETCH(QString, copied);
        QFETCH(QString, says);
        Tvitesse w(NumberFormat("."), *Language::named("en"));
        w.Timer1->stop();
        w.setPage({QUrl(page), named});
        w.openLink(readLink("lesson=2&mode=1").link);
        QCOMPARE(w.link(), copied);
        const QString message = w.copyLink();
        QCOMPARE(QApplication::clipboard()->text(), copied);
        QVERIFY2(message.startsWith(says) && message.endsWith(QLatin1Char('\n') + copied),
                 qPrintable(message));
        // From the menu: the same, and the message shown for a few seconds.
        QApplication::clipboard()->clear();
        w.copyLinkAction->trigger();
        QCOMPARE(QApplication::clipboard()->text(), copied);
        QVERIFY(!w.notice->isHidden());
        QCOMPARE(w.notice->text(), message);
    }

    // The package's description and the AppStream file name as many lessons
    // as the menu holds, the laboratory, French and English.
    void descriptionsNameTheMenu()
    {
        Tvitesse w;
        w.Timer1->stop();
        const int lessons = w.ListBox1->count();
        const QString cmake = sourceFile("CMakeLists.txt");
        const auto package =
            QRegularExpression(QStringLiteral("set\\(CPACK_PACKAGE_DESCRIPTION \"([^\"]*)\"")).match(cmake);
        QVERIFY2(package.hasMatch(), "CPACK_PACKAGE_DESCRIPTION not found in CMakeLists.txt");
        const QString metainfo = sourceFile("app/desktop/org.lodrix.Lodrix.metainfo.xml");
        const QString english = metainfo.section(QStringLiteral("<p xml:lang=\"fr\">"), 0, 0);
        QVERIFY(!english.isEmpty());
        for (const QString &description : {package.captured(1), english}) {
            QCOMPARE(namedCount(description, QStringLiteral("lessons"), englishNumbers), lessons);
            for (const char *word : {"laboratory", "French", "English"})
                QVERIFY2(description.contains(QLatin1String(word)), word);
        }
        // The AppStream file lists each lesson, in English and in French.
        QCOMPARE(metainfo.count(QStringLiteral("<li>")), lessons);
        QCOMPARE(metainfo.count(QStringLiteral("<li xml:lang=\"fr\">")), lessons);
        const QString french = metainfo.section(QStringLiteral("<p xml:lang=\"fr\">"), 1, 1);
        QCOMPARE(namedCount(french, QStringLiteral("leçons"), frenchNumbers), lessons);
        for (const char *word : {"laboratoire", "français", "anglais"})
            QVERIFY2(french.contains(QString::fromUtf8(word)), word);
    }
};

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
