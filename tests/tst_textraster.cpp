// Texts painted from the glyph tables against the same texts drawn by Qt
// from the same fonts: every character of the faces and every text the
// lessons draw, in every font, at a free and at clipped positions, pixel for
// pixel, and their widths against Qt's.

#include "surfaces.h"

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "raster/fontstrikes.h"
#include "raster/glyphtable.h"
#include "raster/textraster.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRawFont>
#include <QtTest>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace lodrix;

namespace {

using Texts = std::set<std::pair<std::string, Color>>;

constexpr Color ground = 0x563412; // in no lesson, so every text shows on it
constexpr int marginPx = 6;        // room for glyphs that reach out of their cell
constexpr int pointSizes[] = {6, 8, 10, 12, 15};
constexpr Color someColors[] = {clBlack, clRed, clBlue, clFace};

std::uint32_t argbOf(Color c)
{
    return toQColor(c).rgb();
}

// Font aside from its colour.
auto fontKey(const Font &f)
{
    return std::tuple(f.face, f.size, f.bold);
}

// Every text of the idle picture and of each lesson played to its end, in
// continuous and in step mode, by font.
const std::map<std::tuple<FontFace, int, bool>, Texts> &lessonTexts()
{
    static const auto texts = [] {
        std::map<std::tuple<FontFace, int, bool>, Texts> found;
        struct Lesson {
            int rubrique, mode, last;
        };
        const Lesson lessons[] = {{-1, 0, 0},      {0, 0, presentationEnd}, {1, 0, openLoopEnd},
                                  {2, 0, endTick}, {3, 0, endTick},         {4, 0, endTick},
                                  {5, 0, endTick}, {2, 1, endTick},         {3, 1, endTick},
                                  {4, 1, endTick}, {5, 1, endTick}};
        for (const Lesson &lesson : lessons) {
            Screen run(lesson.rubrique, lesson.mode);
            run.playTo(lesson.last, [&](int) {
                for (const Surface s : {Surface::Window, Surface::Scene, Surface::Anim})
                    for (const Op &op : run.log(s))
                        if (op.kind == Op::Kind::Text)
                            found[fontKey(op.font)].insert({op.text, op.font.color});
            });
        }
        return found;
    }();
    return texts;
}

// Runs of the printable characters of the BMP that the face has, as Qt
// sees its cmap, in texts of a few characters; and the characters it lacks.
std::pair<Texts, std::string> faceCharacters(const Font &font)
{
    const QRawFont raw = QRawFont::fromFont(canvasFont(font));
    Texts runs;
    std::string run, missing;
    int colour = 0;
    for (char32_t cp = 0x20; cp < 0x10000; ++cp) {
        if (!QChar::isPrint(cp))
            continue;
        const std::string utf8 = QString::fromUcs4(&cp, 1).toStdString();
        if (!raw.supportsCharacter(cp)) {
            missing += utf8;
            continue;
        }
        run += utf8;
        if (run.size() >= 12)
            runs.insert({std::exchange(run, {}), someColors[colour++ % std::size(someColors)]});
    }
    runs.insert({run, clBlack});
    return {runs, missing};
}

// Where the two painters differ on a buffer of the text's size with it at
// `at`, or where the box paintText reports misses a pixel it painted; empty
// when they agree.
QString difference(const Font &font, Color color, const std::string &utf8, QSize size, Point at)
{
    // Qt's own drawing of the text, placed by the top-left of its cell.
    QImage image(size, QImage::Format_RGB32);
    image.fill(toQColor(ground));
    {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing, false);
        const QFont qfont = canvasFont(font);
        p.setFont(qfont);
        p.setPen(toQColor(color));
        p.drawText(at.x, at.y + QFontMetrics(qfont).ascent(),
                   QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    }

    std::vector<std::uint32_t> pixels(std::size_t(size.width() * size.height()), argbOf(ground));
    const PixelRect box =
        paintText(pixels.data(), size.width(), size.height(), at, font, argbOf(color), utf8);
    const QRect reported(box.x, box.y, box.width, box.height);
    if (!box.empty() && !image.rect().contains(reported))
        return QStringLiteral("box at (%1,%2) outside the buffer").arg(box.x).arg(box.y);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const std::uint32_t got = pixels[std::size_t(y * size.width() + x)];
            if (got != (image.pixel(x, y) | 0xFF000000u))
                return QStringLiteral("pixel (%1,%2) differs").arg(x).arg(y);
            if (got != argbOf(ground) && (box.empty() || !reported.contains(x, y)))
                return QStringLiteral("pixel (%1,%2) outside the box").arg(x).arg(y);
        }
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(lodrix::Font)
Q_DECLARE_METATYPE(Texts)

class TextRasterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerLodrixFonts(); }

    // One row per font the lessons can ask for: the face's characters, the
    // lessons' texts in that font, and the cases Qt lays out its own way.
    void sameAsQt_data()
    {
        addColumns<Font, Texts, QString>({"font", "texts", "missing"});
        const Texts layoutCases = {
            {"A\tB", clBlack},
            {"Wq\tW\tq", clBlue},                // tab stops
            {"ab\u009Ccd", clRed},               // measured up to U+009C, drawn whole
            {"a\u00A0b\u00ADc\u200Bd", clBlack}, // no-break space, soft hyphen, zero-width space
            {"x\ny\rz", clBlack},                // line ends take no room
        };
        for (const FontFace face : {FontFace::SansSerif, FontFace::Symbol}) {
            for (const int size : pointSizes) {
                for (const bool bold : {false, true}) {
                    const Font font{face, size, clBlack, bold};
                    auto [texts, missing] = faceCharacters(font);
                    texts.insert(layoutCases.begin(), layoutCases.end());
                    if (const auto found = lessonTexts().find(fontKey(font)); found != lessonTexts().end())
                        texts.insert(found->second.begin(), found->second.end());
                    QTest::addRow("%s %d pt%s", face == FontFace::Symbol ? "Symbol" : "MS Sans Serif", size,
                                  bold ? " bold" : "")
                        << font << texts << QString::fromStdString(missing);
                }
            }
        }
    }
    void sameAsQt()
    {
        QFETCH(Font, font);
        QFETCH(Texts, texts);
        QFETCH(QString, missing);
        const QFontMetrics metrics(canvasFont(font));
        // The cell the tables give, which places no pixel by itself.
        const auto faces = glyphFaces();
        const auto table = std::find_if(faces.begin(), faces.end(), [&](const GlyphFace &f) {
            return f.face == font.face && f.bold == font.bold && f.pixelSize == pixelSizeFor(font);
        });
        QVERIFY(table != faces.end());
        QCOMPARE(table->ascentPx, metrics.ascent());
        QCOMPARE(table->heightPx, metrics.height());

        for (const auto &[text, color] : texts) {
            const QString qtext = QString::fromStdString(text);
            QCOMPARE(textWidth(font, text), metrics.horizontalAdvance(qtext));
            const QSize size(metrics.horizontalAdvance(qtext) + 2 * marginPx,
                             metrics.height() + 2 * marginPx);
            const Point free{marginPx, marginPx};
            const Point leftTopCut{-size.width() / 3, -metrics.ascent() / 2};
            const Point rightBottomCut{size.width() / 2, size.height() - metrics.height() / 2};
            for (const Point at : {free, leftTopCut, rightBottomCut}) {
                const QString diff = difference(font, color, text, size, at);
                QVERIFY2(diff.isEmpty(), qPrintable(qtext + u": "_qs + diff));
            }
        }
        // Qt borrows these from a desktop font; the tables draw nothing for them.
        const std::string lacking = missing.toStdString();
        std::vector<std::uint32_t> pixels(64 * 64, 0);
        QVERIFY(paintText(pixels.data(), 64, 64, {0, 0}, font, argbOf(clBlack), lacking).empty());
        QCOMPARE(textWidth(font, lacking), 0);
    }

    // Malformed UTF-8 draws what its well-formed parts draw, and is never read
    // past its end.
    void malformedUtf8_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addRow("cut lead byte") << QByteArray("Xy\xC3");
        QTest::addRow("cut three-byte") << QByteArray("\xE2\x82Xy");
        QTest::addRow("overlong slash") << QByteArray("X\xC0\xAFy");
        QTest::addRow("surrogate") << QByteArray("X\xED\xA0\x80y");
        QTest::addRow("beyond U+10FFFF") << QByteArray("X\xF4\x90\x80\x80y");
        QTest::addRow("invalid bytes") << QByteArray("\xFFX\xFEy");
    }
    void malformedUtf8()
    {
        QFETCH(QByteArray, text);
        const Font font{FontFace::SansSerif, 8, clBlack, false};
        constexpr int w = 40, h = 20;
        std::vector<std::uint32_t> got(w * h, 0), expected(w * h, 0);
        // A copy of just the text's bytes: a read past them shows under ASan.
        const std::string bytes(text.constData(), std::size_t(text.size()));
        paintText(got.data(), w, h, {2, 2}, font, argbOf(clBlack), bytes);
        paintText(expected.data(), w, h, {2, 2}, font, argbOf(clBlack), "Xy");
        QVERIFY(got == expected);
        QCOMPARE(textWidth(font, bytes), textWidth(font, "Xy"));
    }
};

QTEST_MAIN(TextRasterTest)
#include "tst_textraster.moc"
