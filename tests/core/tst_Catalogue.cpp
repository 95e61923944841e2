// The catalogue scan on real folders: cell texts, totals, artist grouping,
// what is listed, songs held open by a real child process, counting a play,
// and failures that must not hide the rest of the library.

#include "CaseFold.h"
#include "Catalogue.h"
#include "TestSupport.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::readBytes;
using TestSupport::writeBytes;

namespace
{

const QByteArray InfoDaylight = "[Info]\r\nUsageCount = 3\r\nPlaytime   = 03:45\r\nSongYear   = 1998-05\r\n"
                                "Lyrics     = Yes\r\n";

QByteArray mp3(int size = 1000)
{
    return QByteArray(size, '\0');
}

QStringList rowCells(const TSongList &songs, int row)
{
    QStringList cells;
    for (int c = 0; c < TSongList::ColCount; ++c)
        cells << songs.Cells(c, row);
    return cells;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void indexHoldsTheSongs_data();
    void indexHoldsTheSongs();
    void fullScanCells();
    void listsOnlyMp3Files();
    void emptyFolder();
    void missingFolder();
    void earlyRowsBeforeYield();
    void manyRowsSameAsOneThread();
    void infoFolderUnavailable_data();
    void infoFolderUnavailable();
    void totalsOfRepeatedFullScans();
    void linkedSongHeldElsewhere();
    void staleTemporaries_data();
    void staleTemporaries();
    void playingSongCountedOnce();
    void playingSongWithoutInfoFile();
    void badUsageCountDoesNotHideLaterRows();
    void unwritableInfoFolder();
    void fileDeletedBetweenScans();
    void caseVariantInfoFile_data();
    void caseVariantInfoFile();
    void nonUtf8Name();
    void selectedFile_data();
    void selectedFile();
    void songOrder_data();
    void songOrder();
    void songOrderOfALargeFolder();
    void infoFileKinds_data();
    void infoFileKinds();
    void valuesCacheFollowsFiles_data();
    void valuesCacheFollowsFiles();

private:
    QList<QByteArray> listedNames() const;
    QByteArray path(const char *name) const { return m_dir->path().toUtf8() + '/' + name; }
    void scan(bool full);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TSongList> m_songs;
    std::unique_ptr<TCatalogue> m_catalogue;
    QStringList m_errors;
    QStringList m_playing;
};

void TestCatalogue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_songs = std::make_unique<TSongList>();
    m_catalogue = std::make_unique<TCatalogue>(*m_songs);
    m_catalogue->setFolders(m_dir->path().toUtf8(), m_dir->path().toUtf8());
    // What a play does to the cells and the files is tested here; telling a
    // player from a program that only reads the songs, in tst_FolderWatch.
    m_catalogue->heldSongs().setDelay(std::chrono::milliseconds(0));
    m_errors.clear();
    m_playing.clear();
}

void TestCatalogue::cleanup()
{
    m_catalogue.reset();
    m_songs.reset();
    // Qt cannot see names that are not UTF-8, so clear the folder ourselves.
    TestSupport::removeTree(m_dir->path().toUtf8());
    m_dir.reset();
}

void TestCatalogue::scan(bool full)
{
    TCatalogue::Hooks hooks;
    hooks.playing = [this](const QString &artistTitle) { m_playing << artistTitle; };
    m_errors = m_catalogue->RefreshList(full, hooks);
}

void TestCatalogue::fullScanCells()
{
    for (const char *name : { "A-B.C.mp3", "Ivo - Road.mp3", "Song.MP3", "Untitled.mp3", "Zandor-Quiet.mp3",
             "zandor-x.mp3", "ZANDOR-y.mp3" })
        writeBytes(path(name), mp3());
    writeBytes(path("Zandor-Daylight.mp3"), mp3(5 * 1048576));
    writeBytes(path("Zandor-Daylight.INI"), InfoDaylight);
    writeBytes(
        path("Zandor-Quiet.INI"), "[Info]\r\nPlaytime=??:??\r\nUsageCount=\r\nLyrics=Instrumental\r\n");
    writeBytes(path("zandor-x.INI"), "[Info]\r\nPlaytime=10:30\r\nLyrics=(words unclear)\r\nSongYear=77\r\n");
    scan(true);
    QVERIFY(m_errors.isEmpty());

    const QList<QStringList> expected = {
        { "A", "B", "No INI", "  0.0", " ", "    0", " " },
        { "Ivo ", " Road", "No INI", "  0.0", " ", "    0", " " },
        { "", "", "No INI", "  0.0", " ", "    0", " " },
        { "", "", "No INI", "  0.0", " ", "    0", " " },
        { "Zandor", "Daylight", " 03:45", "  5.0", " 1998", "    3", "V" },
        { "", "Quiet", " ??:??", "  0.0", " ", "    0", "I" },
        { "zandor", "x", " 10:30", "  0.0", " 77", "    0", "X" },
        { "ZANDOR", "y", "No INI", "  0.0", " ", "    0", " " },
    };
    QCOMPARE(m_songs->RowCount(), expected.size() + 1);
    for (int r = 1; r <= expected.size(); ++r)
        QCOMPARE(rowCells(*m_songs, r), expected[r - 1]);
    QCOMPARE(m_catalogue->artistList(), QStringList({ "A", "Ivo ", "", "Zandor", "zandor", "ZANDOR" }));
    QCOMPARE(m_catalogue->timeCaption(), QStringLiteral("00:14 hr"));
    QCOMPARE(m_catalogue->sizeCaption(), QStringLiteral("    5.0 MB"));
    QCOMPARE(m_songs->artistOf(6), QStringLiteral("Zandor"));
}

