// The smaller of two unsigned 16-bit values.

#include "NUM_Func.h"

#include <QTest>

class TestNumFunc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void minWord_data();
    void minWord();
};

void TestNumFunc::minWord_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("expected");

    QTest::newRow("equal") << 7 << 7 << 7;
    QTest::newRow("first-smaller") << 6 << 7 << 6;
    QTest::newRow("second-smaller") << 8 << 7 << 7;
    QTest::newRow("zero-and-max") << 0 << 65535 << 0;
    QTest::newRow("max-and-max-1") << 65535 << 65534 << 65534;
    // Taken as signed, 32768 would be the smaller one.
    QTest::newRow("high-bit-is-large") << 32768 << 1 << 1;
    QTest::newRow("high-bit-second") << 32767 << 32768 << 32767;
}

void TestNumFunc::minWord()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, expected);
    QCOMPARE(int(MinWord(quint16(a), quint16(b))), expected);
}

QTEST_APPLESS_MAIN(TestNumFunc)
#include "tst_NUM_Func.moc"
