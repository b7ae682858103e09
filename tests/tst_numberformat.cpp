// The general number format of the value row.

#include "render/numberformat.h"

#include <QTest>

#include <cmath>
#include <limits>

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
        QTest::addRow("ceil product near a whole") << "," << 0.1 * 20 << "2";
        QTest::addRow("cent grid") << "," << 0.01 * 59 << "0,59";
        QTest::addRow("negative") << "," << -0.5 << "-0,5";
        QTest::addRow("negative whole") << "," << -40.0 << "-40";
        QTest::addRow("negative zero") << "," << -0.0 << "0";
        QTest::addRow("ceil of a small negative") << "," << std::ceil(-0.4) << "0";
        QTest::addRow("fifteen digits") << "." << 1.0 / 3.0 << "0.333333333333333";
        QTest::addRow("tiny") << "," << 2.78e-16 << "2,78E-16";
        QTest::addRow("huge") << "." << 1.5e20 << "1.5E+20";
        QTest::addRow("just below the switch") << "." << 0.0001 << "0.0001";
        QTest::addRow("multi-byte separator") << "\u066B" << 2.5 << "2\u066B5";
    }
    void general()
    {
        QFETCH(QString, separator);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(NumberFormat(separator.toStdString()).general(value)), text);
    }

    void integers()
    {
        QCOMPARE(NumberFormat::integer(-14), std::string("-14"));
        QCOMPARE(NumberFormat::integer(1892), std::string("1892"));
    }
};

QTEST_APPLESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