void TestCatalogue::listsOnlyMp3Files()
{
    writeBytes(path("b-regular.mp3"), mp3());
    writeBytes(path(".hidden-song.mp3"), mp3());
    writeBytes(path("notes.txt"), "x");
    writeBytes(path("c-almost.mp3x"), mp3());
    writeBytes(path("d-almost.mp"), mp3());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("e-folder.mp3")));
    QVERIFY(::symlink(path("b-regular.mp3").constData(), path("a-link.mp3").constData()) == 0);
    QVERIFY(::symlink(m_dir->path().toUtf8().constData(), path("f-link-to-folder.mp3").constData()) == 0);
    QVERIFY(::symlink("/dev/null", path("g-device.mp3").constData()) == 0);
    QVERIFY(::symlink(path("missing.mp3").constData(), path("h-dangling.mp3").constData()) == 0);
    writeBytes(path("I-Upper.Mp3"), mp3());
    scan(true);

    QStringList titles;
    for (int r = 1; r < m_songs->RowCount(); ++r)
        titles << m_songs->Cells(TSongList::ColArtist, r) + QLatin1Char('|')
                + m_songs->Cells(TSongList::ColTitle, r);
    QCOMPARE(titles, QStringList({ "a|link", "b|regular", "I|Upper" }));
}

void TestCatalogue::emptyFolder()
{
    writeBytes(path("readme.txt"), "not a song");
    scan(true);
    QCOMPARE(m_songs->RowCount(), 1);
    QCOMPARE(m_catalogue->timeCaption(), QStringLiteral("00:00 hr"));
    QCOMPARE(m_catalogue->sizeCaption(), QStringLiteral("    0.0 MB"));
    QVERIFY(m_catalogue->artistList().isEmpty());
}

void TestCatalogue::missingFolder()
{
    writeBytes(path("A-One.mp3"), mp3());
    scan(true);
    QCOMPARE(m_songs->RowCount(), 2);
    // The folder vanishes: the light scan keeps the list, the next full scan empties it.
    QVERIFY(m_dir->remove());
    scan(false);
    QCOMPARE(m_songs->RowCount(), 2);
    QVERIFY(m_songs->Cells(TSongList::ColSize, 1) != QLatin1String("Lock"));
    scan(true);
    QCOMPARE(m_songs->RowCount(), 1);
    QVERIFY(m_errors.isEmpty());
}

void TestCatalogue::earlyRowsBeforeYield()
{
    for (int i = 0; i < 30; ++i)
        writeBytes(
            path(QStringLiteral("Artist-Song %1.mp3").arg(i, 2, 10, QLatin1Char('0')).toUtf8().constData()),
            mp3());
    int yields = 0;
    QStringList atYield;
    TCatalogue::Hooks hooks;
    hooks.yield = [&] {
        ++yields;
        atYield << m_songs->Cells(TSongList::ColTitle, 20) << m_songs->Cells(TSongList::ColTitle, 21)
                << m_songs->Cells(TSongList::ColTime, 20);
        // A row not filled yet already names the file it is about to show.
        atYield << QString::fromUtf8(m_catalogue->BuildSelectedFile(25));
    };
    m_catalogue->RefreshList(true, hooks);
    QCOMPARE(yields, 1);
    QCOMPARE(atYield, QStringList({ "Song 19", "", "No INI", "Artist-Song 24.mp3" }));
    QCOMPARE(m_songs->Cells(TSongList::ColTitle, 30), QStringLiteral("Song 29"));
    QCOMPARE(m_catalogue->BuildSelectedFile(25), QByteArray("Artist-Song 24.mp3"));

    // A folder of exactly 20 songs never yields.
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Artist-Song 29.mp3"))));
    for (int i = 20; i < 29; ++i)
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Artist-Song %1.mp3").arg(i))));
    yields = 0;
    m_catalogue->RefreshList(true, hooks);
    QCOMPARE(m_songs->RowCount(), 21);
    QCOMPARE(yields, 0);
}

void TestCatalogue::manyRowsSameAsOneThread()
{
    // Enough songs for the reads ahead, and a light scan's probes, to run on
    // several threads; every third song has an information file whose values
    // follow from its number.
    const int count = 2100;
    for (int i = 0; i < count; ++i) {
        const QByteArray base = QStringLiteral("Band %1-Track %2")
                                    .arg(i / 7, 3, 10, QLatin1Char('0'))
                                    .arg(i, 4, 10, QLatin1Char('0'))
                                    .toUtf8();
        writeBytes(path((base + ".mp3").constData()), mp3(i));
        if (i % 3 == 0)
            writeBytes(path((base + ".INI").constData()),
                QStringLiteral("[Info]\r\nUsageCount=%1\r\nPlaytime=%2:%3\r\nSongYear=%4\r\n")
                    .arg(i)
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 59, 2, 10, QLatin1Char('0'))
                    .arg(1900 + i % 100)
                    .toUtf8());
    }
    scan(true);
    QCOMPARE(m_songs->RowCount(), count + 1);
    for (int i = 0; i < count; ++i) {
        const int r = i + 1;
        const bool hasInfo = i % 3 == 0;
        QCOMPARE(m_songs->Cells(TSongList::ColArtist, r),
            i % 7 == 0 ? QStringLiteral("Band %1").arg(i / 7, 3, 10, QLatin1Char('0')) : QString());
        QCOMPARE(m_songs->Cells(TSongList::ColTitle, r),
            QStringLiteral("Track %1").arg(i, 4, 10, QLatin1Char('0')));
        const QString time = QStringLiteral(" %1:%2")
                                 .arg(i % 60, 2, 10, QLatin1Char('0'))
                                 .arg(i % 59, 2, 10, QLatin1Char('0'));
        QCOMPARE(m_songs->Cells(TSongList::ColTime, r),
            hasInfo && time != QLatin1String(" 00:00") ? time : QStringLiteral("No INI"));
        QCOMPARE(m_songs->Cells(TSongList::ColYear, r),
            hasInfo ? QStringLiteral(" %1").arg(1900 + i % 100) : QStringLiteral(" "));
        QCOMPARE(m_songs->Cells(TSongList::ColCount_, r), QStringLiteral("%1").arg(hasInfo ? i : 0, 5));
    }

    // A light scan finds the one song a player holds, deep in the list.
    TestSupport::FileHolder player(m_dir->filePath(QStringLiteral("Band 253-Track 1777.mp3")));
    scan(false);
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_playing, QStringList({ "Band 253 - Track 1777" }));
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 1778), QStringLiteral("Lock"));
    QCOMPARE(m_songs->Cells(TSongList::ColCount_, 1778), QStringLiteral("    1"));
    for (int r : { 1, 1777, 1779, count })
        QCOMPARE(m_songs->Cells(TSongList::ColSize, r), QStringLiteral("  0.0"));
}

