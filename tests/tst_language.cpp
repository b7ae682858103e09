// Lodrix in English: every lesson played in French and in English side by
// side through the controller, call for call. The English must say something
// else than the French wherever the French says words, keep the numbers, and
// fit where the French fits: no text box further out of its surface, no more
// ink on another text or on a drawing than the French frame has.

#include "raster/fontstrikes.h"
#include "raster/textraster.h"
#include "surfaces.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

using namespace lodrix;

namespace {

// A window in a language, writing numbers with its decimal separator.
Screen<> speaker(const char *code)
{
    const Language language = *Language::named(code);
    return Screen<>(-1, 0, NumberFormat(std::string(language.decimalSeparator())), language);
}

// The calls on the three surfaces since the last take.
OpLog take(Screen<> &s)
{
    OpLog all;
    for (RecordingCanvas *c : {&s.window, &s.scene, &s.anim}) {
        all.insert(all.end(), c->ops.begin(), c->ops.end());
        c->ops.clear();
    }
    return all;
}

struct Box {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // x2, y2 excluded
    bool empty() const { return x2 <= x1 || y2 <= y1; }
    Box operator&(const Box &o) const
    {
        return {std::max(x1, o.x1), std::max(y1, o.y1), std::min(x2, o.x2), std::min(y2, o.y2)};
    }
    long area() const { return empty() ? 0 : long(x2 - x1) * (y2 - y1); }
};

// The text's cell: its advance by the cell height (the character height for Symbol).
Box cellOf(const Op &op)
{
    const Point at = op.points[0];
    return {at.x, at.y, at.x + textWidth(op.font, op.text), at.y + pixelSizeFor(op.font)};
}

// The pixels a text inks, on the surface's coordinates, as a sorted list of
// y * 4096 + x, with their bounding box.
struct Ink {
    std::vector<int> pixels;
    Box bounds;
};

const Ink &inkOf(const Op &op)
{
    static std::map<std::tuple<int, int, bool, int, int, std::string>, Ink> cache;
    const Point at = op.points[0];
    const auto key = std::make_tuple(int(op.font.face), op.font.size, op.font.bold, at.x, at.y, op.text);
    if (const auto it = cache.find(key); it != cache.end())
        return it->second;
    const Box cell = cellOf(op);
    const int w = cell.x2 - cell.x1 + 16, h = cell.y2 - cell.y1 + 16;
    std::vector<std::uint32_t> buffer(std::size_t(w) * h, 0);
    paintText(buffer.data(), w, h, {8, 8}, op.font, 0xFF000000u, op.text);
    Ink ink{{}, {1 << 20, 1 << 20, -(1 << 20), -(1 << 20)}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (buffer[std::size_t(y) * w + x] == 0)
                continue;
            const int sx = at.x + x - 8, sy = at.y + y - 8;
            ink.pixels.push_back(sy * 4096 + sx + 1024); // x may be a little negative
            ink.bounds = {std::min(ink.bounds.x1, sx), std::min(ink.bounds.y1, sy),
                          std::max(ink.bounds.x2, sx + 1), std::max(ink.bounds.y2, sy + 1)};
        }
    }
    std::sort(ink.pixels.begin(), ink.pixels.end());
    return cache.emplace(key, std::move(ink)).first->second;
}

long sharedInk(const Op &a, const Op &b)
{
    const Ink &ia = inkOf(a), &ib = inkOf(b);
    if ((ia.bounds & ib.bounds).empty())
        return 0;
    std::vector<int> common;
    std::set_intersection(ia.pixels.begin(), ia.pixels.end(), ib.pixels.begin(), ib.pixels.end(),
                          std::back_inserter(common));
    return long(common.size());
}

// The drawings of one surface since it was last cleared: every call but the
// texts, painted black on white with white fills, which erase what they cover.
struct Drawings {
    explicit Drawings(Surface s) : canvas(makeSurface<RasterCanvas>(s)) { canvas.brush.color = clWhite; }
    RasterCanvas canvas;

    // Drawn pixels under the box a text inks.
    long under(const Op &text) const
    {
        const Box b = inkOf(text).bounds & Box{0, 0, canvas.width(), canvas.height()};
        long n = 0;
        for (int y = b.y1; y < b.y2; ++y)
            for (int x = b.x1; x < b.x2; ++x)
                n += canvas.pixels()[std::size_t(y) * canvas.width() + x] != toArgb(clWhite);
        return n;
    }
};

