// The table of the free-setting lesson's settings: every row's text reads
// back what it wrote, every refusal names its own setting in both languages,
// and the shells' strips hold what the rows say.

#include "app/tvitesse.h"
#include "settings/settings.h"
#include "surfaces.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>

#include <set>
#include <vector>

using namespace lodrix;

namespace {

const Language english = *Language::named("en");

// Values of a row worth a round trip: every choice, the ends and between.
std::vector<double> valuesOf(const Setting &row)
{
    std::vector<double> values;
    for (const SettingChoice &c : row.choices)
        values.push_back(c.value);
    if (row.kind == SettingKind::Whole)
        values.insert(values.end(), {row.low, row.high, std::floor((row.low + row.high) / 2)});
    if (row.kind == SettingKind::Decimal) {
        // Its ends where they belong to it, a negative value where it has some.
        for (const double v : {row.low, row.high, 6.8, 23.92, 0.55, 12.25, -0.35, -42.5})
            if (acceptsValue(row, v))
                values.push_back(v);
    }
    return values;
}

// A value just outside the row, as a script would write it.
std::string outside(const Setting &row)
{
    switch (row.kind) {
    case SettingKind::Choice:
        return "Q";
    case SettingKind::DecimalChoice:
        return "0.3";
    case SettingKind::Whole:
    case SettingKind::Decimal:
        break;
    }
    return std::to_string(int(row.high) + 1);
}

QString sourceFile(const char *path)
{
    QFile f(qEnvironmentVariable("LODRIX_SOURCE_DIR") + "/" + path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    // Text to value to text, and value to text to value, for every row, and
    // the value reaches its member of the settings and comes back.
    void roundTrip()
    {
        for (const Setting &row : settingRows()) {
            for (const double v : valuesOf(row)) {
                const std::string text = settingText(row, v);
                const auto back = readSettingValue(row, text);
                QVERIFY2(back && *back == v, (std::string(row.name) + "=" + text).c_str());
                QCOMPARE(settingText(row, *back), text);
                FreeSettings s;
                row.put(s, v);
                QCOMPARE(row.get(s), v);
                QCOMPARE(settingsError(s).value_or(""), std::string());
                FreeSettings read;
                QCOMPARE(readSetting(row.name, text, read, Language()).value_or(""), std::string());
                QVERIFY(read == s);
            }
        }
    }

    // A bad value of each row is refused naming it, in either language, by
    // the text readers and by the check of the whole alike, and no two rows
    // refuse alike; a row's texts are all in the catalogue.
    void refusals()
    {
        std::set<std::string> headings;
        for (const Setting &row : settingRows()) {
            const std::string bad = outside(row);
            QVERIFY2(!readSettingValue(row, bad), bad.c_str());
            for (const Language &language : {Language(), english}) {
                FreeSettings s;
                const FreeSettings before = s;
                const auto refused = readSetting(row.name, bad, s, language);
                QVERIFY(refused && s == before);
                const std::string heading = language.format(row.refused, {bad});
                QVERIFY2(refused->starts_with(heading) && refused->ends_with(settingRule(row, language)),
                         refused->c_str());
                QVERIFY(headings.insert(heading).second);
                const auto command = setCommandError(row.name, bad, s, language);
                QVERIFY(command && command->find("'" + bad + "' for 'set " + std::string(row.name) + "'") !=
                                       std::string::npos);
                QVERIFY(command->ends_with(*refused));
            }
            for (const char *french : {row.refused, row.rule, row.help})
                QVERIFY2(english.translates(french), french);
        }
        // The check of the whole names the value a program put there.
        FreeSettings s;
        s.corrector = Corrector(7);
        QCOMPARE(settingsError(s).value_or(""), settingRefusal(*findSetting("corrector"), "7", Language()));
        s = FreeSettings{};
        s.gain = 1500;
        QCOMPARE(settingsError(s, english).value_or(""),
                 std::string("Gain G=1500 refused: the gain is a number from 0.1 to 1000."));
        // A sign only where the range goes below zero; the open ends refused.
        struct Case {
            const char *name;
            const char *text;
            bool taken;
        };
        for (const Case &c :
             {Case{"zero", "-0.5", true}, Case{"zero", "1", false}, Case{"pole", "-1", false},
              Case{"pole", "0.999", true}, Case{"b1", "-100", true}, Case{"a2", "-100.5", false},
              Case{"ti", "-0.5", false}, Case{"ti", "0.005", false}, Case{"td", "0", true},
              Case{"antiwindup", "0", true}, Case{"antiwindup", "2", false}}) {
            FreeSettings read;
            const auto refused = readSetting(c.name, c.text, read, english);
            QVERIFY2(refused.has_value() != c.taken, (std::string(c.name) + "=" + c.text).c_str());
            if (refused)
                QVERIFY2(refused->find(std::string("=") + c.text) != std::string::npos ||
                             refused->find(std::string(" ") + c.text + " ") != std::string::npos,
                         refused->c_str());
        }
        s = FreeSettings{};
        s.leadPole = 1.0;
        QCOMPARE(settingsError(s, english).value_or(""),
                 std::string("Pole p0=1 refused: the pole is a number strictly between -1 and 1."));
    }

    // The desktop's strip lists the rows' choices and spans their ranges.
    void desktopStrip()
    {
        Tvitesse w;
        std::vector<std::pair<std::string_view, QWidget *>> controls = {
            {"corrector", w.SettingCorrector}, {"gain", w.SettingGain},   {"period", w.SettingPeriod},
            {"step", w.SettingStep},           {"input", w.SettingInput}, {"load", w.SettingLoad},
            {"loadfrom", w.SettingLoadFrom},   {"horizon", w.SettingHorizon}};
        for (const Tvitesse::CoefficientControl &c : w.coefficientControls)
            controls.emplace_back(c.name, c.control);
        QCOMPARE(controls.size(), settingRows().size());
        for (const auto &[name, control] : controls) {
            const Setting &row = *findSetting(name);
            if (auto *list = qobject_cast<QComboBox *>(control)) {
                QCOMPARE(std::size_t(list->count()), row.choices.size());
                for (std::size_t i = 0; i < row.choices.size(); ++i)
                    QCOMPARE(list->itemText(int(i)), w.say(row.choices[i].label));
            } else if (auto *whole = qobject_cast<QSpinBox *>(control)) {
                QCOMPARE(whole->minimum(), int(row.low));
                QCOMPARE(whole->maximum(), int(row.high));
            } else if (qobject_cast<QCheckBox *>(control)) {
                QCOMPARE(row.low, 0.0);
                QCOMPARE(row.high, 1.0);
            } else {
                auto *decimal = qobject_cast<QDoubleSpinBox *>(control);
                QVERIFY(decimal && decimal->minimum() == row.low && decimal->maximum() == row.high);
            }
        }
    }

    // The views' chooser on the desktop, by the keyboard alone: the arrows
    // choose the view, Space enlarges it; the controller keeps both, and the
    // chooser shows what a script set.
    void viewChooserByKeyboard()
    {
        Tvitesse w;
        w.controller.choix(5);
        QCOMPARE(w.ViewChooser->accessibleName(), w.say("Vue"));
        QCOMPARE(w.ViewChooser->count(), freeViewCount);
        QVERIFY(w.ViewChooser->isEnabled() && w.ViewLarge->isEnabled());
        QTest::keyClick(w.ViewChooser, Qt::Key_Down);
        QCOMPARE(w.controller.freeViews(), (FreeViews{FreeView::Bode, false}));
        QTest::keyClick(w.ViewLarge, Qt::Key_Space);
        QCOMPARE(w.controller.freeViews(), (FreeViews{FreeView::Bode, true}));
        w.setFreeViews({FreeView::Black, false});
        QCOMPARE(w.ViewChooser->currentIndex(), int(FreeView::Black));
        QVERIFY(!w.ViewLarge->isChecked());
        w.controller.choix(2);
        QVERIFY(!w.ViewChooser->isEnabled());
    }

    // The page's strip: a control for each row, named by it, its options
    // the row's words, its range the row's.
    void pageStrip()
    {
        const QString page = sourceFile("web/page.html");
        QVERIFY(!page.isEmpty());
        const QRegularExpression control(
            QStringLiteral("<(select|input)[^>]*data-setting=\"([a-z0-9]+)\"[^>]*>("
                           ".*?)(?=<label|</fieldset|<select|<input)"),
            QRegularExpression::DotMatchesEverythingOption);
        std::vector<std::string> named;
        for (const QRegularExpressionMatch &m : control.globalMatch(page)) {
            const std::string name = m.captured(2).toStdString();
            named.push_back(name);
            const Setting *row = findSetting(name);
            QVERIFY2(row, name.c_str());
            if (m.captured(1) == QLatin1String("select")) {
                QStringList values;
                for (const QRegularExpressionMatch &o :
                     QRegularExpression(QStringLiteral("<option value=\"([^\"]*)\""))
                         .globalMatch(m.captured(3)))
                    values << o.captured(1);
                QStringList words;
                for (const SettingChoice &c : row->choices)
                    words << QString::fromUtf8(c.word.data(), qsizetype(c.word.size()));
                QCOMPARE(values, words);
            } else {
                const QString tag = m.captured(0);
                const auto attribute = [&tag](const char *name) {
                    return QRegularExpression(QStringLiteral(" %1=\"([^\"]*)\"").arg(QLatin1String(name)))
                        .match(tag)
                        .captured(1)
                        .toDouble();
                };
                // A text field (the gain, in the language's number form)
                // leaves its range to the core, which refuses what is out.
                if (tag.contains(QLatin1String("type=\"text\"")) ||
                    tag.contains(QLatin1String("type=\"checkbox\"")))
                    continue;
                QCOMPARE(attribute("min"), row->low);
                QCOMPARE(attribute("max"), row->high);
            }
        }
        std::vector<std::string> rows;
        for (const Setting &row : settingRows())
            rows.emplace_back(row.name);
        QCOMPARE(named, rows);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
