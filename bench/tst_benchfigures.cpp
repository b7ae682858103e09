// The figures the benchmark prints: medians and percentiles of samples, and
// the one-line JSON object that ends each mode.

#include "json.h"
#include "stats.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace lodrix::bench;

using Samples = std::vector<double>;
Q_DECLARE_METATYPE(Samples)

class TestBenchFigures : public QObject {
    Q_OBJECT

private slots:
    void medianOfSamples_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<double>("expected");
        QTest::addRow("none") << Samples{} << 0.0;
        QTest::addRow("one") << Samples{0.3} << 0.3;
        QTest::addRow("odd count, unsorted") << Samples{5, 1, 4, 2, 3} << 3.0;
        QTest::addRow("even count: mean of the middle two") << Samples{4, 1, 3, 2} << 2.5;
        QTest::addRow("an outlier does not move it") << Samples{0.2, 0.2, 0.3, 90.0, 0.2} << 0.2;
    }
    void medianOfSamples()
    {
        QFETCH(Samples, samples);
        QFETCH(double, expected);
        QCOMPARE(median(samples), expected);
    }

    void nearestRankPercentile_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<double>("p");
        QTest::addColumn<double>("expected");
        Samples hundred;
        for (int i = 100; i >= 1; --i)
            hundred.push_back(i);
        QTest::addRow("none") << Samples{} << 99.0 << 0.0;
        QTest::addRow("p99 of 1..100") << hundred << 99.0 << 99.0;
        QTest::addRow("p100 is the largest") << hundred << 100.0 << 100.0;
        QTest::addRow("p50 of 1..100") << hundred << 50.0 << 50.0;
        // 319 intervals of a paced run: rank ceil(0.99 * 319) = 316, so the
        // three slowest do not count.
        Samples paced(316, 10.0);
        paced.insert(paced.end(), {30.0, 40.0, 50.0});
        QTest::addRow("p99 of a paced run") << paced << 99.0 << 10.0;
        QTest::addRow("one sample") << Samples{7.0} << 99.0 << 7.0;
    }
    void nearestRankPercentile()
    {
        QFETCH(Samples, samples);
        QFETCH(double, p);
        QFETCH(double, expected);
        QCOMPARE(percentile(samples, p), expected);
    }

    void jsonLine()
    {
        JsonObject ticks;
        ticks.add("idle", 0.2633).add("presentation", std::nullopt);
        const std::string text = JsonObject()
                                     .add("tick_ms", ticks)
                                     .add("runs", 1000)
                                     .add("run_ms", 3189.1449)
                                     .add("nan", std::numeric_limits<double>::quiet_NaN())
                                     .text();
        QCOMPARE(QByteArray::fromStdString(text),
                 QByteArray(R"({"tick_ms": {"idle": 0.2633, "presentation": null}, "runs": 1000, )"
                            R"("run_ms": 3189.14, "nan": null})"));
    }
};

QTEST_APPLESS_MAIN(TestBenchFigures)
#include "tst_benchfigures.moc"
