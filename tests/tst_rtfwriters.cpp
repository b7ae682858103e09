// The core's RTF reader through its two plain writers: the HTML the page
// shows escapes everything a file could smuggle in, the text keeps the
// paragraphs and cells in order, and the code pages the reader knows without
// Qt decode as Windows does.

#include "rtf/reader.h"
#include "rtf/writers.h"

#include <QRegularExpression>
#include <QTest>

#include <string>

using namespace lodrix;

namespace {

rtf::Document read(std::string_view data)
{
    rtf::Document doc;
    readRtf(data, doc);
    return doc;
}

QString text(std::string_view data)
{
    return QString::fromStdString(rtf::plainText(read(data)));
}

} // namespace

class TestRtfWriters : public QObject {
    Q_OBJECT
private slots:
    // Hostile files: whatever they hold, the HTML has only the writer's own
    // elements and styles, and nothing that would fetch or run anything.
    void htmlEscapesEverything_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("shown"); // as the HTML writes it
        QTest::addRow("a script element")
            << QByteArray(R"({\rtf1 <script>alert(1)</script>})") << "&lt;script&gt;alert(1)&lt;/script&gt;";
        QTest::addRow("escaped bytes and \\u") << QByteArray(R"({\rtf1 \'3cimg src=x onerror=alert(1)\u62?})")
                                               << "&lt;img src=x onerror=alert(1)&gt;";
        QTest::addRow("quotes that would end an attribute")
            << QByteArray(R"({\rtf1 " onmouseover="alert(1)' x='})")
            << "&quot; onmouseover=&quot;alert(1)&#39; x=&#39;";
        QTest::addRow("an entity left as it is") << QByteArray(R"({\rtf1 &lt;b&gt;})") << "&amp;lt;b&amp;gt;";
        QTest::addRow("a font name that would end the style")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial' x:url(http://x/y)\"><script>;}}\\f0 Hello}")
            << "font-family:'Arial xurlhttpxyscript', sans-serif;";
    }
    void htmlEscapesEverything()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, shown);
        const QString html = QString::fromStdString(rtf::html(read(rtf.toStdString())));
        QVERIFY2(html.contains(shown), qPrintable(html));
        QVERIFY2(!html.contains("<script", Qt::CaseInsensitive), qPrintable(html));
        QVERIFY2(!html.contains("<img", Qt::CaseInsensitive), qPrintable(html));
        QVERIFY2(!html.contains("url("), qPrintable(html));
        // Every element is one the writer makes.
        static const QRegularExpression tag(QStringLiteral("<(/?)([a-z]+)"));
        for (auto m = tag.globalMatch(html); m.hasNext();) {
            const QString name = m.next().captured(2);
            QVERIFY2(QStringList({"div", "p", "span", "br", "table", "tr", "td"}).contains(name),
                     qPrintable(name));
        }
    }

    void htmlFormats()
    {
        const std::string html = rtf::html(read(R"({\rtf1{\colortbl;\red160\green0\blue0;})"
                                                R"(\qc\sb120\li300\fi-150\b\i\ul\cf1\fs21 Title\par)"
                                                R"(\pard\plain\par\super 2\nosupersub\line x})"));
        for (const char *part :
             {"margin-top:8px;", "margin-left:20px;", "text-indent:-10px;", "text-align:center;",
              "font-size:10.5pt; font-weight:700; font-style:italic; text-decoration: underline;"
              " color:#a00000;",
              "<br></p>", "vertical-align:super;", "<br>x"})
            QVERIFY2(html.find(part) != std::string::npos, part);
    }

    void plainTextInOrder()
    {
        QCOMPARE(text(R"({\rtf1 before\par\intbl a\cell b\par c\cell\row\pard after\~end\line next})"),
                 u"before\na\nb\nc\nafter end\nnext\n"_qs);
    }

    // The code pages come from tables written at build time: the reader's
    // own Windows-1252, single-byte tables, the double-byte Asian pages and
    // UTF-8.
    void codePages_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addRow("Windows-1252") << QByteArray(R"({\rtf1\ansi \'80\'e9\'9c})") << u"€éœ"_qs;
        QTest::addRow("Windows-1251") << QByteArray(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})") << u"При"_qs;
        QTest::addRow("Mac Roman by a font")
            << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset77 Geneva;}}\f0 \'8e\'a5})") << u"é•"_qs;
        QTest::addRow("Shift-JIS pairs and a half-width kana")
            << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'82\'a0\'93\'fa\'b1})")
            << u"あ日ｱ"_qs;
        QTest::addRow("GBK") << QByteArray(R"({\rtf1\ansicpg936 \'d6\'d0\'ce\'c4})") << u"中文"_qs;
        QTest::addRow("Big5") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset136 MingLiU;}}\f0 \'a4\'a4})")
                              << u"中"_qs;
        QTest::addRow("Korean") << QByteArray(R"({\rtf1\ansicpg949 \'c7\'d1})") << u"한"_qs;
        QTest::addRow("a lead byte without its trail")
            << QByteArray(R"({\rtf1\ansicpg932 a\'82})") << u"a\uFFFD"_qs;
        QTest::addRow("UTF-8, good and broken")
            << QByteArray(R"({\rtf1\ansicpg65001 \'e2\'82\'ac\'f0\'9f\'98\'80 \'c3 \'ed\'a0\'80})")
            << u"€😀 \uFFFD \uFFFD"_qs;
        QTest::addRow("a page the reader does not know")
            << QByteArray(R"({\rtf1\ansicpg1361 \'e9})") << u"é"_qs;
    }
    void codePages()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QCOMPARE(::text(rtf.toStdString()), text + u'\n');
    }

    void problems_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("problem");
        QTest::addRow("RTF") << QByteArray("  \n{\\rtf1 x}") << int(ReadProblem::None);
        QTest::addRow("empty") << QByteArray(" \r\n\t") << int(ReadProblem::Empty);
        QTest::addRow("not RTF") << QByteArray("<html><script>") << int(ReadProblem::NotRtf);
        QTest::addRow("too large") << QByteArray("{\\rtf1 ") + QByteArray("x\\par ").repeated(200'000)
                                   << int(ReadProblem::TooLarge);
    }
    void problems()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, problem);
        rtf::Document doc;
        QCOMPARE(int(readRtf(data.toStdString(), doc)), problem);
        QCOMPARE(QString::fromUtf8(problemText(ReadProblem(problem))).isEmpty(),
                 problem == int(ReadProblem::None));
    }
};

QTEST_GUILESS_MAIN(TestRtfWriters)
#include "tst_rtfwriters.moc"
