// Finding text in the song list: which cells match (only a to z are taken
// as capitals), that every column is searched in row order, and where a
// search that starts part-way down the list ends.

#include "SongList.h"
#include "SongSearch.h"

#include <QTest>

class TestSongSearch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void contains_data();
    void contains();
    void findFrom_data();
    void findFrom();
};

void TestSongSearch::contains_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("lower-finds-capitals") << "ZANDOR"
                                          << "zandor" << true;
    QTest::newRow("lower-finds-mixed") << "Zandor's Song"
                                       << "zandor" << true;
    QTest::newRow("mixed-finds-lower") << "zandor"
                                       << "ZaNdOr" << true;
    QTest::newRow("inside-cell") << "The Harbour Lights"
                                 << "bour li" << true;
    QTest::newRow("at-end") << "Daylight"
                            << "light" << true;
    QTest::newRow("whole-cell") << "Daylight"
                                << "daylight" << true;
    QTest::newRow("text-longer-than-cell") << "Day"
                                           << "Daylight" << false;
    QTest::newRow("runs-past-end") << "Daylig"
                                   << "light" << false;
    QTest::newRow("repeated-prefix") << "aaab"
                                     << "aab" << true;
    QTest::newRow("near-miss") << "abcab"
                               << "cabd" << false;
    QTest::newRow("a-umlaut-not-folded") << "Ärger"
                                         << "ärger" << false;
    QTest::newRow("a-umlaut-exact") << "Ärger"
                                    << "Är" << true;
    QTest::newRow("e-acute-not-folded") << "CAFÉ"
                                        << "café" << false;
    QTest::newRow("sharp-s-not-ss") << "STRASSE"
                                    << "straße" << false;
    QTest::newRow("backtick-not-at-sign") << "@home"
                                          << "`home" << false;
    QTest::newRow("brace-not-bracket") << "[live]"
                                       << "{live]" << false;
    QTest::newRow("digit") << "3:45"
                           << "3" << true;
    QTest::newRow("empty-text") << "Daylight"
                                << "" << false;
    QTest::newRow("empty-cell") << ""
                                << "a" << false;
    QTest::newRow("blank") << "Two Words"
                           << " " << true;
}

void TestSongSearch::contains()
{
    QFETCH(QString, cell);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(SongSearch::Contains(cell, SongSearch::Fold(text)), match);
}

void TestSongSearch::findFrom_data()
{
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::newRow("artist-first-row") << 1 << "zandor" << 1;
    QTest::newRow("next-is-title") << 2 << "zandor" << 3;
    QTest::newRow("none-after") << 4 << "zandor" << 0;
    QTest::newRow("time-cell") << 1 << "4:1" << 2;
    QTest::newRow("size-cell") << 1 << "lock" << 3;
    QTest::newRow("year-cell") << 1 << "1987" << 4;
    QTest::newRow("count-cell") << 1 << "12" << 2;
    QTest::newRow("mark-cell-last-column") << 3 << "x" << 3;
    QTest::newRow("digit-before-title") << 1 << "9" << 1;
    QTest::newRow("umlaut-exact") << 1 << "Ä" << 4;
    QTest::newRow("umlaut-lower") << 1 << "ä" << 0;
    QTest::newRow("empty") << 1 << "" << 0;
    QTest::newRow("header-never") << 0 << "artist" << 0;
    QTest::newRow("header-skipped-for-first-song") << 0 << "i" << 1;
    QTest::newRow("start-below-one") << -5 << "daylight" << 1;
    QTest::newRow("start-on-last") << 4 << "rger" << 4;
    QTest::newRow("start-past-last") << 5 << "rger" << 0;
}

void TestSongSearch::findFrom()
{
    QFETCH(int, startRow);
    QFETCH(QString, text);
    QFETCH(int, row);
    TSongList songs;
    const QStringList cells[] = {
        { "Artist", "Title", " Time", " Size", " Year", "Count", "?" },
        { "ZANDOR", "Daylight", "3:45", "4.2", "1999", "0", " " },
        { "", "Harbour", "4:10", "3.9", "2003", "12", "V" },
        { "Merel", "Zandor's Song", "2:58", "Lock", "", "3", "X" },
        { "", "Ärger", "5:01", "6.1", "1987", "", "I" },
    };
    songs.setRowCount(5);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 7; ++c)
            songs.setCell(c, r, cells[r][c]);
    QCOMPARE(SongSearch::FindFrom(songs, startRow, text), row);
}

QTEST_GUILESS_MAIN(TestSongSearch)
#include "tst_SongSearch.moc"