void TestCatalogue::infoFolderUnavailable_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("never-created") << "missing";
    QTest::newRow("no-permission") << "unreadable";
    QTest::newRow("a-file-in-its-place") << "file";
    QTest::newRow("deleted-between-full-scans") << "deleted";
}

void TestCatalogue::infoFolderUnavailable()
{
    // More songs than the read-ahead threshold, so that the first rows and
    // the rows read on worker threads are both checked.
    QFETCH(QString, situation);
    // The super-user too meets the folder's permissions here.
    std::optional<TestSupport::WithoutFileOverride> asUser;
    if (situation == QLatin1String("unreadable") && !asUser.emplace().active())
        QSKIP("the permission to open any folder cannot be given up here");
    const QByteArray info = path("info");
    m_catalogue->setFolders(m_dir->path().toUtf8(), info);
    const int count = 2050;
    auto base
        = [](int i) { return QStringLiteral("Band-Track %1").arg(i, 4, 10, QLatin1Char('0')).toUtf8(); };
    if (situation != QLatin1String("file"))
        QVERIFY(QDir().mkdir(QString::fromUtf8(info)));
    for (int i = 0; i < count; ++i) {
        writeBytes(path((base(i) + ".mp3").constData()), mp3());
        if (situation != QLatin1String("file"))
            writeBytes(info + '/' + base(i) + ".INI",
                "[Info]\r\nUsageCount=7\r\nPlaytime=01:02\r\nSongYear=1999\r\nLyrics=Yes\r\n");
    }
    if (situation == QLatin1String("deleted")) {
        scan(true);
        QCOMPARE(rowCells(*m_songs, count),
            QStringList({ "", "Track 2049", " 01:02", "  0.0", " 1999", "    7", "V" }));
        TestSupport::removeTree(info);
    } else if (situation == QLatin1String("missing")) {
        TestSupport::removeTree(info);
    } else if (situation == QLatin1String("unreadable")) {
        QVERIFY(::chmod(info.constData(), 0) == 0);
    } else {
        writeBytes(info, "not a folder");
    }
    scan(true);
    ::chmod(info.constData(), 0755);
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_songs->RowCount(), count + 1);
    QCOMPARE(
        rowCells(*m_songs, 1), QStringList({ "Band", "Track 0000", "No INI", "  0.0", " ", "    0", " " }));
    for (int r = 2; r <= count; ++r)
        QCOMPARE(rowCells(*m_songs, r),
            QStringList({ "", QStringLiteral("Track %1").arg(r - 1, 4, 10, QLatin1Char('0')), "No INI",
                "  0.0", " ", "    0", " " }));
    QCOMPARE(m_catalogue->timeCaption(), QStringLiteral("00:00 hr"));
}

void TestCatalogue::totalsOfRepeatedFullScans()
{
    writeBytes(path("A-One.mp3"), mp3(3 * 1048576));
    writeBytes(path("B-Two.mp3"), mp3(1048576 / 2));
    writeBytes(path("A-One.INI"), "[Info]\r\nPlaytime=45:00\r\n");
    writeBytes(path("B-Two.INI"), "[Info]\r\nPlaytime=20:30\r\n");
    for (int pass = 1; pass <= 3; ++pass) {
        scan(pass != 2);
        QCOMPARE(m_catalogue->sizeCaption(), QStringLiteral("    3.5 MB"));
        QCOMPARE(m_catalogue->timeCaption(), QStringLiteral("01:05 hr"));
        QCOMPARE(m_catalogue->artistList(), QStringList({ "A", "B" }));
    }
}

void TestCatalogue::linkedSongHeldElsewhere()
{
    // The player opened the song where it really lies, outside the folder.
    QTemporaryDir elsewhere;
    const QString real = elsewhere.filePath(QStringLiteral("real.mp3"));
    writeBytes(real, mp3());
    writeBytes(path("A-Plain.mp3"), mp3());
    QVERIFY(QFile::link(real, m_dir->filePath(QStringLiteral("B-Linked.mp3"))));
    TestSupport::FileHolder player(real);
    QVERIFY(player.isRunning());
    scan(true);
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 1), QStringLiteral("  0.0"));
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 2), QStringLiteral("Lock"));
    QCOMPARE(m_playing, QStringList({ "B - Linked" }));
}

