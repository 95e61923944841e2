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
    void cellsKeepTheirOwnText_data();
    void cellsKeepTheirOwnText();
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

void TestSongList::cellsKeepTheirOwnText_data()
{
    // Writes as "col,row=text" in order ("rows=n": setRowCount(n)); then
    // every cell of rows 0 to 3 as "col,row=text" for each cell that is not
    // empty.
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("same-size-in-three-rows-one-becomes-lock") << QStringList { "3,1=  4.5", "3,2=  4.5",
        "3,3=  4.5", "3,2=Lock" } << QStringList { "3,1=  4.5", "3,2=Lock", "3,3=  4.5" };
    QTest::newRow("lock-back-to-its-size")
        << QStringList { "3,1=Lock", "3,2=Lock", "3,1=  2.0" } << QStringList { "3,1=  2.0", "3,2=Lock" };
    QTest::newRow("same-text-in-two-columns") << QStringList { "4,1= 1998", "5,1= 1998", "6,1=V",
        "2,1= 1998" } << QStringList { "2,1= 1998", "4,1= 1998", "5,1= 1998", "6,1=V" };
    QTest::newRow("cleared-cell-is-empty")
        << QStringList { "5,1=    3", "5,2=    3", "5,1=" } << QStringList { "5,2=    3" };
    QTest::newRow("letter-case-kept-apart") << QStringList { "2,1=No INI", "2,2=NO INI", "2,3=no ini" }
                                            << QStringList { "2,1=No INI", "2,2=NO INI", "2,3=no ini" };
    QTest::newRow("header-apart-from-rows") << QStringList { "3,0= Size", "3,1= Size", "3,1=  1.0",
        "1,0=Title", "1,1=Title" } << QStringList { "1,0=Title", "3,0= Size", "1,1=Title", "3,1=  1.0" };
    QTest::newRow("artist-and-title-per-row")
        << QStringList { "0,1=Zandor", "1,1=Daylight", "0,2=Zandor", "1,2=Daylight", "1,1=Harbour" }
        << QStringList { "0,1=Zandor", "1,1=Harbour", "0,2=Zandor", "1,2=Daylight" };
    // An artist cell that is emptied, or whose row goes, leaves nothing
    // behind for the rows that take artists after it.
    QTest::newRow("artist-emptied-then-others-set") << QStringList { "0,1=Zandor", "0,1=", "0,2=Harbour",
        "0,3=Mirela", "0,2=Oslo" } << QStringList { "0,2=Oslo", "0,3=Mirela" };
    QTest::newRow("artist-rows-removed-and-added-again") << QStringList { "0,1=Zandor", "0,2=Harbour",
        "0,3=Mirela", "rows=2", "rows=4", "0,3=Oslo" } << QStringList { "0,1=Zandor", "0,3=Oslo" };
}

void TestSongList::cellsKeepTheirOwnText()
{
    QFETCH(QStringList, writes);
    QFETCH(QStringList, cells);
    TSongList songs;
    QAbstractItemModelTester tester(&songs, QAbstractItemModelTester::FailureReportingMode::QtTest);
    songs.setRowCount(4);
    for (const QString &write : writes) {
        if (write.startsWith(QStringLiteral("rows="))) {
            songs.setRowCount(write.mid(5).toInt());
            continue;
        }
        const qsizetype eq = write.indexOf(QLatin1Char('='));
        const QStringList at = write.left(eq).split(QLatin1Char(','));
        songs.setCellNow(at[0].toInt(), at[1].toInt(), write.mid(eq + 1));
    }
    QStringList seen;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < TSongList::ColCount; ++col)
            if (!songs.Cells(col, row).isEmpty())
                seen << QStringLiteral("%1,%2=%3").arg(col).arg(row).arg(songs.Cells(col, row));
    QCOMPARE(seen, cells);
    // The view reads the same texts.
    for (int row = 1; row < 4; ++row)
        for (int col = 0; col < TSongList::ColCount; ++col)
            QCOMPARE(songs.data(songs.index(row - 1, col)).toString(), songs.Cells(col, row));
}

QTEST_GUILESS_MAIN(TestSongList)
#include "tst_SongList.moc"
