// The song list model: the program's row numbering on top of Qt's, and the
// model contract checked by Qt's own model tester while rows come and go.

#include "SongList.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

class TestSongList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void programRowsOnTopOfModelRows();
    void resizingKeepsRemainingCells();
    void artistOfRow_data();
    void artistOfRow();
    void outOfRangeIsHarmless();
};

void TestSongList::programRowsOnTopOfModelRows()
{
    TSongList songs;
    QAbstractItemModelTester tester(&songs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    songs.setRowCount(3);
    QCOMPARE(songs.RowCount(), 3);
    QCOMPARE(songs.rowCount(), 2);
    songs.setCellNow(0, 0, QStringLiteral("Artist"));
    songs.setCellNow(1, 2, QStringLiteral("Daylight"));
    QCOMPARE(songs.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Artist"));
    QCOMPARE(songs.data(songs.index(1, 1)).toString(), QStringLiteral("Daylight"));
    QCOMPARE(songs.Cells(1, 2), QStringLiteral("Daylight"));
    QCOMPARE(songs.data(songs.index(0, 1)).toString(), QString());
    QVERIFY(!(songs.flags(songs.index(0, 0)) & Qt::ItemIsEditable));
}

void TestSongList::resizingKeepsRemainingCells()
{
    TSongList songs;
    QAbstractItemModelTester tester(&songs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    songs.setRowCount(20);
    songs.setCell(1, 1, QStringLiteral("first"));
    songs.setCell(1, 19, QStringLiteral("last"));
    QSignalSpy removed(&songs, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&songs, &QAbstractItemModel::rowsInserted);
    songs.setRowCount(20);
    QCOMPARE(removed.size() + inserted.size(), 0);
    songs.setRowCount(5);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][1].toInt(), 4); // model rows 4..18 = program rows 5..19
    QCOMPARE(removed[0][2].toInt(), 18);
    QCOMPARE(songs.Cells(1, 1), QStringLiteral("first"));
    songs.setRowCount(0);
    QCOMPARE(songs.RowCount(), 1);
    songs.setRowCount(25);
    QCOMPARE(songs.Cells(1, 19), QString());
}

void TestSongList::artistOfRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("artist");
    QTest::newRow("header-never-used") << 0 << "";
    QTest::newRow("before-any-artist") << 1 << "";
    QTest::newRow("group-first-row") << 2 << "Zandor";
    QTest::newRow("inside-group") << 4 << "Zandor";
    QTest::newRow("blank-artist-counts") << 5 << " ";
    QTest::newRow("past-end") << 99 << " ";
}

void TestSongList::artistOfRow()
{
    QFETCH(int, row);
    QFETCH(QString, artist);
    TSongList songs;
    songs.setRowCount(6);
    songs.setCell(0, 0, QStringLiteral("Artist"));
    songs.setCell(0, 2, QStringLiteral("Zandor"));
    songs.setCell(0, 5, QStringLiteral(" "));
    QCOMPARE(songs.artistOf(row), artist);
}

void TestSongList::outOfRangeIsHarmless()
{
    TSongList songs;
    songs.setRowCount(2);
    songs.setCell(7, 1, QStringLiteral("x"));
    songs.setCell(0, 5, QStringLiteral("x"));
    songs.setCellNow(-1, 1, QStringLiteral("x"));
    songs.rowsChanged(-3, 40);
    QCOMPARE(songs.Cells(7, 1), QString());
    QCOMPARE(songs.Cells(0, 5), QString());
    QCOMPARE(songs.Cells(-1, -1), QString());
}

QTEST_GUILESS_MAIN(TestSongList)
#include "tst_SongList.moc"