void TestCatalogue::staleTemporaries_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("removed");

    QTest::newRow("interrupted-write-an-hour-old")
        << QByteArray(".A-One.INI.Ab3dE9xZ") << 3600 << false << true;
    QTest::newRow("lower-case-ini") << QByteArray(".a-one.ini.12345678") << 3600 << false << true;
    QTest::newRow("name-cut-at-200-bytes")
        << "." + QByteArray(200, 'n') + ".abcdefgh" << 3600 << false << true;
    QTest::newRow("write-going-on") << QByteArray(".A-One.INI.Ab3dE9xZ") << 60 << false << false;
    QTest::newRow("seven-letter-suffix") << QByteArray(".A-One.INI.Ab3dE9x") << 3600 << false << false;
    QTest::newRow("suffix-with-dash") << QByteArray(".A-One.INI.Ab3d-9xZ") << 3600 << false << false;
    QTest::newRow("not-an-info-file") << QByteArray(".notes.txt.Ab3dE9xZ") << 3600 << false << false;
    QTest::newRow("hidden-info-file") << QByteArray(".A-One.INI") << 3600 << false << false;
    QTest::newRow("folder-of-that-name") << QByteArray(".A-One.INI.Ab3dE9xZ") << 3600 << true << false;
}

// A write killed half-way leaves its temporary file; a full scan clears
// those of song information files once they are clearly abandoned.
void TestCatalogue::staleTemporaries()
{
    QFETCH(QByteArray, name);
    QFETCH(int, ageSeconds);
    QFETCH(bool, folder);
    QFETCH(bool, removed);
    writeBytes(path("A-One.mp3"), mp3());
    writeBytes(path("A-One.INI"), "[Info]\r\nUsageCount=2\r\n");
    const QByteArray temp = path(name.constData());
    if (folder)
        QCOMPARE(::mkdir(temp.constData(), 0755), 0);
    else
        writeBytes(temp, "[Info]\r\nUsageCount=");
    const timespec times[2] = { { ::time(nullptr) - ageSeconds, 0 }, { ::time(nullptr) - ageSeconds, 0 } };
    QCOMPARE(::utimensat(AT_FDCWD, temp.constData(), times, 0), 0);
    scan(false);
    QVERIFY(TestSupport::exists(temp));
    scan(true);
    QCOMPARE(TestSupport::exists(temp), !removed);
    QCOMPARE(m_songs->Cells(TSongList::ColCount_, 1), QStringLiteral("    2"));
    QVERIFY(TestSupport::exists(path("A-One.INI")));
}

void TestCatalogue::playingSongCountedOnce()
{
    writeBytes(path("Zandor-Daylight.mp3"), mp3(2 * 1048576));
    writeBytes(path("Zandor-Quiet.mp3"), mp3());
    const QByteArray before = "; comment kept\r\n[Info]\r\nUsageCount = 3\r\nWriter     = A. Zandor\r\n"
                              "Playtime   = 03:45\r\n\r\n; lyrics\r\nLa la = la\r\n";
    writeBytes(path("Zandor-Quiet.INI"), before);
    scan(true);
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 2), QStringLiteral("  0.0"));
    {
        TestSupport::FileHolder player(m_dir->filePath(QStringLiteral("Zandor-Quiet.mp3")));
        QVERIFY(player.isRunning());
        scan(false);
        QVERIFY(m_errors.isEmpty());
        QCOMPARE(m_songs->Cells(TSongList::ColSize, 2), QStringLiteral("Lock"));
        QCOMPARE(m_songs->Cells(TSongList::ColCount_, 2), QStringLiteral("    4"));
        QCOMPARE(m_playing, QStringList({ "Zandor - Quiet" }));
        QCOMPARE(readBytes(path("Zandor-Quiet.INI")),
            QByteArray("; comment kept\r\n[Info]\r\nUsageCount = 4\r\nWriter     = A. Zandor\r\n"
                       "Playtime   = 03:45\r\n\r\n; lyrics\r\nLa la = la\r\n"));
        QCOMPARE(m_songs->Cells(TSongList::ColSize, 1), QStringLiteral("  2.0"));

        // Later scans in the same run see it playing but do not count again.
        scan(false);
        scan(true);
        QCOMPARE(m_songs->Cells(TSongList::ColSize, 2), QStringLiteral("Lock"));
        QVERIFY(readBytes(path("Zandor-Quiet.INI")).contains("UsageCount = 4\r\n"));
        QCOMPARE(m_playing.size(), 3);
    }
    scan(false);
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 2), QStringLiteral("  0.0"));
    QVERIFY(m_catalogue->playedList().contains(QStringLiteral("QUIET")));
    scan(true);
    QVERIFY(m_catalogue->playedList().contains(QStringLiteral("Quiet")));
    QCOMPARE(m_songs->Cells(TSongList::ColCount_, 2), QStringLiteral("    4"));
}

void TestCatalogue::playingSongWithoutInfoFile()
{
    writeBytes(path("Merel-Lantern.mp3"), mp3());
    scan(true);
    TestSupport::FileHolder player(m_dir->filePath(QStringLiteral("Merel-Lantern.mp3")));
    scan(false);
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_songs->Cells(TSongList::ColCount_, 1), QStringLiteral("    1"));
    const SongInfo::Details details = SongInfo::LoadInfo(path("Merel-Lantern.INI"));
    QCOMPARE(details.UsageCount, QStringLiteral("1"));
    QCOMPARE(details.Playtime, QStringLiteral("??:??"));
    QCOMPARE(
        readBytes(path("Merel-Lantern.INI")), QByteArray("[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n"));
}

void TestCatalogue::badUsageCountDoesNotHideLaterRows()
{
    writeBytes(path("A-First.mp3"), mp3());
    writeBytes(path("B-Second.mp3"), mp3());
    const QByteArray bad = "[Info]\r\nUsageCount=x\r\n";
    writeBytes(path("A-First.INI"), bad);
    TestSupport::FileHolder player(m_dir->filePath(QStringLiteral("A-First.mp3")));
    scan(true);
    QCOMPARE(m_errors, QStringList({ "'x' is not a valid integer value" }));
    QCOMPARE(readBytes(path("A-First.INI")), bad);
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 1), QStringLiteral("Lock"));
    QCOMPARE(rowCells(*m_songs, 2), QStringList({ "B", "Second", "No INI", "  0.0", " ", "    0", " " }));
    // The title is in the played list, so the next scan does not try again.
    scan(false);
    QVERIFY(m_errors.isEmpty());
}

