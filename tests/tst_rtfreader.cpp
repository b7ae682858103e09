// The RTF reader: a corpus of real files against reference text, formats of
// small snippets, damaged and hostile input, and our three commentary files.

#include "app/richtextwriter.h"
#include "rtf/documentbuilder.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <memory>
#include <random>

using lodrix::readRtf;
using lodrix::rtfPlainText;
using lodrix::rtf::DocumentBuilder;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString testData(const QString &relative, const char *root = "LODRIX_TESTDATA_DIR")
{
    return QDir(qEnvironmentVariable(root)).filePath(relative);
}

// The corpus's comparison rule, applied to both sides: NFC; invisible marks
// deleted; bullet glyphs and the non-breaking hyphen unified; white space
// runs made one blank and empty lines dropped, so paragraph and cell
// boundaries count, blank lines and indentation do not. Without labels, a list
// label starting a line is dropped too (we add U+2043, which TextEdit writes).
QString normalized(const QString &text, bool labels = true)
{
    static const QString deleted =
        QStringLiteral(u"\u00AD\u200B\uFEFF\u200E\u200F\u202A\u202B\u202C\u202D\u202E"
                       u"\u2066\u2067\u2068\u2069");
    static const QString bullets = QStringLiteral(u"\u2022\u00B7\uF0B7\u25AA\u25CF\u25E6\uF0A7\uF0FC");
    static const QRegularExpression label(QStringLiteral(
        u"^(?:[\u2022\u2013\u2043\\-o\u00A7]|\\d{1,3}[.)]|[a-zA-Z][.)]|[ivxlcIVXLC]{1,5}[.)])\\s+"));
    QString mapped;
    for (QChar c : text.normalized(QString::NormalizationForm_C)) {
        if (deleted.contains(c))
            continue;
        if (bullets.contains(c))
            c = QChar(0x2022);
        else if (c == QChar(0x2011))
            c = u'-';
        else if (c == QChar(0x2028) || c == QChar(0x2029) || c == u'\r')
            c = u'\n';
        mapped.append(c);
    }
    QStringList lines;
    for (QString line : mapped.split(u'\n')) {
        line = line.simplified();
        if (!labels)
            line.remove(label);
        if (!line.isEmpty())
            lines << line;
    }
    return lines.join(u'\n');
}

std::unique_ptr<QTextDocument> read(QByteArrayView rtf)
{
    auto doc = std::make_unique<QTextDocument>();
    readRtf(rtf, *doc);
    return doc;
}

// The format of the first character of the first occurrence of word.
QTextCharFormat formatOf(const QTextDocument &doc, const QString &word)
{
    QTextCursor c = doc.find(word);
    if (c.isNull())
        return {};
    c.setPosition(c.selectionStart() + 1);
    return c.charFormat();
}

QTextBlockFormat blockOf(const QTextDocument &doc, const QString &word)
{
    const QTextCursor c = doc.find(word);
    return c.isNull() ? QTextBlockFormat() : c.blockFormat();
}

// Where the reader deliberately shows something other than the reference
// (LibreOffice's text export), and why.
struct Deviation {
    const char *file;
    bool labels;            // false: compare without list labels
    const char16_t *hidden; // a word of \v text the reference keeps and we hide
};

constexpr Deviation deviations[] = {
    // Hidden text is hidden; LibreOffice's text export keeps it.
    {"pandoc_formatting", true, u"secret"},
    {"rtfjs_sample", true, u"hidden"},
    // The labels are the \listtext the file holds (U+2043 for the sub-level);
    // LibreOffice draws the list definition's own bullet.
    {"pandoc_list_simple", false, nullptr},
    // LibreOffice maps its OpenSymbol font's bytes itself; read as the
    // default code page, \'96 is an en dash.
    {"tika_testRTFListLibreOffice", false, nullptr},
};

