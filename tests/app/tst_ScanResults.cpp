// The error box after a scan: its failures one a line, worded as every
// error box words them, and no more than ten of them with the rest counted.

#include "ScanResults.h"

#include <QTest>

class TestScanResults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void errorsText_data();
    void errorsText();
};

void TestScanResults::errorsText_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    const auto lines = [](int n) {
        QStringList out;
        for (int i = 1; i <= n; ++i)
            out << QStringLiteral("Unable to read song %1.").arg(i);
        return out.join(QLatin1Char('\n'));
    };
    QTest::newRow("none") << 0 << QString();
    QTest::newRow("one") << 1 << lines(1);
    QTest::newRow("ten") << 10 << lines(10);
    QTest::newRow("eleven") << 11 << lines(10) + QStringLiteral("\n(1 more)");
    QTest::newRow("many") << 250 << lines(10) + QStringLiteral("\n(240 more)");
}

void TestScanResults::errorsText()
{
    QFETCH(int, count);
    QFETCH(QString, text);
    QStringList errors;
    for (int i = 1; i <= count; ++i)
        errors << QStringLiteral("  Unable to read song %1 ").arg(i);
    QCOMPARE(TScanResults::errorsText(errors), text);
}

QTEST_MAIN(TestScanResults)
#include "tst_ScanResults.moc"