void TestCatalogue::unwritableInfoFolder()
{
    QTemporaryDir infoDir;
    m_catalogue->setFolders(m_dir->path().toUtf8(), infoDir.path().toUtf8());
    writeBytes(path("A-First.mp3"), mp3());
    writeBytes(path("B-Second.mp3"), mp3());
    QVERIFY(::chmod(infoDir.path().toUtf8().constData(), 0555) == 0);
    TestSupport::FileHolder player(m_dir->filePath(QStringLiteral("A-First.mp3")));
    scan(true);
    ::chmod(infoDir.path().toUtf8().constData(), 0755);
    QCOMPARE(
        m_errors, QStringList({ QStringLiteral("Unable to write to %1/A-First.INI").arg(infoDir.path()) }));
    QCOMPARE(m_songs->Cells(TSongList::ColTitle, 2), QStringLiteral("Second"));
    QVERIFY(!QFile::exists(infoDir.filePath(QStringLiteral("A-First.INI"))));
}

void TestCatalogue::fileDeletedBetweenScans()
{
    writeBytes(path("A-Gone.mp3"), mp3(3 * 1048576));
    writeBytes(path("B-Stays.mp3"), mp3());
    scan(true);
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 1), QStringLiteral("  3.0"));
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("A-Gone.mp3"))));
    scan(false);
    QCOMPARE(m_songs->RowCount(), 3);
    QCOMPARE(m_songs->Cells(TSongList::ColSize, 1), QStringLiteral("  0.0"));
    QVERIFY(m_playing.isEmpty());
    QVERIFY(m_errors.isEmpty());

    // A song replaced by a folder is not a song being played.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("A-Gone.mp3")));
    scan(false);
    QVERIFY(m_songs->Cells(TSongList::ColSize, 1) != QLatin1String("Lock"));
    QVERIFY(m_playing.isEmpty());
    QVERIFY(!TestSupport::exists(path("A-Gone.INI")));
}

void TestCatalogue::caseVariantInfoFile_data()
{
    // A song whose information file has another letter case, found by a
    // full scan; what happened until the scan that finds it playing; the
    // file the play is counted in, and what it then holds; a file that must
    // not be there.
    QTest::addColumn<QString>("until");
    QTest::addColumn<QByteArray>("counted");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("absent");
    const QByteArray variant = "[info]\r\nusagecount=8\r\nplaytime=02:00\r\n";
    QTest::newRow("nothing") << "" << QByteArray("merel-lantern.ini") << variant
                             << QByteArray("Merel-Lantern.INI");
    QTest::newRow("playing-during-the-full-scan")
        << "held" << QByteArray("merel-lantern.ini") << variant << QByteArray("Merel-Lantern.INI");
    QTest::newRow("renamed-to-the-song's-name-and-scanned")
        << "renamed" << QByteArray("Merel-Lantern.INI") << variant << QByteArray("merel-lantern.ini");
    QTest::newRow("another-info-folder-chosen") << "folder" << QByteArray("other/Merel-Lantern.INI")
                                                << QByteArray("[Info]\r\nUsageCount=1\r\nPlaytime=??:??\r\n")
                                                << QByteArray("other/merel-lantern.ini");
}

void TestCatalogue::caseVariantInfoFile()
{
    QFETCH(QString, until);
    QFETCH(QByteArray, counted);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, absent);
    writeBytes(path("Merel-Lantern.mp3"), mp3());
    writeBytes(path("merel-lantern.ini"), "[info]\r\nusagecount=7\r\nplaytime=02:00\r\n");
    std::optional<TestSupport::FileHolder> player;
    if (until == QLatin1String("held"))
        player.emplace(m_dir->filePath(QStringLiteral("Merel-Lantern.mp3")));
    scan(true);
    QCOMPARE(m_songs->Cells(TSongList::ColTime, 1), QStringLiteral(" 02:00"));
    QCOMPARE(
        m_songs->Cells(TSongList::ColCount_, 1), player ? QStringLiteral("    8") : QStringLiteral("    7"));
    if (until == QLatin1String("renamed")) {
        QVERIFY(::rename(path("merel-lantern.ini").constData(), path("Merel-Lantern.INI").constData()) == 0);
        scan(true);
    } else if (until == QLatin1String("folder")) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("other")));
        m_catalogue->setFolders(m_dir->path().toUtf8(), path("other"));
    }
    if (!player)
        player.emplace(m_dir->filePath(QStringLiteral("Merel-Lantern.mp3")));
    scan(false);
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(readBytes(path(counted.constData())), content);
    QVERIFY(!TestSupport::exists(path(absent.constData())));
}

void TestCatalogue::nonUtf8Name()
{
    const char *name = "Caf\xe9-Cr\xe8me.mp3";
    writeBytes(path(name), mp3());
    writeBytes(path("Caf\xe9-Cr\xe8me.INI"), "[Info]\r\nPlaytime=01:02\r\n");
    scan(true);
    QCOMPARE(m_songs->RowCount(), 2);
    QCOMPARE(m_songs->Cells(TSongList::ColArtist, 1), QStringLiteral("Caf\uFFFD"));
    QCOMPARE(m_songs->Cells(TSongList::ColTime, 1), QStringLiteral(" 01:02"));
    QCOMPARE(m_catalogue->BuildSelectedFile(1), QByteArray(name));
}