// Applies a non-text call to the drawings, and says which area it erased;
// source: the drawings of a copied surface.
std::optional<Box> draw(Drawings &d, const Op &op, const Drawings *source)
{
    RasterCanvas &c = d.canvas;
    const auto &p = op.points;
    // A disc in its outline's colour is all fill.
    const bool outlined = op.kind != Op::Kind::Ellipse || op.pen.color != op.brush.color;
    c.pen = {outlined ? clBlack : clWhite, op.pen.width, op.pen.style};
    c.brush.style = op.brush.style;
    switch (op.kind) {
    case Op::Kind::Line:
        c.line(p[0].x, p[0].y, p[1].x, p[1].y);
        return std::nullopt;
    case Op::Kind::Rect:
    case Op::Kind::Ellipse:
        op.kind == Op::Kind::Rect ? c.rectangle(p[0].x, p[0].y, p[1].x, p[1].y)
                                  : c.ellipse(p[0].x, p[0].y, p[1].x, p[1].y);
        if (op.brush.style == BrushStyle::Solid)
            return Box{p[0].x, p[0].y, p[1].x, p[1].y};
        return std::nullopt;
    case Op::Kind::Arc:
        c.arc(p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        return std::nullopt;
    case Op::Kind::Polygon:
        c.polygon(p);
        return std::nullopt;
    case Op::Kind::Copy:
        // The picture brings its own drawings; its background hides what it covers.
        c.draw(p[0].x, p[0].y, source->canvas);
        return Box{p[0].x, p[0].y, p[0].x + source->canvas.width(), p[0].y + source->canvas.height()};
    case Op::Kind::Text:
        break;
    }
    return std::nullopt;
}

// A text the French and the English frames both show, at one place.
struct Shown {
    Op french;
    Op english;
};

struct SurfaceState {
    explicit SurfaceState(Surface s) : drawings(s) {}
    Drawings drawings;
    std::vector<Shown> texts; // drawn since the surface was last cleared, each once
};

// Letters that may stay the same in both languages: the loop's signals,
// the units and the symbols of the formulas ("W" and "q" are Omega and theta
// in the Symbol face).
bool isSymbolic(const std::string &text)
{
    static const QSet<QString> symbols{u"E"_qs,   u"X"_qs, u"Ep"_qs, u"Epu"_qs, u"U"_qs,  u"U1"_qs,
                                       u"V"_qs,   u"T"_qs, u"t"_qs,  u"k"_qs,   u"kT"_qs, u"z"_qs,
                                       u"p"_qs,   u"W"_qs, u"q"_qs,  u"G"_qs,   u"Gc"_qs, u"K"_qs,
                                       u"rad"_qs, u"s"_qs, u"ms"_qs, u"D"_qs};
    static const QRegularExpression word(u"\\p{L}+"_qs);
    for (const auto &m : word.globalMatch(QString::fromStdString(text))) {
        if (!symbols.contains(m.captured()))
            return false;
    }
    return true;
}

// The numbers of a text, the decimal separator aside.
QStringList numbersOf(const std::string &text)
{
    static const QRegularExpression number(u"\\d+(?:[.,]\\d+)?"_qs);
    QStringList found;
    for (const auto &m : number.globalMatch(QString::fromStdString(text)))
        found << m.captured().replace(u',', u'.');
    found.sort();
    return found;
}

// The lessons write the letter O for a zero in two of their notes; the
// English writes the zero.
const QSet<QString> frenchTypos{u"V= O,98V"_qs, u"V=O,68V"_qs};

} // namespace

