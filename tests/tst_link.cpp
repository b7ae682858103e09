// Links that open an experiment: every field read, bad links refused whole
// with a message naming what is wrong, a link applied as a person would set
// it, and the link of a state opening that same state.

#include "app/tvitesse.h"
#include "engine/link.h"
#include "engine/statejson.h"
#include "settings/settings.h"
#include "surfaces.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <random>

using namespace lodrix;

Q_DECLARE_METATYPE(lodrix::Link)

namespace {

Link linkWith(auto set)
{
    Link l;
    set(l);
    return l;
}

const Language english = *Language::named("en");

} // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    void fields_data()
    {
        addColumns<QString, Link>({"query", "link"});
        QTest::newRow("nothing") << "" << Link{};
        QTest::newRow("a bare question mark") << "?" << Link{};
        QTest::newRow("lesson") << "lesson=2" << linkWith([](Link &l) { l.lesson = 2; });
        QTest::newRow("free-setting lesson") << "lesson=5" << linkWith([](Link &l) { l.lesson = 5; });
        QTest::newRow("mode step") << "mode=1" << linkWith([](Link &l) { l.mode = 1; });
        QTest::newRow("mode continuous") << "mode=0" << linkWith([](Link &l) { l.mode = 0; });
        QTest::newRow("corrector P") << "corrector=P"
                                     << linkWith([](Link &l) { l.settings["corrector"] = "P"; });
        QTest::newRow("corrector PC")
            << "corrector=PC" << linkWith([](Link &l) { l.settings["corrector"] = "PC"; });
        QTest::newRow("corrector DB")
            << "corrector=DB" << linkWith([](Link &l) { l.settings["corrector"] = "DB"; });
        QTest::newRow("gain") << "gain=6.8" << linkWith([](Link &l) { l.settings["gain"] = "6.8"; });
        QTest::newRow("gain at its ends") << "gain=100&corrector=P" << linkWith([](Link &l) {
            l.settings["gain"] = "100";
            l.settings["corrector"] = "P";
        });
        QTest::newRow("gain written .5")
            << "gain=.5" << linkWith([](Link &l) { l.settings["gain"] = "0.5"; });
        QTest::newRow("period T1/2") << "period=0.05"
                                     << linkWith([](Link &l) { l.settings["period"] = "0.05"; });
        QTest::newRow("period 2T1") << "period=0.200"
                                    << linkWith([](Link &l) { l.settings["period"] = "0.2"; });
        QTest::newRow("step") << "step=2047" << linkWith([](Link &l) { l.settings["step"] = "2047"; });
        QTest::newRow("speed") << "speed=10" << linkWith([](Link &l) { l.speed = 10; });
        QTest::newRow("a load pushing back, from period 0, on a ramp")
            << "load=-2047&loadfrom=0&input=ramp" << linkWith([](Link &l) {
                   l.settings["load"] = "-2047";
                   l.settings["loadfrom"] = "0";
                   l.settings["input"] = "ramp";
               });
        QTest::newRow("lang") << "lang=en" << linkWith([](Link &l) { l.language = english; });
        QTest::newRow("start") << "lesson=1&start=1" << linkWith([](Link &l) {
            l.lesson = 1;
            l.start = true;
        });
        QTest::newRow("start=0") << "start=0" << Link{};
        QTest::newRow("an address, escapes, an ending")
            << "file:///home/prof/lodrix.html?lesson=5&corrector=P%43&lang=%65n&&#top"
            << linkWith([](Link &l) {
                   l.lesson = 5;
                   l.settings["corrector"] = "PC";
                   l.language = english;
               });
        QTest::newRow("a whole lesson's link")
            << "lodrix.html?lesson=5&corrector=PC&gain=6.8&period=0.05&step=300" << linkWith([](Link &l) {
                   l.lesson = 5;
                   l.settings["corrector"] = "PC";
                   l.settings["gain"] = "6.8";
                   l.settings["period"] = "0.05";
                   l.settings["step"] = "300";
               });
    }
    void fields()
    {
        QFETCH(QString, query);
        QFETCH(Link, link);
        const LinkReading reading = readLink(query.toStdString());
        QCOMPARE(reading.error.value_or(""), std::string());
        QVERIFY(reading.link == link);
    }

    // Refused whole: nothing of the link comes back, and the message names
    // the field or the text at fault.
    void refused_data()
    {
        addColumns<QString, QString>({"query", "named"});
        QTest::newRow("unknown field") << "lesson=2&colour=red"
                                       << "« colour »";
        QTest::newRow("field given twice") << "lesson=2&gain=3&lesson=3"
                                           << "« lesson » est donné deux fois";
        QTest::newRow("lesson too large") << "lesson=6"
                                          << "lesson=6";
        QTest::newRow("lesson negative") << "lesson=-1"
                                         << "lesson=-1";
        QTest::newRow("lesson signed") << "lesson=%2B2"
                                       << "lesson=+2";
        QTest::newRow("lesson empty") << "lesson="
                                      << "lesson=";
        QTest::newRow("lesson without value") << "lesson"
                                              << "lesson=";
        QTest::newRow("lesson with a blank") << "lesson=2+"
                                             << "lesson=2 ";
        QTest::newRow("lesson huge") << "lesson=99999999999999999999"
                                     << "lesson=99999999999999999999";
        QTest::newRow("mode 2") << "lesson=2&mode=2"
                                << "mode=2";
        QTest::newRow("corrector lower case") << "corrector=pc"
                                              << "corrector=pc";
        QTest::newRow("corrector with a blank") << "corrector=P+C"
                                                << "corrector=P C";
        QTest::newRow("gain too large, after good fields") << "lesson=5&corrector=PC&gain=1500"
                                                           << "gain=1500";
        QTest::newRow("gain zero") << "gain=0"
                                   << "gain=0";
        QTest::newRow("gain NaN") << "gain=NaN"
                                  << "gain=NaN";
        QTest::newRow("gain inf") << "gain=inf"
                                  << "gain=inf";
        QTest::newRow("gain exponent") << "gain=1e1"
                                       << "gain=1e1";
        QTest::newRow("gain comma") << "gain=6,8"
                                    << "gain=6,8";
        QTest::newRow("gain two points") << "gain=6.8.1"
                                         << "gain=6.8.1";
        QTest::newRow("gain a lone point") << "gain=."
                                           << "gain=.";
        QTest::newRow("gain huge") << "gain=1" + QString(400, u'0') << "gain=1" + QString(39, u'0') + "…";
        QTest::newRow("period not offered") << "period=0.07"
                                            << "period=0.07";
        QTest::newRow("period in ms") << "period=50"
                                      << "period=50";
        QTest::newRow("step fractional") << "step=2.5"
                                         << "step=2.5";
        QTest::newRow("step zero") << "step=0"
                                   << "step=0";
        QTest::newRow("step too large") << "step=2048"
                                        << "step=2048";
        QTest::newRow("load beyond the converter") << "load=2048"
                                                   << "load=2048";
        QTest::newRow("load a lone minus") << "load=-"
                                           << "load=-";
        QTest::newRow("loadfrom 8") << "loadfrom=8"
                                    << "loadfrom=8";
        QTest::newRow("loadfrom negative") << "loadfrom=-1"
                                           << "loadfrom=-1";
        QTest::newRow("input unknown") << "input=sine"
                                       << "input=sine";
        QTest::newRow("speed too fast") << "speed=9"
                                        << "speed=9";
        QTest::newRow("speed too slow") << "speed=101"
                                        << "speed=101";
        QTest::newRow("lang unknown") << "lang=de"
                                      << "lang=de";
        QTest::newRow("start 2") << "lesson=1&start=2"
                                 << "start=2";
        QTest::newRow("start without lesson") << "start=1"
                                              << "start=1";
        QTest::newRow("a lone %") << "lesson=2&gain=5%"
                                  << "« gain=5% »";
        QTest::newRow("% and no hex") << "lesson=%zz"
                                      << "« lesson=%zz »";
        QTest::newRow("an escaped NUL") << "lang=en%00"
                                        << "lang=en?";
        QTest::newRow("too long") << "lesson=1&" + QString(3000, u'&') << "trop long";
    }
    void refused()
    {
        QFETCH(QString, query);
        QFETCH(QString, named);
        const LinkReading reading = readLink(query.toStdString());
        QVERIFY2(reading.error, "accepted");
        QVERIFY(reading.link == Link{});
        const QString message = QString::fromStdString(*reading.error);
        QVERIFY2(message.startsWith(QStringLiteral("Lien refusé : ")), qPrintable(message));
        QVERIFY2(message.contains(named), qPrintable(message));
    }

    void messagesInTheLanguageAsked()
    {
        const LinkReading reading = readLink("lesson=2&gain=1500", english);
        QCOMPARE(reading.error.value_or(""),
                 std::string("Link refused: gain=1500 does not fit: the gain is a "
                             "number from 0.1 to 1000."));
        Link link;
        QCOMPARE(readLinkField("period", "1", link, english).value_or(""),
                 std::string("the period is in seconds, 0.025, 0.05, 0.1 or 0.2."));
        QVERIFY(link.settings.empty());
    }

    // A refusal speaks the language the link names, whatever the one asked.
    void messagesInTheLinksLanguage_data()
    {
        addColumns<QString, QString, QString>({"query", "asked", "refusal"});
        QTest::newRow("lang=fr on an English page") << "lang=fr&lesson=9"
                                                    << "en"
                                                    << "Lien refusé : lesson=9";
        QTest::newRow("lang=en last, on a French page") << "lesson=9&lang=en"
                                                        << "fr"
                                                        << "Link refused: lesson=9";
        QTest::newRow("lang=fr given twice") << "lang=fr&lang=fr"
                                             << "en"
                                             << "Lien refusé : le champ";
        QTest::newRow("a language Lodrix does not speak") << "lang=de&lesson=2"
                                                          << "en"
                                                          << "Link refused: lang=de";
        QTest::newRow("escaped") << "l%61ng=%66r&gain=0"
                                 << "en"
                                 << "Lien refusé : gain=0";
    }
    void messagesInTheLinksLanguage()
    {
        QFETCH(QString, query);
        QFETCH(QString, asked);
        QFETCH(QString, refusal);
        const LinkReading reading = readLink(query.toStdString(), *Language::named(asked.toStdString()));
        QVERIFY(reading.error);
        QVERIFY2(QString::fromStdString(*reading.error).startsWith(refusal), reading.error->c_str());
    }

    // A start by link (the desktop's --lesson N, a link's start=1) shows the
    // very frames a press of the start button shows over the idle picture,
    // the speed bar's « + » and « - » with them.
    void startedAsByAPress_data()
    {
        addColumns<QString, int, int>({"query", "lesson", "mode"});
        QTest::newRow("proportional, continuous") << "lesson=2&mode=0&start=1" << 2 << 0;
        QTest::newRow("two-step, step by step") << "lesson=4&mode=1&start=1" << 4 << 1;
        QTest::newRow("open loop") << "lesson=1&start=1" << 1 << -1;
        QTest::newRow("free setting") << "lesson=5&mode=0&gain=8&start=1" << 5 << 0;
    }
    void startedAsByAPress()
    {
        QFETCH(QString, query);
        QFETCH(int, lesson);
        QFETCH(int, mode);
        Screen<RasterCanvas> byLink;
        const LinkReading reading = readLink(query.toStdString());
        QVERIFY(!reading.error);
        applyLink(byLink.c, reading.link);
        Screen<RasterCanvas> byPress;
        if (!reading.link.settings.empty()) {
            FreeSettings settings;
            for (const auto &[name, text] : reading.link.settings)
                QVERIFY(!readSetting(name, text, settings, Language()));
            QVERIFY(!byPress.c.setFreeSettings(settings));
        }
        if (mode >= 0)
            byPress.c.choixbis(mode);
        byPress.c.choix(lesson);
        byPress.c.Timer1Timer(); // the idle picture under the hand
        mode == 1 ? byPress.c.Button2Click() : byPress.c.Button1Click();
        const auto same = [](const RasterCanvas &a, const RasterCanvas &b) {
            return std::equal(a.pixels(), a.pixels() + std::size_t(a.width()) * std::size_t(a.height()),
                              b.pixels());
        };
        for (int frame = 0; frame < 60; ++frame) {
            byLink.c.Timer1Timer();
            byPress.c.Timer1Timer();
            QVERIFY2(same(byLink.window, byPress.window),
                     qPrintable(QStringLiteral("window, frame %1").arg(frame)));
            QVERIFY2(same(byLink.scene, byPress.scene),
                     qPrintable(QStringLiteral("scene, frame %1").arg(frame)));
        }
    }

    // What a link sets, as the controller shows it: the lists' rows, the
    // settings, the speed, the language, and a start when asked.
    void applied_data()
    {
        addColumns<QString, int, int, int, int, QString>(
            {"query", "menuRow", "modeRow", "compteurAfterTick", "periodeAfterTick", "language"});
        QTest::newRow("nothing") << "" << -1 << -1 << 0 << 0 << "fr";
        QTest::newRow("lesson, not started") << "lesson=2&mode=0" << 2 << 0 << 0 << 0 << "fr";
        QTest::newRow("started continuously") << "lesson=2&mode=0&start=1" << 2 << 0 << 1002 << 0 << "fr";
        QTest::newRow("started step by step") << "lesson=3&mode=1&start=1" << 3 << 1 << 2002 << 1 << "fr";
        QTest::newRow("open loop started") << "lesson=1&start=1" << 1 << -1 << 2 << 0 << "fr";
        QTest::newRow("mode kept for a later lesson")
            << "lesson=0&mode=1&lang=en" << 0 << 1 << 0 << 0 << "en";
    }
    void applied()
    {
        QFETCH(QString, query);
        QFETCH(int, menuRow);
        QFETCH(int, modeRow);
        QFETCH(int, compteurAfterTick);
        QFETCH(int, periodeAfterTick);
        QFETCH(QString, language);
        Screen<> s;
        const LinkReading reading = readLink(query.toStdString());
        QVERIFY(!reading.error);
        applyLink(s.c, reading.link);
        s.c.Timer1Timer();
        QCOMPARE(s.c.menuRow(), menuRow);
        QCOMPARE(s.c.modeRow(), modeRow);
        QCOMPARE(s.c.animation().compteur, compteurAfterTick);
        QCOMPARE(s.c.animation().periode, periodeAfterTick);
        QCOMPARE(QString::fromUtf8(s.c.language().code()), language);
    }

    void freeSettingsApplied()
    {
        Screen<> s;
        applyLink(s.c, readLink("lesson=5&corrector=PC&gain=6.8&period=0.05&step=300&speed=20").link);
        QVERIFY(s.c.freeSettings() == (FreeSettings{Corrector::PoleCompensation, 6.8, 0.05, 300}));
        QCOMPARE(s.c.scrollPosition(), 20);
        QVERIFY(s.shell.on(Control::FreeSettings));
        // A field a link does not give keeps what the controller holds.
        applyLink(s.c, readLink("gain=2").link);
        QVERIFY(s.c.freeSettings() == (FreeSettings{Corrector::PoleCompensation, 2.0, 0.05, 300}));
    }

    void written()
    {
        Screen<> s;
        QCOMPARE(linkQuery(s.c), std::string("lang=fr"));
        s.c.setLanguage(english);
        s.c.choix(5);
        s.c.setFreeSettings({Corrector::TwoStep, 12.25, periodChoices[0], 1500});
        s.c.setScrollPosition(75);
        QCOMPARE(linkQuery(s.c),
                 std::string("lesson=5&corrector=DB&gain=12.25&period=0.025&step=1500&speed=75&lang=en"));
        // Settings of the free-setting entry chosen elsewhere wait for it: the link keeps them.
        s.c.choix(2);
        s.c.choixbis(1);
        QCOMPARE(
            linkQuery(s.c),
            std::string("lesson=2&mode=1&corrector=DB&gain=12.25&period=0.025&step=1500&speed=75&lang=en"));
    }

    // The window: its lists, scroll bar and settings show what a link chose,
    // and the menu's action copies the link of what it shows.
    void window()
    {
        Tvitesse w;
        w.Timer1->stop();
        w.setPage({}); // no page: its name alone (tst_package has the others)
        w.openLink(readLink("lodrix.html?lesson=5&mode=1&gain=4.5&speed=30").link);
        QCOMPARE(selectedRow(w.ListBox1), 5);
        QCOMPARE(selectedRow(w.ListBox2), 1);
        QCOMPARE(w.ScrollBar1->value(), 30);
        QVERIFY(!w.SettingCorrector->isHidden());
        QCOMPARE(w.SettingGain->value(), 4.5);
        QVERIFY(w.Button2->isEnabled() && !w.Button1->isEnabled());
        const QString expected = QStringLiteral(
            "lodrix.html?lesson=5&mode=1&corrector=P&gain=4.5&period=0.1&step=200&speed=30&lang=fr");
        QCOMPARE(w.link(), expected);
        QVERIFY(w.actions().contains(w.copyLinkAction));
        QVERIFY(w.notice->isHidden());
        w.copyLinkAction->trigger();
        QCOMPARE(QApplication::clipboard()->text(), expected);
        // It says so, for a moment, to a screen reader too.
        QVERIFY(!w.notice->isHidden());
        QVERIFY2(w.notice->text().startsWith(QStringLiteral("Lien copié")), qPrintable(w.notice->text()));
        QVERIFY(w.notice->text().endsWith(expected));
        QCOMPARE(w.notice->accessibleName(), w.notice->text());
        QTRY_VERIFY_WITH_TIMEOUT(w.notice->isHidden(), 6000);
    }

    // Many states, each set as a person sets it, then its link opened on a
    // fresh window: the same state, the same link.
    void roundTrip()
    {
        std::mt19937 random(22);
        const double gains[] = {0.1, 2.5, 6.8, 33.3, 100.0};
        int checked = 0;
        for (int lesson = -1; lesson <= freeSettingEntry; ++lesson) {
            for (int mode = -1; mode <= 1; ++mode) {
                for (int variant = 0; variant < 8; ++variant) {
                    Screen<> a;
                    if (variant % 2)
                        a.c.setLanguage(english);
                    if (variant >= 2) {
                        FreeSettings settings{Corrector(random() % 3), gains[random() % 5],
                                              periodChoices[random() % 4],
                                              std::int32_t(1 + random() % maxStep)};
                        if (variant >= 6) {
                            settings.load = std::int32_t(random() % (2 * maxLoad + 1)) - maxLoad;
                            settings.loadFrom = int(random() % (lastLoadPeriod + 1));
                            settings.input = random() % 2 ? Input::Ramp : Input::Step;
                        }
                        QVERIFY(!a.c.setFreeSettings(settings));
                    }
                    if (variant >= 4)
                        a.c.setScrollPosition(int(minIntervalMs + random() % 91));
                    if (mode >= 0) {
                        a.c.choix(2); // the mode list is shown for closed-loop lessons only
                        a.c.choixbis(mode);
                    }
                    if (lesson >= 0)
                        a.c.choix(lesson);
                    const std::string query = linkQuery(a.c);
                    const LinkReading reading = readLink("lodrix.html?" + query);
                    QVERIFY2(!reading.error, query.c_str());
                    Screen<> b;
                    applyLink(b.c, reading.link);
                    // The state line holds the rows, the settings and the speed.
                    QCOMPARE(linkQuery(b.c), query);
                    QVERIFY(b.c.language() == a.c.language());
                    a.c.Timer1Timer();
                    b.c.Timer1Timer();
                    QCOMPARE(stateJson(b.c), stateJson(a.c));
                    ++checked;
                }
            }
        }
        QCOMPARE(checked, 7 * 3 * 8);
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