void TestCatalogue::selectedFile_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("plain") << QByteArray("Zandor-Daylight.mp3");
    QTest::newRow("spaced") << QByteArray("Zandor - Daylight.mp3");
    QTest::newRow("dot-in-title") << QByteArray("A-B.C.mp3");
    QTest::newRow("no-dash") << QByteArray("Untitled.mp3");
    QTest::newRow("upper-ext") << QByteArray("Song-X.MP3");
    QTest::newRow("quotes-dollar") << QByteArray("It's-\"$HOME\".mp3");
    QTest::newRow("newline") << QByteArray("New\nLine-Song.mp3");
    QTest::newRow("255-bytes") << "A-" + QByteArray(249, 'x') + ".mp3";
    QTest::newRow("leading-dash-blank") << QByteArray("-  odd $(name) `x`.mp3");
}

void TestCatalogue::selectedFile()
{
    QFETCH(QByteArray, name);
    writeBytes(path(name.constData()), mp3());
    scan(true);
    QCOMPARE(m_songs->RowCount(), 2);
    QCOMPARE(m_catalogue->BuildSelectedFile(1), name);
    QCOMPARE(m_catalogue->SelectedPath(1), path(name.constData()));
}

QList<QByteArray> TestCatalogue::listedNames() const
{
    QList<QByteArray> names;
    for (int r = 1; r < m_songs->RowCount(); ++r)
        names << m_catalogue->BuildSelectedFile(r);
    return names;
}

void TestCatalogue::songOrder_data()
{
    // Names as created, and the order of the rows.
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::newRow("long shared start, letter case")
        << QList<QByteArray> { "The Beatles-Yesterday.mp3", "the beatles-Abbey Road.mp3",
               "The Beatles-help.mp3", "The Beatles-Help.mp3", "THE BEATLES-Help.mp3" }
        << QList<QByteArray> { "the beatles-Abbey Road.mp3", "THE BEATLES-Help.mp3", "The Beatles-Help.mp3",
               "The Beatles-help.mp3", "The Beatles-Yesterday.mp3" };
    QTest::newRow("differing at the 8th, 9th and 17th byte")
        << QList<QByteArray> { "abcdefgB.mp3", "abcdefgha.mp3", "abcdefghA.mp3", "abcdefghijklmnopZ.mp3",
               "abcdefghijklmnopy.mp3", "abcdefga.mp3" }
        << QList<QByteArray> { "abcdefga.mp3", "abcdefgB.mp3", "abcdefghA.mp3", "abcdefgha.mp3",
               "abcdefghijklmnopy.mp3", "abcdefghijklmnopZ.mp3" };
    QTest::newRow("one name starts another") << QList<QByteArray> { "Song.mp3.mp3", "song.MP3", "Song.mp3",
        "Song.mp3x.mp3" } << QList<QByteArray> { "Song.mp3", "song.MP3", "Song.mp3.mp3", "Song.mp3x.mp3" };
    // Folded, "\xc3\x89" (capital E acute) becomes "\xc3\xa9", after every ASCII letter.
    QTest::newRow("accented letters")
        << QList<QByteArray> { "\xc3\x89mile-A.mp3", "Zo\xc3\xab-D.mp3", "\xc3\xa9mile-B.mp3", "Eve-C.mp3",
               "\xc3\xa9mile-A.mp3" }
        << QList<QByteArray> { "Eve-C.mp3", "Zo\xc3\xab-D.mp3", "\xc3\x89mile-A.mp3", "\xc3\xa9mile-A.mp3",
               "\xc3\xa9mile-B.mp3" };
    QTest::newRow("bytes that are not UTF-8")
        << QList<QByteArray> { "\xe9T\xe9-X.mp3", "Ete-Y.mp3", "\xe9t\xe9-W.mp3", "\xc9t\xe9-V.mp3" }
        << QList<QByteArray> { "Ete-Y.mp3", "\xc9t\xe9-V.mp3", "\xe9t\xe9-W.mp3", "\xe9T\xe9-X.mp3" };
}

void TestCatalogue::songOrder()
{
    QFETCH(QList<QByteArray>, names);
    QFETCH(QList<QByteArray>, expected);
    for (const QByteArray &name : names)
        writeBytes(path(name.constData()), mp3());
    scan(true);
    QCOMPARE(listedNames(), expected);
}

void TestCatalogue::songOrderOfALargeFolder()
{
    // Names built from a few pieces, so that many share a long start and
    // differ only in letter case or in their last bytes; the rows must be in
    // the order of the folded names, then of the names themselves.
    const char *const pieces[] = { "The Artist", "the artist", "THE ARTIST ", "Th", "\xc3\x89", "\xc3\xa9",
        "\xe9", "-", "x", "X", "Ballad", "ballad 2", "0", "10" };
    quint32 seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    QSet<QByteArray> made;
    while (made.size() < 3000) {
        QByteArray name;
        for (int n = 1 + int(next() % 5); n > 0; --n)
            name += pieces[next() % std::size(pieces)];
        name += next() % 4 ? ".mp3" : ".MP3";
        made.insert(name);
    }
    QList<QByteArray> expected(made.begin(), made.end());
    for (const QByteArray &name : std::as_const(expected))
        writeBytes(path(name.constData()), mp3(0));
    std::sort(expected.begin(), expected.end(), [](const QByteArray &a, const QByteArray &b) {
        const QByteArray x = FoldCase(a), y = FoldCase(b);
        return x != y ? x < y : a < b;
    });
    scan(true);
    QCOMPARE(listedNames(), expected);
}

