// The general number format of the value row.

#include "render/numberformat.h"

#include <QTest>

using lodrix::NumberFormat;

class TestNumberFormat : public QObject {
    Q_OBJECT
private slots:
    void general_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addRow("French decimal") << "," << 4.9 << "4,9";
        QTest::addRow("English decimal") << "." << 4.9 << "4.9";
        QTest::addRow("whole value") << "," << 146.0 << "146";
        QTest::addRow("binary noise past 15 digits") << "," << 0.1 * 3 << "0,3";
        QTest::addRow("negative") << "," << -0.5 << "-0,5";
        QTest::addRow("negative zero, as ceil(-0.4) gives") << "," << -0.0 << "0";
        QTest::addRow("fifteen digits") << "." << 1.0 / 3.0 << "0.333333333333333";
        QTest::addRow("tiny") << "," << 2.78e-16 << "2,78E-16";
        QTest::addRow("huge") << "." << 1.5e20 << "1.5E+20";
        QTest::addRow("smallest in fixed notation") << "." << 0.00001 << "0.00001";
        QTest::addRow("multi-byte separator") << "\u066B" << 2.5 << "2\u066B5";
    }
    void general()
    {
        QFETCH(QString, separator);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(NumberFormat(separator.toStdString()).general(value)), text);
    }

    // What a person types into a laboratory field, in either language; -1
    // stands for a text that is no number.
    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addRow("comma") << "2,5" << 2.5;
        QTest::addRow("point") << "2.5" << 2.5;
        QTest::addRow("blanks around") << " 23,92 " << 23.92;
        QTest::addRow("no whole part") << ",25" << 0.25;
        QTest::addRow("separator last") << "4," << 4.0;
        QTest::addRow("sign") << "-0,5" << -0.5;
        QTest::addRow("whole") << "100" << 100.0;
        QTest::addRow("two separators") << "2,5.1" << -1.0;
        QTest::addRow("thousands as a French page groups them") << "1 000" << -1.0;
        QTest::addRow("empty") << "" << -1.0;
        QTest::addRow("separator alone") << "," << -1.0;
        QTest::addRow("letters") << "2,5x" << -1.0;
        QTest::addRow("sign inside") << "2-5" << -1.0;
    }
    void read()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        const std::optional<double> got = NumberFormat::read(text.toStdString());
        QCOMPARE(got.value_or(-1.0), value);
    }

    // A field reads back what it shows, in both languages.
    void readsWhatItWrites()
    {
        for (const char *separator : {",", "."}) {
            for (const double value : {0.1, 2.5, 23.92, 100.0, 0.27})
                QCOMPARE(NumberFormat::read(NumberFormat(separator).general(value)), value);
        }
    }
};

QTEST_APPLESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
