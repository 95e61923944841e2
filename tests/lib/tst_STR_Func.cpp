// Filling, cutting, counting and splitting of texts, with the song-name
// separators and field widths the catalogue uses.

#include "STR_Func.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestStrFunc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trim_data();
    void trim();
    void padRight_data();
    void padRight();
    void padLeft_data();
    void padLeft();
    void leftRight_data();
    void leftRight();
    void countLast_data();
    void countLast();
    void leftOfRightOf_data();
    void leftOfRightOf();
};

void TestStrFunc::trim_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("both");

    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("only-blanks") << u"   "_s << QString() << QString();
    QTest::newRow("blanks-both-ends") << u"  ab c  "_s << u"  ab c"_s << u"ab c"_s;
    QTest::newRow("control-chars") << u"\t\r\nab\x01\x1f\r\n"_s << u"\t\r\nab"_s << u"ab"_s;
    QTest::newRow("nul-char") << u"x\0"_s << u"x"_s << u"x"_s;
    // 32 is the last code removed, 33 ("!") the first one kept.
    QTest::newRow("code-33-kept") << u"! !"_s << u"! !"_s << u"! !"_s;
    QTest::newRow("no-break-space-kept") << u"\u00a0a\u00a0"_s << u"\u00a0a\u00a0"_s << u"\u00a0a\u00a0"_s;
    QTest::newRow("del-kept") << u"a\x7f"_s << u"a\x7f"_s << u"a\x7f"_s;
}

void TestStrFunc::trim()
{
    QFETCH(QString, s);
    QFETCH(QString, right);
    QFETCH(QString, both);
    QCOMPARE(StrTrimRight(s), right);
    QCOMPARE(StrTrim(s), both);
}

void TestStrFunc::padRight_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<QChar>("fill");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cut-to-width") << u"123456"_s << QChar(u' ') << 4 << u"1234"_s;
    QTest::newRow("fill-full-stops") << u"ab"_s << QChar(u'.') << 4 << u"ab.."_s;
    QTest::newRow("width-length-1") << u"abc"_s << QChar(u' ') << 2 << u"ab"_s;
    QTest::newRow("width-length") << u"abc"_s << QChar(u' ') << 3 << u"abc"_s;
    QTest::newRow("width-length+1") << u"abc"_s << QChar(u' ') << 4 << u"abc "_s;
    QTest::newRow("width-0") << u"abc"_s << QChar(u' ') << 0 << QString();
    QTest::newRow("width-negative") << u"abc"_s << QChar(u' ') << -3 << QString();
    QTest::newRow("empty-padded") << QString() << QChar(u'*') << 3 << u"***"_s;
}

void TestStrFunc::padRight()
{
    QFETCH(QString, s);
    QFETCH(QChar, fill);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(StrPadRight(s, fill, width), expected);
}

void TestStrFunc::padLeft_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<QChar>("fill");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("number-right-aligned") << u"12"_s << QChar(u' ') << 5 << u"   12"_s;
    QTest::newRow("keeps-last-chars") << u"123456"_s << QChar(u' ') << 4 << u"3456"_s;
    QTest::newRow("width-length-1") << u"abc"_s << QChar(u' ') << 2 << u"bc"_s;
    QTest::newRow("width-length") << u"abc"_s << QChar(u' ') << 3 << u"abc"_s;
    QTest::newRow("width-length+1") << u"abc"_s << QChar(u'0') << 4 << u"0abc"_s;
    QTest::newRow("width-1") << u"abc"_s << QChar(u' ') << 1 << u"c"_s;
    QTest::newRow("width-0") << u"abc"_s << QChar(u' ') << 0 << QString();
    QTest::newRow("width-negative") << u"abc"_s << QChar(u' ') << -1 << QString();
    QTest::newRow("empty-padded") << QString() << QChar(u' ') << 2 << u"  "_s;
}

void TestStrFunc::padLeft()
{
    QFETCH(QString, s);
    QFETCH(QChar, fill);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(StrPadLeft(s, fill, width), expected);
}