void TestCatalogue::infoFileKinds_data()
{
    // A song information file of each kind the folder may hold, and what the
    // song's row shows of it: time, year and count.
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("small file") << QByteArray("small") << QStringList { " 04:01", " 1999", "   42" };
    QTest::newRow("larger than one read")
        << QByteArray("large") << QStringList { " 04:01", " 1999", "   42" };
    QTest::newRow("link to a file") << QByteArray("link") << QStringList { " 04:01", " 1999", "   42" };
    QTest::newRow("FIFO: never read") << QByteArray("fifo") << QStringList { "No INI", " ", "    0" };
    QTest::newRow("folder") << QByteArray("folder") << QStringList { "No INI", " ", "    0" };
}

void TestCatalogue::infoFileKinds()
{
    QFETCH(QByteArray, kind);
    QFETCH(QStringList, expected);
    // The year comes first and the count after 100 KB of comments: a file
    // read in part, or read from the wrong place, loses one of them.
    QByteArray content = "[Info]\r\nSongYear=1999\r\nPlaytime=04:01\r\n";
    if (kind != "small")
        for (int i = 0; i < 10000; ++i)
            content += "; 0123456789\r\n";
    content += "UsageCount=42\r\n";
    // Another song first, whose file sets what this one's file leaves out.
    writeBytes(path("A-First.mp3"), mp3());
    writeBytes(path("A-First.INI"), "[Info]\r\nSongYear=1888\r\nPlaytime=01:00\r\nUsageCount=7\r\n");
    writeBytes(path("B-Song.mp3"), mp3());
    if (kind == "small" || kind == "large") {
        writeBytes(path("B-Song.INI"), content);
    } else if (kind == "link") {
        writeBytes(path("elsewhere.txt"), content);
        QVERIFY(::symlink("elsewhere.txt", path("B-Song.INI").constData()) == 0);
    } else if (kind == "fifo") {
        QVERIFY(::mkfifo(path("B-Song.INI").constData(), 0644) == 0);
    } else {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("B-Song.INI")));
    }
    scan(true);
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_songs->Cells(TSongList::ColYear, 1), QStringLiteral(" 1888"));
    QCOMPARE((QStringList { m_songs->Cells(TSongList::ColTime, 2), m_songs->Cells(TSongList::ColYear, 2),
                 m_songs->Cells(TSongList::ColCount_, 2) }),
        expected);
}

// Whether the index on disk is exactly the one this scan would write: when it
// is, nothing moved and the scan neither parses nor writes it.
void TestCatalogue::indexHoldsTheSongs_data()
{
    QTest::addColumn<QString>("change"); // what differs between the index and the scan
    QTest::addColumn<bool>("holds");
    QTest::newRow("the same songs") << "" << true;
    QTest::newRow("a song's file rewritten") << "modified" << false;
    QTest::newRow("a song more on disk") << "more" << false;
    QTest::newRow("a song fewer on disk") << "fewer" << false;
    QTest::newRow("another folder's index") << "folder" << false;
    QTest::newRow("no index yet") << "none" << false;
}

void TestCatalogue::indexHoldsTheSongs()
{
    QFETCH(QString, change);
    QFETCH(bool, holds);
    // Enough songs that the index is read in more than one piece.
    constexpr int Songs = 1500;
    for (int i = 0; i < Songs; ++i)
        writeBytes(m_dir->filePath(QStringLiteral("Band-A rather long song title number %1.mp3")
                                       .arg(i, 4, 10, QLatin1Char('0'))),
            "x");
    TFileList files;
    const QByteArray folder = m_dir->path().toUtf8();
    files.reread(folder);
    QCOMPARE(files.count(), Songs);
    std::vector<SongMoves::Stamp> stamps;
    std::vector<SongMoves::Entry> entries;
    for (int i = 0; i < Songs; ++i) {
        stamps.push_back({ 2049, quint64(1000 + i), 3000, 1700000000123456789LL + i, 0 });
        entries.push_back({ stamps.back(), files.rawName(i).toByteArray() });
    }
    if (change == "modified")
        entries[Songs - 1].stamp.modified += 1;
    else if (change == "more")
        entries.pop_back();
    else if (change == "fewer")
        entries.push_back({ stamps[0], "Gone-Song.mp3" });
    const QByteArray index = m_dir->filePath(QStringLiteral("songs.IDX")).toUtf8();
    if (change != "none")
        writeBytes(QString::fromUtf8(index),
            SongMoves::Index::Compose(change == "folder" ? folder + "/other" : folder, entries));
    QCOMPARE(SongMoves::Index::Holds(index, folder, files, stamps), holds);
}

void TestCatalogue::valuesCacheFollowsFiles_data()
{
    QTest::addColumn<QString>("change"); // between the scan that writes the cache and the next
    QTest::addColumn<int>("opened"); // information files the next scan reads
    QTest::addColumn<bool>("rewritten"); // whether it writes the cache again
    QTest::addColumn<QString>("folder"); // of Ann's songs: in a tree library, below the music folder
    QTest::newRow("nothing changed") << "" << 0 << false << "";
    QTest::newRow("rewritten in place, size and times as before") << "in-place" << 1 << true << "";
    QTest::newRow("replaced by a file of the same size and times") << "replaced" << 1 << true << "";
    QTest::newRow("grown by lyrics") << "grown" << 1 << true << "";
    QTest::newRow("deleted") << "deleted" << 0 << true << "";
    QTest::newRow("cache cut short in a line") << "cut-short" << 2 << true << "";
    QTest::newRow("cache of another kind") << "other-cache" << 4 << true << "";
    QTest::newRow("a cache line with a field too many") << "extra-field" << 1 << true << "";
    QTest::newRow("files changed moments before the scan are not kept") << "unsettled" << 4 << false << "";
    QTest::newRow("tree, nothing changed") << "" << 0 << false << "Ann/";
    QTest::newRow("tree, a nested file rewritten in place") << "in-place" << 1 << true << "Ann/";
}