using Settings = std::optional<FreeSettings>;
Q_DECLARE_METATYPE(Settings)

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void catalogue_data()
    {
        addColumns<QString, QString, QString, QString>({"code", "separator", "french", "shown"});
        QTest::addRow("French draws its own texts")
            << u"fr"_qs << u","_qs << u"Régulateur"_qs << u"Régulateur"_qs;
        QTest::addRow("English translates them")
            << u"en"_qs << u"."_qs << u"Régulateur"_qs << u"Corrector"_qs;
        QTest::addRow("a number is no entry") << u"en"_qs << u"."_qs << u"2,4V"_qs << u"2,4V"_qs;
        QTest::addRow("a text is looked up whole")
            << u"en"_qs << u"."_qs << u"Régulateur "_qs << u"Régulateur "_qs;
    }
    void catalogue()
    {
        QFETCH(QString, code);
        QFETCH(QString, french);
        const auto language = Language::named(code.toStdString());
        QVERIFY(language);
        QCOMPARE(QString::fromUtf8(language->code().data(), qsizetype(language->code().size())), code);
        QTEST(QString::fromUtf8(language->decimalSeparator().data(), 1), "separator");
        const std::string text = french.toStdString();
        const std::string_view drawn = language->tr(text);
        QTEST(QString::fromUtf8(drawn.data(), qsizetype(drawn.size())), "shown");
    }

    void languages()
    {
        QVERIFY(!Language::named("de"));
        QVERIFY(!Language::named(""));
        QVERIFY(Language().isSource());
        const auto codes = Language::codes();
        QCOMPARE(codes.front(), std::string_view("fr"));
        QVERIFY(std::find(codes.begin(), codes.end(), std::string_view("en")) != codes.end());
    }

    void patterns_data()
    {
        addColumns<QString, QStringList, QString>({"pattern", "values", "filled"});
        QTest::addRow("in order") << u"T=%1 et G=%2"_qs << QStringList{u"T1"_qs, u"2,5"_qs}
                                  << u"T=T1 et G=2,5"_qs;
        QTest::addRow("reordered") << u"%2 before %1"_qs << QStringList{u"a"_qs, u"b"_qs} << u"b before a"_qs;
        QTest::addRow("used twice") << u"%1%1"_qs << QStringList{u"x"_qs} << u"xx"_qs;
        QTest::addRow("no such value") << u"%1 %3"_qs << QStringList{u"x"_qs} << u"x %3"_qs;
        QTest::addRow("a lone percent") << u"100% %"_qs << QStringList{u"x"_qs} << u"100% %"_qs;
        QTest::addRow("a value with a placeholder")
            << u"%1 %2"_qs << QStringList{u"%2"_qs, u"y"_qs} << u"%2 y"_qs;
    }
    void patterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, values);
        std::vector<std::string> v;
        for (const QString &s : values)
            v.push_back(s.toStdString());
        std::vector<std::string_view> views(v.begin(), v.end());
        const std::string p = pattern.toStdString();
        const std::string out =
            views.size() == 1 ? fillPattern(p, {views[0]}) : fillPattern(p, {views[0], views[1]});
        QTEST(QString::fromStdString(out), "filled");
    }

    void controllerLanguage()
    {
        Screen<> p = speaker("en");
        p.c.choix(2);
        p.c.B1Click();
        QCOMPARE(p.shell.commentary, std::string("lodrix1.en.rtf"));
        FreeSettings bad;
        bad.gain = 1500;
        const auto error = p.c.setFreeSettings(bad);
        QVERIFY(error && error->starts_with("Gain G=1500 refused"));
        // Back to French: the separator and the commentaries follow.
        p.c.setLanguage(Language());
        QCOMPARE(p.c.numbers().decimalSeparator(), std::string(","));
        p.c.B1Click();
        QCOMPARE(p.shell.commentary, std::string("lodrix1.rtf"));
    }

    void lessons_data()
    {
        addColumns<int, int, Settings>({"row", "mode", "settings"});
        auto add = [](const char *name, int row, int mode) {
            QTest::addRow("%s", name) << row << mode << Settings();
        };
        add("idle picture", -1, 0);
        add("presentation", 0, 0);
        add("open loop", 1, 0);
        add("proportional", 2, 0);
        add("pole compensation", 3, 0);
        add("two-step", 4, 0);
        add("two-step, step by step", 4, 1);
        add("free setting", 5, 0);
        QTest::addRow("free setting, pole compensation saturated")
            << 5 << 0 << Settings({Corrector::PoleCompensation, 9.0, 0.05, 1500});
        QTest::addRow("free setting, two-step at T1/4")
            << 5 << 1 << Settings({Corrector::TwoStep, 1.0, 0.025, 200});
        QTest::addRow("free setting, unstable")
            << 5 << 0 << Settings({Corrector::Proportional, 40.0, 0.2, 50});
        QTest::addRow("free setting, loaded ramp, pole compensation")
            << 5 << 0 << Settings({Corrector::PoleCompensation, 8.0, 0.1, 400, -300, 2, Input::Ramp});
        QTest::addRow("free setting, ramp beyond the converter")
            << 5 << 0 << Settings({Corrector::Proportional, 8.0, 0.025, 2047, 2047, 0, Input::Ramp});
    }
    void lessons()
    {
        QFETCH(int, row);
        QFETCH(int, mode);
        QFETCH(Settings, settings);
        // What a person does, the same in both languages: the lesson started,
        // then played to its end, step by step pressing on at every halt.
        Screen<> french = speaker("fr"), english = speaker("en");
        for (Controller *c : {&french.c, &english.c}) {
            if (settings)
                QVERIFY(!c->setFreeSettings(*settings));
            if (row < 0)
                continue;
            c->choix(row);
            if (row >= 2)
                c->choixbis(mode);
            mode == 1 ? c->Button2Click() : c->Button1Click();
        }
        const int steps = row < 0 ? 30 : mode == 1 ? (periodCount + 1) * 45 : 340;
        std::map<Surface, SurfaceState> state;
        for (Surface s : {Surface::Window, Surface::Scene, Surface::Anim})
            state.try_emplace(s, s);
        QStringList faults;
        auto fault = [&faults](const QString &f) {
            if (!faults.contains(f))
                faults << f;
        };
        int englishTexts = 0;

        for (int step = 0; step < steps; ++step) {
            for (Controller *c : {&french.c, &english.c})
                if (c->Timer1Timer().page == Page::None && mode == 1)
                    c->Button2Click();
            const OpLog fr = take(french), en = take(english);
            QCOMPARE(en.size(), fr.size());
            for (std::size_t i = 0; i < fr.size(); ++i) {
                const Op &f = fr[i], &e = en[i];
                QCOMPARE(int(e.kind), int(f.kind));
                QCOMPARE(e.points, f.points);
                SurfaceState &s = state.at(f.surface);
                if (f.kind != Op::Kind::Text) {
                    const Drawings *source =
                        f.kind == Op::Kind::Copy ? &state.at(f.source).drawings : nullptr;
                    if (const auto erased = draw(s.drawings, f, source)) {
                        std::erase_if(s.texts, [&](const Shown &t) {
                            return (cellOf(t.french) & *erased).area() == cellOf(t.french).area();
                        });
                    }
                    continue;
                }
                ++englishTexts;
                const QString text = QString::fromStdString(f.text);
                if (e.text == f.text && !isSymbolic(f.text))
                    fault(u"not translated: "_qs + text);
                if (!frenchTypos.contains(text) && numbersOf(e.text) != numbersOf(f.text))
                    fault(u"numbers differ: "_qs + text + u" / "_qs + QString::fromStdString(e.text));
                const bool again = std::any_of(s.texts.begin(), s.texts.end(), [&](const Shown &t) {
                    return t.french.points == f.points && t.french.text == f.text && t.french.font == f.font;
                });
                if (!again)
                    s.texts.push_back({f, e});
            }
            // Every tenth step and the last: the texts shown then.
            if (step % 10 != 9 && step + 1 != steps)
                continue;
            for (auto &[surface, s] : state) {
                const Box inside{0, 0, s.drawings.canvas.width(), s.drawings.canvas.height()};
                for (std::size_t i = 0; i < s.texts.size(); ++i) {
                    const Shown &a = s.texts[i];
                    const QString name = QString::fromStdString(a.english.text);
                    const auto outside = [&](const Op &op) {
                        return cellOf(op).area() - (cellOf(op) & inside).area();
                    };
                    if (outside(a.english) > outside(a.french))
                        fault(u"leaves its surface: "_qs + name);
                    if (s.drawings.under(a.english) > s.drawings.under(a.french))
                        fault(u"covers a drawing: "_qs + name);
                    for (std::size_t j = i + 1; j < s.texts.size(); ++j) {
                        const Shown &b = s.texts[j];
                        if (sharedInk(a.english, b.english) > sharedInk(a.french, b.french))
                            fault(u"runs into another text: "_qs + name + u" / "_qs +
                                  QString::fromStdString(b.english.text));
                    }
                }
            }
        }
        QVERIFY(englishTexts > 0);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"\n"_qs)));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