void TestStrFunc::leftRight_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");

    QTest::newRow("n-beyond-length") << u"abc"_s << 5 << u"abc"_s << u"abc"_s;
    QTest::newRow("n-length") << u"abc"_s << 3 << u"abc"_s << u"abc"_s;
    QTest::newRow("n-length-1") << u"abc"_s << 2 << u"ab"_s << u"bc"_s;
    QTest::newRow("n-1") << u"abc"_s << 1 << u"a"_s << u"c"_s;
    QTest::newRow("n-0") << u"abc"_s << 0 << QString() << QString();
    QTest::newRow("n-negative") << u"abc"_s << -2 << QString() << QString();
    // Blanks inside the text are kept, not taken for padding.
    QTest::newRow("blanks-kept") << u" a b "_s << 4 << u" a b"_s << u"a b "_s;
    QTest::newRow("empty") << QString() << 2 << QString() << QString();
}

void TestStrFunc::leftRight()
{
    QFETCH(QString, s);
    QFETCH(int, n);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QCOMPARE(StrLeft(s, n), left);
    QCOMPARE(StrRight(s, n), right);
}

void TestStrFunc::countLast_data()
{
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QString>("s");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lastPos");

    QTest::newRow("overlapping-in-aaaa") << u"aa"_s << u"aaaa"_s << 3 << 3;
    QTest::newRow("overlapping-in-aaa") << u"aa"_s << u"aaa"_s << 2 << 2;
    QTest::newRow("empty-sub") << QString() << u"aaaa"_s << 0 << 0;
    QTest::newRow("empty-s") << u"a"_s << QString() << 0 << 0;
    QTest::newRow("absent") << u"x"_s << u"abc"_s << 0 << 0;
    QTest::newRow("once-at-start") << u"ab"_s << u"abc"_s << 1 << 1;
    QTest::newRow("once-at-end") << u"bc"_s << u"abc"_s << 1 << 2;
    QTest::newRow("sub-equals-s") << u"abc"_s << u"abc"_s << 1 << 1;
    QTest::newRow("sub-longer-than-s") << u"abcd"_s << u"abc"_s << 0 << 0;
    QTest::newRow("separate") << u" - "_s << u"A - B - C"_s << 2 << 6;
    QTest::newRow("case-matters") << u"A"_s << u"aAa"_s << 1 << 2;
}

void TestStrFunc::countLast()
{
    QFETCH(QString, sub);
    QFETCH(QString, s);
    QFETCH(int, count);
    QFETCH(int, lastPos);

    int gotLast = -1;
    QCOMPARE(StrCountLast(sub, s, gotLast), count);
    QCOMPARE(gotLast, lastPos);
    QCOMPARE(StrCount(sub, s), count);
    QCOMPARE(StrLastPos(sub, s), lastPos);
}

void TestStrFunc::leftOfRightOf_data()
{
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");

    QTest::newRow("artist-title") << u" - "_s << u"Artist - Title"_s << u"Artist"_s << u"Title"_s;
    QTest::newRow("absent") << u" - "_s << u"Artist-Title"_s << QString() << QString();
    QTest::newRow("at-position-1") << u"-"_s << u"-Title"_s << QString() << u"Title"_s;
    QTest::newRow("at-end") << u"-"_s << u"Artist-"_s << u"Artist"_s << QString();
    QTest::newRow("first-occurrence") << u"-"_s << u"A-B-C"_s << u"A"_s << u"B-C"_s;
    QTest::newRow("sub-is-s") << u"abc"_s << u"abc"_s << QString() << QString();
    QTest::newRow("empty-sub") << QString() << u"abc"_s << QString() << QString();
    QTest::newRow("overlap-start") << u"aa"_s << u"xaaay"_s << u"x"_s << u"ay"_s;
}

void TestStrFunc::leftOfRightOf()
{
    QFETCH(QString, sub);
    QFETCH(QString, s);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QCOMPARE(StrLeftOf(sub, s), left);
    QCOMPARE(StrRightOf(sub, s), right);
}

QTEST_APPLESS_MAIN(TestStrFunc)
#include "tst_STR_Func.moc"
