// Whether a music folder calls for a tree library: the count of songs a tree
// listing finds and of those a folder library would leave out, on real folders.

#include "LibraryKind.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

class TestLibraryKind : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void count_data();
    void count();
};

void TestLibraryKind::count_data()
{
    // Entries below the music folder (see TestSupport::makeTree), the cap,
    // and the counts.
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<int>("cap");
    QTest::addColumn<int>("songs");
    QTest::addColumn<int>("beyondFolder");
    QTest::addColumn<bool>("capped");

    QTest::newRow("MP3s at the top only")
        << QList<QByteArray> { "a.mp3", "B.MP3", "notes.txt", "Sub/cover.jpg", "link.mp3 -> a.mp3" } << 100
        << 3 << 0 << false;
    QTest::newRow("one MP3 in a subfolder")
        << QList<QByteArray> { "a.mp3", "Sub/b.mp3" } << 100 << 2 << 1 << false;
    QTest::newRow("a FLAC at the top") << QList<QByteArray> { "a.mp3", "b.flac" } << 100 << 2 << 1 << false;
    QTest::newRow("hidden subfolder only")
        << QList<QByteArray> { "a.mp3", ".stash/b.flac", ".c.ogg" } << 100 << 1 << 0 << false;
    QTest::newRow("empty") << QList<QByteArray> { "Sub/" } << 100 << 0 << 0 << false;
    // The folder's own songs are counted before any subfolder's.
    QTest::newRow("stops at the cap")
        << QList<QByteArray> { "a.mp3", "b.mp3", "Sub/c.flac", "Sub/d.flac" } << 2 << 2 << 0 << true;
    QTest::newRow("under the cap") << QList<QByteArray> { "a.mp3", "Sub/c.flac" } << 3 << 2 << 1 << false;
}

void TestLibraryKind::count()
{
    QFETCH(QList<QByteArray>, entries);
    QFETCH(int, cap);
    QFETCH(int, songs);
    QFETCH(int, beyondFolder);
    QFETCH(bool, capped);

    QTemporaryDir dir;
    const QByteArray music = QFile::encodeName(dir.path());
    TestSupport::makeTree(music, entries);
    const LibraryKindCount count = CountLibraryKind(music, cap);
    QCOMPARE(count.songs, songs);
    QCOMPARE(count.beyondFolder, beyondFolder);
    QCOMPARE(count.capped, capped);
    QCOMPARE(count.unreadableFolders, 0);
}

QTEST_GUILESS_MAIN(TestLibraryKind)
#include "tst_LibraryKind.moc"
