// Text files as lines: where lines end, cutting a log back to its last
// entries, and taking a bounded part of a file without splitting a line or
// a character.

#include "TestSupport.h"
#include "TextLines.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTextLines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void split_data();
    void split();
    void lastLines_data();
    void lastLines();
    void take_data();
    void take();
    void readHead_data();
    void readHead();
};

void TestTextLines::split_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QByteArray() << QStringList {};
    QTest::newRow("no-break") << QByteArray("abc") << QStringList { "abc" };
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList { "a", "b" };
    QTest::newRow("lf") << QByteArray("a\nb") << QStringList { "a", "b" };
    QTest::newRow("lone-cr") << QByteArray("a\rb\r") << QStringList { "a", "b" };
    QTest::newRow("lf-cr-is-two-breaks") << QByteArray("a\n\rb") << QStringList { "a", "", "b" };
    QTest::newRow("only-break") << QByteArray("\r\n") << QStringList { "" };
    QTest::newRow("blank-lines") << QByteArray("\n\n x \n") << QStringList { "", "", " x " };
}

void TestTextLines::split()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitTextLines(QString::fromLatin1(bytes)), lines);
    QCOMPARE(CountLines(bytes), lines.size());
}

void TestTextLines::lastLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("keep");
    QTest::addColumn<QByteArray>("kept");

    QTest::newRow("last-two-of-four") << QByteArray("1\r\n2\r\n3\r\n4\r\n") << 2 << QByteArray("3\r\n4\r\n");
    QTest::newRow("line-ends-become-crlf") << QByteArray("1\n2\r3\n4") << 3 << QByteArray("2\r\n3\r\n4\r\n");
    QTest::newRow("fewer-than-kept") << QByteArray("1\n2\n") << 5 << QByteArray("1\r\n2\r\n");
    QTest::newRow("empty-lines-count")
        << QByteArray("a\r\n\r\n\r\nb\r\n") << 3 << QByteArray("\r\n\r\nb\r\n");
    QTest::newRow("bytes-kept") << QByteArray("x\n\xe9t\xc3\xa9\n") << 1 << QByteArray("\xe9t\xc3\xa9\r\n");
}

void TestTextLines::lastLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, keep);
    QFETCH(QByteArray, kept);
    QCOMPARE(LastLines(bytes, keep), kept);
}

void TestTextLines::take_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<bool>("fromEnd");
    QTest::addColumn<QByteArray>("taken");
    QTest::addColumn<bool>("complete");

    const QByteArray lines("one\r\ntwo\r\nthree\r\n"); // 17 bytes
    QTest::newRow("fits") << lines << 17 << false << lines << true;
    QTest::newRow("head-whole-lines") << lines << 12 << false << QByteArray("one\r\ntwo\r\n") << false;
    QTest::newRow("head-cut-after-cr") << lines << 9 << false << QByteArray("one\r\ntwo\r") << false;
    QTest::newRow("tail-whole-lines") << lines << 13 << true << QByteArray("two\r\nthree\r\n") << false;
    QTest::newRow("tail-not-inside-crlf") << lines << 8 << true << QByteArray("three\r\n") << false;
    // One line longer than the limit is cut, never inside a character:
    // "é" is two bytes in UTF-8.
    QTest::newRow("head-long-line-utf8")
        << QByteArray("ab\xc3\xa9\xc3\xa9") << 3 << false << QByteArray("ab") << false;
    QTest::newRow("tail-long-line-utf8")
        << QByteArray("\xc3\xa9\xc3\xa9z") << 4 << true << QByteArray("\xc3\xa9z") << false;
}

void TestTextLines::take()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxBytes);
    QFETCH(bool, fromEnd);
    QFETCH(QByteArray, taken);
    QFETCH(bool, complete);

    bool wasComplete = !complete;
    QCOMPARE(TakeLines(bytes, maxBytes, fromEnd, wasComplete), taken);
    QCOMPARE(wasComplete, complete);
}

void TestTextLines::readHead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QByteArray>("taken");
    QTest::addColumn<bool>("complete");

    QTest::newRow("small-file") << QByteArray("a\nb\n") << 100 << QByteArray("a\nb\n") << true;
    QTest::newRow("exactly-the-limit") << QByteArray("a\nb\n") << 4 << QByteArray("a\nb\n") << true;
    QTest::newRow("one-byte-over") << QByteArray("a\nb\nc") << 4 << QByteArray("a\nb\n") << false;
    QTest::newRow("empty-file") << QByteArray() << 4 << QByteArray() << true;
}

void TestTextLines::readHead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxBytes);
    QFETCH(QByteArray, taken);
    QFETCH(bool, complete);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"file.txt"_s);
    TestSupport::writeBytes(path, bytes);
    QByteArray got("stale");
    bool wasComplete = !complete;
    QVERIFY(ReadHeadOfFile(path, maxBytes, got, wasComplete));
    QCOMPARE(got, taken);
    QCOMPARE(wasComplete, complete);

    QVERIFY(!ReadHeadOfFile(dir.filePath(u"missing.txt"_s), maxBytes, got, wasComplete));
    QVERIFY(!ReadHeadOfFile(dir.path(), maxBytes, got, wasComplete)); // a folder
}

QTEST_GUILESS_MAIN(TestTextLines)
#include "tst_TextLines.moc"
