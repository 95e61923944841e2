// Cell and total texts of the song list, compared character for character.

#include "CellText.h"

#include <QTest>

class TestCellText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void split_data();
    void split();
    void sizeCell_data();
    void sizeCell();
    void sizeTotal_data();
    void sizeTotal();
    void timeTotal_data();
    void timeTotal();
    void playTime_data();
    void playTime();
    void timeCell_data();
    void timeCell();
};

void TestCellText::split_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << "Zandor-Daylight.mp3"
                           << "Zandor"
                           << "Daylight";
    QTest::newRow("spaced-dash") << "Zandor - Daylight.mp3"
                                 << "Zandor "
                                 << " Daylight";
    QTest::newRow("two-dashes") << "A-B-C.mp3"
                                << "A"
                                << "B-C";
    QTest::newRow("dot-in-title") << "A-B.C.mp3"
                                  << "A"
                                  << "B";
    QTest::newRow("no-dash") << "Untitled.mp3"
                             << ""
                             << "";
    QTest::newRow("dash-first") << "-Intro.mp3"
                                << ""
                                << "Intro";
    QTest::newRow("dot-in-artist") << "a.b-c.mp3"
                                   << "a.b"
                                   << "c";
    QTest::newRow("upper-ext") << "Song-X.MP3"
                               << "Song"
                               << "X";
    QTest::newRow("no-dot-after-dash") << "a.b-c"
                                       << "a.b"
                                       << "";
    QTest::newRow("dash-then-dot-at-once") << "A-.mp3"
                                           << "A"
                                           << "";
}

void TestCellText::split()
{
    QFETCH(QString, name);
    QFETCH(QString, artist);
    QFETCH(QString, title);
    QCOMPARE(CellText::ArtistPart(name), artist);
    QCOMPARE(CellText::TitlePart(name), title);
}

void TestCellText::sizeCell_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("cell");
    QTest::newRow("empty-file") << qint64(0) << "  0.0";
    QTest::newRow("rounds-down") << qint64(104857) << "  0.1"; // 0.09999 MB
    QTest::newRow("half-tenth") << qint64(52429) << "  0.1"; // 0.0500004 MB
    QTest::newRow("just-below") << qint64(52428) << "  0.0"; // 0.0499992 MB
    QTest::newRow("typical") << qint64(4404019) << "  4.2";
    QTest::newRow("99.9") << qint64(104752742) << " 99.9";
    QTest::newRow("999.9") << qint64(1048471142) << "999.9";
    QTest::newRow("1000-keeps-last-5") << qint64(1048576000) << "000.0"; // "1,000.0"
    QTest::newRow("over-2GiB") << qint64(3) * 1024 * 1024 * 1024 << "072.0"; // "3,072.0"
    QTest::newRow("vanished") << qint64(-1) << "  0.0";
}

void TestCellText::sizeCell()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, cell);
    QCOMPARE(CellText::SizeCell(bytes), cell);
}

void TestCellText::sizeTotal_data()
{
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("label");
    QTest::newRow("empty-folder") << 0.0 << "    0.0 MB";
    QTest::newRow("small") << 4404019.0 << "    4.2 MB";
    QTest::newRow("thousands") << 2345.6 * 1048576 << "2,345.6 MB";
    QTest::newRow("ten-thousands-cut") << 12345.6 * 1048576 << "2,345.6 MB";
    QTest::newRow("999.96-rounds-up") << 999.96 * 1048576 << "1,000.0 MB";
}

void TestCellText::sizeTotal()
{
    QFETCH(double, bytes);
    QFETCH(QString, label);
    QCOMPARE(CellText::SizeTotal(bytes), label);
}

void TestCellText::timeTotal_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("label");
    QTest::newRow("none") << 0.0 << "00:00 hr";
    QTest::newRow("seconds-truncated") << 3599.0 << "00:59 hr";
    QTest::newRow("one-hour") << 3600.0 << "01:00 hr";
    QTest::newRow("23:59") << 86340.0 << "23:59 hr";
    QTest::newRow("wraps-at-24") << 90600.0 << "01:10 hr"; // 25 h 10 min
}

void TestCellText::timeTotal()
{
    QFETCH(double, seconds);
    QFETCH(QString, label);
    QCOMPARE(CellText::TimeTotal(seconds / 86400.0), label);
}

void TestCellText::playTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("seconds");
    QTest::newRow("mm:ss") << "03:45" << true << 225;
    QTest::newRow("m:ss") << "3:45" << true << 225;
    QTest::newRow("59:59") << "59:59" << true << 3599;
    QTest::newRow("minutes-60") << "60:00" << false << 0;
    QTest::newRow("seconds-60") << "01:60" << false << 0;
    QTest::newRow("unknown") << "??:??" << false << 0;
    QTest::newRow("no-ini") << "No INI" << false << 0;
    QTest::newRow("hours") << "01:02:03" << false << 0;
    QTest::newRow("three-digits") << "100:00" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("trailing-colon") << "03:" << false << 0;
}

void TestCellText::playTime()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, seconds);
    double days = -1;
    QCOMPARE(CellText::ParsePlayTime(text, days), valid);
    if (valid)
        QCOMPARE(qRound(days * 86400.0), seconds);
}

void TestCellText::timeCell_data()
{
    QTest::addColumn<QString>("playTime");
    QTest::addColumn<QString>("cell");
    QTest::newRow("default") << " 00:00"
                             << "No INI";
    QTest::newRow("value") << " 03:45"
                           << " 03:45";
    QTest::newRow("unknown") << " ??:??"
                             << " ??:??";
    QTest::newRow("zero-with-blanks") << "  0:00"
                                      << "  0:00";
    QTest::newRow("zero-between-controls") << "\t00:00\r"
                                           << "No INI";
    QTest::newRow("zero-then-blank") << "00:00 "
                                     << "No INI";
    QTest::newRow("zero-then-letter") << " 00:00x"
                                      << " 00:00x";
    QTest::newRow("all-blank") << "      "
                               << "      ";
}

void TestCellText::timeCell()
{
    QFETCH(QString, playTime);
    QFETCH(QString, cell);
    QCOMPARE(CellText::TimeCell(playTime), cell);
}

QTEST_APPLESS_MAIN(TestCellText)
#include "tst_CellText.moc"