QByteArray repeated(QByteArrayView unit, qsizetype bytes)
{
    return unit.toByteArray().repeated(bytes / unit.size());
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT
private slots:
    void corpus_data()
    {
        QTest::addColumn<QString>("name");
        const QDir dir(testData(QStringLiteral("rtf")));
        const QStringList files = dir.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
        QVERIFY2(files.size() >= 40, qPrintable(dir.path()));
        for (const QString &file : files)
            QTest::addRow("%s", qPrintable(file)) << QFileInfo(file).completeBaseName();
    }
    void corpus()
    {
        QFETCH(QString, name);
        const QByteArray rtf = fileBytes(testData(QStringLiteral("rtf/%1.rtf").arg(name)));
        QFile expectedFile(testData(QStringLiteral("rtf/expected/%1.txt").arg(name)));
        QVERIFY(expectedFile.open(QIODevice::ReadOnly));
        QString expected = QString::fromUtf8(expectedFile.readAll());

        bool labels = true;
        for (const Deviation &d : deviations) {
            if (name == QLatin1String(d.file)) {
                labels = d.labels;
                if (d.hidden)
                    expected.remove(QString::fromUtf16(d.hidden));
            }
        }
        QCOMPARE(normalized(rtfPlainText(rtf), labels), normalized(expected, labels));
    }

    void text_data()
    {
        // What the corpus leaves out or hides behind its normalisation.
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addRow("cp1250 document") << QByteArray(R"({\rtf1\ansi\ansicpg1250 \'b9\'9c})") << u"ąś"_qs;
        QTest::addRow("Symbol font letters")
            << QByteArray(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}}W{\f1 W q}q})")
            << u"WΩ θq"_qs;
        QTest::addRow("\\uc scoped by its group")
            << QByteArray(R"({\rtf1 {\uc2\u233xx}\u233?z})") << u"ééz"_qs;
        QTest::addRow("a group ends the skip") << QByteArray(R"({\rtf1\uc3 \u233{x}y})") << u"éxy"_qs;
        QTest::addRow("control symbols")
            << QByteArray(R"({\rtf1 a\~b\-c\_d\{\}\\})")
            << u"a b\u00ADc\u2011d{}\\"_qs; // no-break space as Qt's plain text gives it
    }
    void text()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(rtfPlainText(rtf), text);
    }

    void characterFormats()
    {
        const auto doc = read(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Courier New;}})"
                              R"({\colortbl;\red255\green0\blue0;\red0\green128\blue0;})"
                              R"(plain {\b bold{\i italic}} {\cf1\cb2 redongreen} {\highlight1 marked})"
                              R"( {\fs99999999999 huge\fs-5 tiny} {\f1 mono} \b yes\plain nope})");
        QVERIFY(formatOf(*doc, "bold").font().bold());
        QVERIFY(formatOf(*doc, "italic").fontItalic() && formatOf(*doc, "italic").font().bold());
        QCOMPARE(formatOf(*doc, "redongreen").foreground().color(), QColor(255, 0, 0));
        QCOMPARE(formatOf(*doc, "redongreen").background().color(), QColor(0, 128, 0));
        QCOMPARE(formatOf(*doc, "marked").background().color(), QColor(255, 0, 0));
        QCOMPARE(formatOf(*doc, "plain").foreground().style(), Qt::NoBrush); // automatic colour
        QCOMPARE(formatOf(*doc, "plain").fontPointSize(), 12.0);
        QCOMPARE(formatOf(*doc, "huge").fontPointSize(), 1638.0); // clamped
        QCOMPARE(formatOf(*doc, "tiny").fontPointSize(), 12.0);
        QCOMPARE(formatOf(*doc, "mono").fontFamilies().toStringList(), QStringList{"Courier New"});
        QCOMPARE(formatOf(*doc, "plain").fontFamilies().toStringList(),
                 QStringList{"Arial"}); // no \deff: font 0
        QVERIFY(formatOf(*doc, "yes").font().bold());
        QVERIFY(!formatOf(*doc, "nope").font().bold());
    }

    void paragraphFormats_data()
    {
        QTest::addColumn<QByteArray>("words");
        QTest::addColumn<int>("alignment");
        for (const char *column : {"left", "right", "first", "before", "after"})
            QTest::addColumn<qreal>(column);
        // 15 twips to the pixel.
        QTest::addRow("centred") << QByteArray("\\qc") << int(Qt::AlignHCenter) << 0.0 << 0.0 << 0.0 << 0.0
                                 << 0.0;
        QTest::addRow("indents") << QByteArray("\\qj\\li720\\ri360\\fi-360") << int(Qt::AlignJustify) << 48.0
                                 << 24.0 << -24.0 << 0.0 << 0.0;
        QTest::addRow("spacing") << QByteArray("\\qr\\sb120\\sa240") << int(Qt::AlignRight) << 0.0 << 0.0
                                 << 0.0 << 8.0 << 16.0;
        QTest::addRow("reset by \\pard")
            << QByteArray("\\qc\\li720\\pard") << int(Qt::AlignLeft) << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::addRow("clamped to 22 inches") << QByteArray("\\li-99999999\\sa99999999") << int(Qt::AlignLeft)
                                              << -2112.0 << 0.0 << 0.0 << 0.0 << 2112.0;
    }
    void paragraphFormats()
    {
        QFETCH(QByteArray, words);
        QFETCH(int, alignment);
        // The properties in force at \par are those of the paragraph it ends.
        const auto doc = read("{\\rtf1 before\\par\\pard" + words + " target\\par\\pard after}");
        const QTextBlockFormat b = blockOf(*doc, "target");
        QCOMPARE(int(b.alignment() & Qt::AlignHorizontal_Mask), alignment);
        QTEST(b.leftMargin(), "left");
        QTEST(b.rightMargin(), "right");
        QTEST(b.textIndent(), "first");
        QTEST(b.topMargin(), "before");
        QTEST(b.bottomMargin(), "after");
        QCOMPARE(blockOf(*doc, "after").leftMargin(), 0.0);
    }

    void tables()
    {
        const auto doc =
            read(R"({\rtf1 before\par\trowd\trqc\cellx1000\cellx2000\cellx3000)"
                 R"(\pard\intbl x11\cell\qr x12\par y12\cell x13\cell\row)"
                 R"(\trowd\cellx1000\cellx2000\cellx3000\pard\intbl x21\cell x22\cell\row\pard after\par})");
        QTextTable *table = doc->find("x11").currentTable();
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 3);
        QCOMPARE(table->format().alignment(), Qt::AlignHCenter);
        const auto cellText = [table](int r, int col) {
            QTextCursor cc = table->cellAt(r, col).firstCursorPosition();
            cc.setPosition(table->cellAt(r, col).lastCursorPosition().position(), QTextCursor::KeepAnchor);
            return cc.selectedText();
        };
        QCOMPARE(cellText(0, 1), u"x12\u2029y12"_qs);
        QCOMPARE(cellText(1, 2), QString());
        QCOMPARE(int(blockOf(*doc, "y12").alignment() & Qt::AlignHorizontal_Mask), int(Qt::AlignRight));
        QCOMPARE(int(blockOf(*doc, "x11").alignment() & Qt::AlignHorizontal_Mask), int(Qt::AlignLeft));
        QVERIFY(!doc->find("after").currentTable());
        QCOMPARE(normalized(doc->toPlainText()), u"before\nx11\nx12\ny12\nx13\nx21\nx22\nafter"_qs);
    }

    void wideRowsFoldIntoTheLastColumn()
    {
        QByteArray rtf = "{\\rtf1\\intbl ";
        for (int i = 0; i < DocumentBuilder::maxColumns + 6; ++i)
            rtf += QByteArray::number(i) + "\\cell ";
        rtf += "\\row}";
        const auto doc = read(rtf);
        QTextTable *table = doc->find("0").currentTable();
        QVERIFY(table);
        QCOMPARE(table->columns(), DocumentBuilder::maxColumns);
        // Nothing is lost: every cell's text is still there, in order.
        const QStringList cells = normalized(doc->toPlainText()).split(u'\n');
        for (int i = 0; i < DocumentBuilder::maxColumns + 6; ++i)
            QCOMPARE(cells.value(i), QString::number(i));
        QCOMPARE(cells.size(), DocumentBuilder::maxColumns + 6);
    }

    void longTablesContinueAsNewTables()
    {
        const int rows = DocumentBuilder::maxTableCells / 2 + 10;
        QByteArray rtf = "{\\rtf1 ";
        for (int r = 0; r < rows; ++r)
            rtf +=
                "\\intbl r" + QByteArray::number(r) + "a\\cell r" + QByteArray::number(r) + "b\\cell\\row\n";
        rtf += "\\pard end}";
        const auto doc = read(rtf);
        QTextTable *first = doc->find("r0a").currentTable();
        QTextTable *last = doc->find(QStringLiteral("r%1b").arg(rows - 1)).currentTable();
        QVERIFY(first && last && first != last);
        QVERIFY(first->rows() * first->columns() <= DocumentBuilder::maxTableCells);
        QCOMPARE(first->rows() + last->rows(), rows);
        QVERIFY(!doc->find("end").currentTable());
    }

    // Damaged and hostile input: never a crash, never a hang, and the text
    // that can be recovered is shown.
    void malformed_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addRow("extra closing braces") << QByteArray(R"({\rtf1 a}}}} b{\b c})") << u"a bc"_qs;
        QTest::addRow("huge parameters") // \uc is capped at 16
            << QByteArray(R"({\rtf1\fs99999999999999999999 a\li-99999999999999 b\cf2147483647 c\uc99999999)"
                          R"(\u233 0123456789abcdefd})")
            << u"abcéd"_qs;
        QTest::addRow("negative parameters")
            << QByteArray(R"({\rtf1\fs-5 a\uc-3\u233 b\bin-7 c\ansicpg-1250\'e9\f-2 d})") << u"aébcéd"_qs;
        QTest::addRow("\\u beyond Unicode") << QByteArray(R"({\rtf1\u99999999?\u-99999?x})") << u"��x"_qs;
        QTest::addRow("\\bin longer than the file") << QByteArray("{\\rtf1 a\\bin999999 bcd") << u"a"_qs;
        QTest::addRow("broken hex escape")
            << QByteArray(R"({\rtf1 a\'zzb\'4)") << u"azzb4"_qs; // the escape is dropped, not what follows it
        QTest::addRow("NUL and control bytes")
            << QByteArray("{\\rtf1 a").append('\0').append("b\x01\x7f").append("c}") << u"abc"_qs;
        QTest::addRow("Qt's frame markers as \\u")
            << QByteArray(R"({\rtf1 a\u64976?\u65532?b\u8233?c})") << u"ab\nc"_qs;
        QTest::addRow("cell and row with no table")
            << QByteArray(R"({\rtf1 a\cell b\row c})") << u"a\nb\nc"_qs;
        QTest::addRow("table left open") << QByteArray(R"({\rtf1 \intbl a\cell b)") << u"a\nb"_qs;
        QTest::addRow("font table never closed") << QByteArray(R"({\rtf1{\fonttbl{\f0 Arial;})") << QString();
    }
    void malformed()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(normalized(rtfPlainText(rtf)), text);
    }

    void deepNesting()
    {
        constexpr int depth = 100'000;
        const QByteArray open(depth, '{');
        const QByteArray close(depth, '}');
        QCOMPARE(rtfPlainText("{\\rtf1 " + open + "deep" + close + " after}"), u"deep after"_qs);
        // A skipped destination is counted, not stacked, however deep.
        QCOMPARE(rtfPlainText("{\\rtf1 a{\\*\\x " + open + close + "}b}"), u"ab"_qs);
        // Within the stacked depth every group restores its formats.
        const auto doc = read("{\\rtf1 " + QByteArray(500, '{') + "\\b x" + QByteArray(500, '}') + "y}");
        QVERIFY(formatOf(*doc, "x").font().bold());
        QVERIFY(!formatOf(*doc, "y").font().bold());
        // Unclosed groups by the hundred thousand: still the text.
        QCOMPARE(rtfPlainText("{\\rtf1 " + open + "left open"), u"left open"_qs);
    }

    void truncatedFilesGiveTheirFirstWords()
    {
        const QByteArray full = fileBytes(testData(QStringLiteral("rtf/rtfjs_paragraph-properties.rtf")));
        QVERIFY(!full.isEmpty());
        const QStringList words =
            normalized(rtfPlainText(full)).split(QRegularExpression(QStringLiteral("\\s+")));
        for (qsizetype cut = 0; cut < full.size(); cut += 7) {
            QStringList got = normalized(rtfPlainText(full.first(cut)))
                                  .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
            if (!got.isEmpty())
                got.removeLast(); // the last word may be cut
            QCOMPARE(got, words.first(got.size()));
        }
    }

    void junk()
    {
        std::mt19937 random(20240611); // fixed: the same junk on every run
        QByteArray bytes(1 << 20, Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random());
        QTextDocument doc;
        QString error;
        QVERIFY(!readRtf(bytes, doc, &error));
        QVERIFY(!error.isEmpty());
        // Junk made of RTF's own bytes, behind a header.
        static constexpr char alphabet[] = "{}\\\\\\'*ubinparcellrowfs0123456789-; \r\nabc";
        for (char &b : bytes)
            b = alphabet[random() % (sizeof alphabet - 1)];
        QVERIFY2(readRtf("{\\rtf1 " + bytes, doc, &error), qPrintable(error));
    }

    void largeFilesAreCutAtTheLimits()
    {
        // 50 MB of paragraphs: read up to the paragraph limit, and said so.
        QTextDocument doc;
        QString error;
        QVERIFY(!readRtf("{\\rtf1 " + repeated("Ligne\\par ", 50 << 20) + "}", doc, &error));
        QVERIFY(error.contains(u"volumineux"));
        QCOMPARE(doc.blockCount(), DocumentBuilder::maxParagraphs);
        QCOMPARE(doc.firstBlock().text(), u"Ligne"_qs);
        // One endless paragraph: cut at the character limit.
        QVERIFY(!readRtf("{\\rtf1 " + repeated("abcdefgh", 12 << 20) + "}", doc, &error));
        QCOMPARE(doc.characterCount(), DocumentBuilder::maxCharacters + 1); // and the final paragraph mark
        // Below the limits nothing is cut: 5 MB in 20 000 paragraphs.
        QVERIFY(readRtf("{\\rtf1 " + repeated(QByteArray(250, 'x') + "\\par ", 5 << 20) + "}", doc, &error));
        QCOMPARE(doc.blockCount(), (5 << 20) / 255);
    }

    void commentaryFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("letters"); // which its language cannot write without
        QTest::addColumn<QStringList>("numbers");
        // The numbers each commentary quotes from its lesson; the English one
        // quotes them with a decimal point.
        const auto add = [](const char *name, const QString &letters, const QString &numbers) {
            const QStringList quoted = numbers.split(u'|');
            QTest::addRow("%s.rtf", name)
                << QString::fromLatin1(name) + u".rtf"_qs << letters + u'é' << quoted;
            QTest::addRow("%s.en.rtf", name) << QString::fromLatin1(name) + u".en.rtf"_qs << letters
                                             << QStringList(quoted).replaceInStrings(u","_qs, u"."_qs);
        };
        add("lodrix1", u"θΩ±"_qs, u"2,5|500|2,4 V|18|55|182|455|0,29 rad|0,8 s|0,64 ± 0,16 j"_qs);
        add("lodrix2", u"θΩ"_qs, u"6,8|2,5|1360|6,7 V|50|516|124|0,5 s"_qs);
        add("lodrix3", u"θΩ"_qs, u"140|1892|9,3 V|70|−112|0,205 rad"_qs);
        add("lodrix4", u"θ±"_qs, u"0,1 s|2047|200|2,5|18|55|(1 − a)/b0|E/(2 b1)"_qs);
    }
    void commentaryFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, letters);
        QFETCH(QStringList, numbers);
        const QByteArray rtf = fileBytes(testData(u"data/"_qs + file, "LODRIX_SOURCE_DIR"));
        QVERIFY(!rtf.isEmpty());
        // What word processors expect of an RTF 1.x file, and plain ASCII.
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
        QCOMPARE(rtf.count('{') - rtf.count("\\{"), rtf.count('}') - rtf.count("\\}"));
        for (char c : rtf)
            QVERIFY2(uchar(c) < 0x80, "accents are written \\'e9 or \\u233?");

        QTextDocument doc;
        QString error;
        QVERIFY2(readRtf(rtf, doc, &error), qPrintable(error));
        const QString text = doc.toPlainText();
        // Without loss: no markup leaks into the text, no character is lost.
        for (QChar c : u"\\{}\uFFFD"_qs)
            QVERIFY2(!text.contains(c), qPrintable(QString(c)));
        for (QChar c : letters)
            QVERIFY2(text.contains(c), qPrintable(QString(c)));
        for (const QString &n : numbers)
            QVERIFY2(normalized(text).contains(n), qPrintable(n));
        // One or two screens of the box that shows it, 361 x 465 pixels. The
        // document's face falls back to the machine's fonts, whose metrics move
        // the height by a line or so from one machine to the next.
        doc.setTextWidth(361);
        const double slackPx = 2 * QFontMetricsF(doc.defaultFont()).lineSpacing();
        QVERIFY2(doc.size().height() <= 2 * 465 + slackPx, qPrintable(QString::number(doc.size().height())));
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