void TestCatalogue::valuesCacheFollowsFiles()
{
    QFETCH(QString, change);
    QFETCH(int, opened);
    QFETCH(bool, rewritten);
    QFETCH(QString, folder);
    const TLibraryKind library = folder.isEmpty() ? TLibraryKind::Folder : TLibraryKind::Tree;
    m_catalogue->setFolders(m_dir->path().toUtf8(), m_dir->path().toUtf8(), library);
    const auto ann = [&](const char *name) { return path((folder.toUtf8() + name).constData()); };
    if (!folder.isEmpty())
        QVERIFY(QDir(m_dir->path()).mkdir(folder));
    // Values of every kind the grid shows, one in another letter case's
    // file, one with characters the cache escapes.
    writeBytes(ann("Ann-One.mp3"), mp3());
    writeBytes(ann("Ann-One.INI"), InfoDaylight);
    writeBytes(ann("Ann-Two.mp3"), mp3());
    writeBytes(ann("Ann-Two.INI"),
        "[Info]\r\nPlaytime = 1\t\\9\r\nSongYear = \xc3\xa9t\xc3\xa9\r\nUsageCount=\\7\r\n"
        "Lyrics = Instrumental\r\n");
    writeBytes(path("Bob-Three.mp3"), mp3());
    writeBytes(path("Cid-Four.mp3"), mp3());
    writeBytes(path("cid-four.INI"), "[Info]\r\nPlaytime=10:30\r\nUsageCount=12\r\n");
    writeBytes(path("Dee-Five.mp3"), mp3());
    writeBytes(path("Dee-Five.INI"), "[Info]\r\nPlaytime=01:02\r\n\r\nla la\r\n");
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("settings")));
    const QByteArray cache = path("settings/songs.VAL");
    m_catalogue->setIndexPath(path("settings/songs.IDX"));
    m_catalogue->setValuesCachePath(cache, change == "unsettled" ? InfoCache::SettleNs : 0);
    scan(true);
    m_catalogue->waitForIndex();
    struct stat written;
    QCOMPARE(::stat(cache.constData(), &written), 0);

    const QByteArray one = ann("Ann-One.INI");
    struct stat was;
    QCOMPARE(::stat(one.constData(), &was), 0);
    const timespec times[2] = { was.st_atim, was.st_mtim };
    if (change == "in-place") {
        // A tool that keeps the times: only the change time tells.
        QByteArray bytes = readBytes(one);
        bytes.replace("03:45", "04:56");
        const int fd = ::open(one.constData(), O_WRONLY);
        QCOMPARE(::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0), ssize_t(bytes.size()));
        QCOMPARE(::futimens(fd, times), 0);
        ::close(fd);
    } else if (change == "replaced") {
        QByteArray bytes = readBytes(one);
        bytes.replace("03:45", "04:56");
        writeBytes(path("new.tmp"), bytes);
        QCOMPARE(::utimensat(AT_FDCWD, path("new.tmp").constData(), times, 0), 0);
        QCOMPARE(::rename(path("new.tmp").constData(), one.constData()), 0);
    } else if (change == "grown") {
        writeBytes(one, InfoDaylight + "\r\nwords\r\n");
    } else if (change == "deleted") {
        QCOMPARE(::unlink(one.constData()), 0);
    } else if (change == "cut-short") {
        // Two lines lost, the second of them half there.
        QByteArray bytes = readBytes(cache);
        bytes.truncate(bytes.lastIndexOf('\n', bytes.lastIndexOf('\n') - 1) - 3);
        writeBytes(cache, bytes);
    } else if (change == "extra-field") {
        QByteArray bytes = readBytes(cache);
        const qsizetype line = bytes.indexOf("Ann-One.INI\t");
        QVERIFY(line >= 0);
        bytes.insert(bytes.indexOf('\n', line), "\t9");
        writeBytes(cache, bytes);
    } else if (change == "other-cache") {
        writeBytes(cache, "Discora tag cache 1\n" + readBytes(cache).mid(readBytes(cache).indexOf('\n') + 1));
    }
    QCOMPARE(::stat(cache.constData(), &written), 0);

    // The information files the next scan opens.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(::inotify_add_watch(watch, m_dir->path().toUtf8().constData(), IN_OPEN) >= 0);
    if (!folder.isEmpty())
        QVERIFY(::inotify_add_watch(watch, ann("").constData(), IN_OPEN) >= 0);
    scan(true);
    int opens = 0;
    alignas(inotify_event) char events[64 * 1024];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
        for (char *at = events; at < events + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            if (event->len > 0 && QByteArray(event->name).toUpper().endsWith(".INI"))
                ++opens;
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    QCOMPARE(opens, opened);
    m_catalogue->waitForIndex();
    struct stat now;
    QCOMPARE(::stat(cache.constData(), &now), 0);
    QCOMPARE(now.st_ino != written.st_ino, rewritten);

    // The grid is what a scan without the cache shows.
    TSongList fresh;
    TCatalogue reference(fresh);
    reference.setFolders(m_dir->path().toUtf8(), m_dir->path().toUtf8(), library);
    reference.RefreshList(true, {});
    QCOMPARE(m_songs->RowCount(), 6);
    QCOMPARE(fresh.RowCount(), 6);
    for (int r = 1; r < 6; ++r)
        QCOMPARE(rowCells(*m_songs, r), rowCells(fresh, r));
    QCOMPARE(m_catalogue->timeCaption(), reference.timeCaption());
    if (change == "in-place" || change == "replaced")
        QCOMPARE(m_songs->Cells(TSongList::ColTime, 1), QStringLiteral(" 04:56"));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_Catalogue.moc"
