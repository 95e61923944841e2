// Strict conversion of a text to a 32-bit whole number and its message.

#include "QLXError.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestQlxError : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strToInt_data();
    void strToInt();
};

void TestQlxError::strToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("valid");

    QTest::newRow("zero") << u"0"_s << 0 << true;
    QTest::newRow("plain") << u"1234"_s << 1234 << true;
    QTest::newRow("plus-sign") << u"+7"_s << 7 << true;
    QTest::newRow("minus-sign") << u"-7"_s << -7 << true;
    QTest::newRow("minus-zero") << u"-0"_s << 0 << true;
    QTest::newRow("leading-zeros") << u"000000000000042"_s << 42 << true;
    QTest::newRow("max-1") << u"2147483646"_s << 2147483646 << true;
    QTest::newRow("max") << u"2147483647"_s << 2147483647 << true;
    QTest::newRow("max+1") << u"2147483648"_s << 0 << false;
    QTest::newRow("min+1") << u"-2147483647"_s << -2147483647 << true;
    QTest::newRow("min") << u"-2147483648"_s << int(-2147483647 - 1) << true;
    QTest::newRow("min-1") << u"-2147483649"_s << 0 << false;
    QTest::newRow("wraps-to-small-in-64-bits") << u"18446744073709551617"_s << 0 << false;
    QTest::newRow("empty") << QString() << 0 << false;
    QTest::newRow("sign-only") << u"-"_s << 0 << false;
    QTest::newRow("two-signs") << u"--1"_s << 0 << false;
    QTest::newRow("leading-blank") << u" 1"_s << 0 << false;
    QTest::newRow("trailing-blank") << u"1 "_s << 0 << false;
    QTest::newRow("hex") << u"$1F"_s << 0 << false;
    QTest::newRow("hex-0x") << u"0x1F"_s << 0 << false;
    QTest::newRow("decimal-point") << u"1.0"_s << 0 << false;
    QTest::newRow("arabic-indic-digit") << u"\u0661"_s << 0 << false;
    QTest::newRow("fullwidth-digit") << u"\uff11"_s << 0 << false;
}

void TestQlxError::strToInt()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(bool, valid);

    QString message;
    int got = 0;
    try {
        got = StrToInt(text);
    } catch (const EQLXError &e) {
        message = e.message();
    }
    QCOMPARE(got, value);
    QCOMPARE(message, valid ? QString() : u'\'' + text + u"' is not a valid integer value"_s);
}

QTEST_APPLESS_MAIN(TestQlxError)
#include "tst_QLXError.moc"
